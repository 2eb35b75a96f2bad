#pragma once

#include <QObject>
#include <chrono>

namespace norvelle {

// The "copied" confirmation of a copy button, owned by the screen that shows the button. A copy
// raises it; each copy lowers it again one delay after that copy, whatever came between, so a
// later copy never prolongs an earlier confirmation. The reset belongs to this object, so it
// dies with the screen.
class CopyFlag : public QObject {
    Q_OBJECT

public:
    explicit CopyFlag(QObject* parent = nullptr);

    bool value() const { return m_value; }
    void setValue(bool value);
    void confirmCopy();

    std::chrono::milliseconds resetDelay() const { return m_resetDelay; }
    void setResetDelay(std::chrono::milliseconds delay) { m_resetDelay = delay; }

Q_SIGNALS:
    void valueChanged(bool value);

private:
    bool m_value = false;
    std::chrono::milliseconds m_resetDelay{2000};
};

} // namespace norvelle
