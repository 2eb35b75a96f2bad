#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;

namespace norvelle {

// The banner that says what the last discovery and the update checks could not do: each source
// they could not read and why, or their own failure, one line each. Shows nothing when there is
// nothing to say.
class DiscoveryProblemsView : public QWidget {
    Q_OBJECT
public:
    explicit DiscoveryProblemsView(QWidget* parent = nullptr);

    void setProblems(const QStringList& problems);
    QString text() const;

private:
    QLabel* m_text = nullptr;
};

} // namespace norvelle
