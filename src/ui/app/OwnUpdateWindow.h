#pragma once

#include "platform/updater/UpdaterUserDriver.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace norvelle {

// The user interface of the system's own updates over our updater: one window that follows a
// user-initiated check through its steps. It shows the check, then either "up to date", an
// error, or the update found (version, release notes; install, skip this version, remind me
// later); after "Install Update" the download and unpacking progress, the question to install,
// and the outcome. Messages arrive on the main thread; every question is answered from a
// button, and closing the window answers it the cautious way (not now).
class OwnUpdateWindow : public QDialog, public UpdaterUserDriver {
    Q_OBJECT
public:
    enum class Step { idle, checking, found, notFound, failed, downloading, extracting, readyToInstall,
                      installing, installed };

    // `currentVersion` is the running version, shown beside the one found.
    explicit OwnUpdateWindow(QString currentVersion, QWidget* parent = nullptr);
    ~OwnUpdateWindow() override;

    Step step() const { return m_step; }

    void askUpdatePermission(UpdaterReply<UpdatePermission> reply) override;
    void checkStarted(std::function<void()> cancellation) override;
    void updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) override;
    void updateNotFound(UpdaterAcknowledgement acknowledgement) override;
    void updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) override;
    void downloadStarted(std::function<void()> cancellation) override;
    void downloadExpectedLength(quint64 length) override;
    void downloadReceived(quint64 length) override;
    void extractionStarted() override;
    void extractionProgressed(double fraction) override;
    void readyToInstall(UpdaterReply<UpdateChoice> reply) override;
    void installing(bool applicationTerminated) override;
    void installed(bool relaunched, UpdaterAcknowledgement acknowledgement) override;
    void cycleFinished() override;

Q_SIGNALS:
    void stepChanged(norvelle::OwnUpdateWindow::Step step);

public Q_SLOTS:
    // Escape and the window's close button: the question is answered "not now".
    void reject() override;

private:
    struct Buttons {
        QString primary;   // empty: hidden
        QString secondary; // empty: hidden
        QString tertiary;  // empty: hidden
    };
    void present(Step step, const QString& title, const QString& message, const Buttons& buttons);
    void setProgress(std::optional<double> fraction); // none: hidden; negative: busy
    void primaryClicked();
    void secondaryClicked();
    void tertiaryClicked();
    void answerCautiously();

    const QString m_currentVersion;
    Step m_step = Step::idle;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_notesTitle = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_primary = nullptr;
    QPushButton* m_secondary = nullptr;
    QPushButton* m_tertiary = nullptr;

    // What the buttons answer in the current step.
    std::optional<UpdaterReply<UpdateChoice>> m_choice;
    std::optional<UpdaterAcknowledgement> m_acknowledgement;
    std::function<void()> m_cancellation;
    QString m_foundVersion;
    quint64 m_expectedBytes = 0;
    quint64 m_receivedBytes = 0;
};

} // namespace norvelle
