#pragma once

#include <QLabel>

namespace norvelle {

// One line of outside text that never widens its container: shown verbatim, cut with "…" to
// the width it is given, with the whole text in its tooltip whenever it is cut.
class ElidingLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    QString m_fullText;
};

} // namespace norvelle
