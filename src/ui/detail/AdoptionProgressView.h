#pragma once

#include "model/AdoptionProgress.h"

#include <QColor>
#include <QFuture>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QToolButton;

namespace norvelle {

class ProgressBanner;
class Clipboard;

// One adoption into Homebrew as a banner in the colour of its status: "Adoption <Status>", the
// latest step, a spinner while work goes on, a bar with percentage while the fraction is strictly
// between 0 and 1, and after a failure the adoption command to copy and "Refresh". It draws the
// record it is handed and changes nothing.
class AdoptionProgressView : public QWidget {
    Q_OBJECT

public:
    // `onRefreshApp` may be empty (no "Refresh"); `clipboard` null uses the desktop's.
    AdoptionProgressView(const AdoptionProgress& progress, std::function<QFuture<void>()> onRefreshApp,
                         Clipboard* clipboard = nullptr, QWidget* parent = nullptr);
    ~AdoptionProgressView() override;

    const AdoptionProgress& progress() const { return m_progress; }
    void setProgress(const AdoptionProgress& progress);
    bool isRefreshing() const { return m_isRefreshing; }

    static QString displayText(AdoptionProgress::Status status);
    static QColor statusColor(AdoptionProgress::Status status);
    static bool showsSpinner(AdoptionProgress::Status status);
    // "brew install --cask --adopt <cask>"; empty without a cask or a valid token.
    static QString adoptCommand(const AdoptionProgress& progress);

private:
    void sync();
    void refresh();
    void copyCommand();

    AdoptionProgress m_progress;
    std::function<QFuture<void>()> m_onRefreshApp;
    Clipboard* m_clipboard;
    std::unique_ptr<Clipboard> m_ownClipboard;
    bool m_isRefreshing = false;
    ProgressBanner* m_banner = nullptr;
    QPushButton* m_refresh = nullptr;
    QWidget* m_failure = nullptr;
    QLabel* m_failureText = nullptr;
    QWidget* m_commandRow = nullptr;
    QLabel* m_command = nullptr;
    QToolButton* m_copy = nullptr;
};

} // namespace norvelle
