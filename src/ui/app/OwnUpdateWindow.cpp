#include "ui/app/OwnUpdateWindow.h"

#include "platform/updater/UpdaterError.h"
#include "sources/sparkle/ReleaseNotesConverter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

namespace norvelle {

namespace {

QPushButton* namedButton(const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

// Feeds may carry their notes as HTML; they are shown as text, never rendered.
QString notesText(const std::optional<QString>& description)
{
    if (!description || description->trimmed().isEmpty())
        return {};
    if (const auto markdown = ReleaseNotesConverter::convertHTMLToMarkdown(*description))
        return markdown->trimmed();
    return description->trimmed();
}

} // namespace

OwnUpdateWindow::OwnUpdateWindow(QString currentVersion, QWidget* parent)
    : QDialog(parent), m_currentVersion(std::move(currentVersion))
{
    setObjectName(QStringLiteral("ownUpdateWindow"));
    setWindowTitle(QStringLiteral("Software Update"));
    setMinimumWidth(460);

    auto* layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("ownUpdateTitle"));
    m_title->setTextFormat(Qt::PlainText);
    QFont titleFont = m_title->font();
    titleFont.setWeight(QFont::DemiBold);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    m_title->setFont(titleFont);
    layout->addWidget(m_title);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("ownUpdateMessage"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    layout->addWidget(m_message);

    m_notesTitle = new QLabel(QStringLiteral("Release Notes:"), this);
    m_notesTitle->setTextFormat(Qt::PlainText);
    layout->addWidget(m_notesTitle);
    m_notes = new QPlainTextEdit(this);
    m_notes->setObjectName(QStringLiteral("ownUpdateNotes"));
    m_notes->setReadOnly(true);
    m_notes->setMinimumHeight(140);
    layout->addWidget(m_notes, 1);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ownUpdateProgress"));
    m_progress->setTextVisible(false);
    layout->addWidget(m_progress);

    auto* buttons = new QHBoxLayout();
    m_tertiary = namedButton("ownUpdateTertiaryButton", this);
    buttons->addWidget(m_tertiary);
    buttons->addStretch(1);
    m_secondary = namedButton("ownUpdateSecondaryButton", this);
    buttons->addWidget(m_secondary);
    m_primary = namedButton("ownUpdatePrimaryButton", this);
    m_primary->setDefault(true);
    buttons->addWidget(m_primary);
    layout->addLayout(buttons);

    connect(m_primary, &QPushButton::clicked, this, &OwnUpdateWindow::primaryClicked);
    connect(m_secondary, &QPushButton::clicked, this, &OwnUpdateWindow::secondaryClicked);
    connect(m_tertiary, &QPushButton::clicked, this, &OwnUpdateWindow::tertiaryClicked);
    present(Step::idle, {}, {}, {});
    QDialog::hide();
}

OwnUpdateWindow::~OwnUpdateWindow()
{
    // An open question is answered, so the cycle does not wait for a window that is gone.
    answerCautiously();
}

void OwnUpdateWindow::present(Step step, const QString& title, const QString& message, const Buttons& buttons)
{
    m_step = step;
    m_title->setText(title);
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    const bool notes = step == Step::found && !m_notes->toPlainText().isEmpty();
    m_notesTitle->setVisible(notes);
    m_notes->setVisible(notes);
    m_primary->setText(buttons.primary);
    m_primary->setVisible(!buttons.primary.isEmpty());
    m_secondary->setText(buttons.secondary);
    m_secondary->setVisible(!buttons.secondary.isEmpty());
    m_tertiary->setText(buttons.tertiary);
    m_tertiary->setVisible(!buttons.tertiary.isEmpty());
    if (step != Step::idle) {
        QDialog::show();
        raise();
        activateWindow();
    }
    adjustSize();
    Q_EMIT stepChanged(step);
}

void OwnUpdateWindow::setProgress(std::optional<double> fraction)
{
    m_progress->setVisible(fraction.has_value());
    if (!fraction)
        return;
    if (*fraction < 0) {
        m_progress->setRange(0, 0);
        return;
    }
    m_progress->setRange(0, 1000);
    m_progress->setValue(static_cast<int>(std::lround(std::clamp(*fraction, 0.0, 1.0) * 1000)));
}

void OwnUpdateWindow::askUpdatePermission(UpdaterReply<UpdatePermission> reply)
{
    // Checks start only when the user asks, so there is no schedule to agree to.
    reply(UpdatePermission{});
}

void OwnUpdateWindow::checkStarted(std::function<void()> cancellation)
{
    m_cancellation = std::move(cancellation);
    m_notes->clear();
    setProgress(-1);
    present(Step::checking, QStringLiteral("Checking for updates…"), {}, {{}, QStringLiteral("Cancel"), {}});
}

void OwnUpdateWindow::updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply)
{
    m_cancellation = nullptr;
    m_choice = std::move(reply);
    m_foundVersion = item.displayVersionString.isEmpty() ? item.versionString : item.displayVersionString;
    m_notes->setPlainText(notesText(item.itemDescription));
    setProgress(std::nullopt);
    present(Step::found, QStringLiteral("A new version of Norvelle is available!"),
         QStringLiteral("Norvelle ") + m_foundVersion + QStringLiteral(" is now available—you have ") +
             m_currentVersion + QStringLiteral(". Would you like to download it now?"),
         {QStringLiteral("Install Update"), QStringLiteral("Remind Me Later"), QStringLiteral("Skip This Version")});
}

void OwnUpdateWindow::updateNotFound(UpdaterAcknowledgement acknowledgement)
{
    m_cancellation = nullptr;
    m_acknowledgement = std::move(acknowledgement);
    setProgress(std::nullopt);
    present(Step::notFound, QStringLiteral("You’re up to date!"),
         QStringLiteral("Norvelle ") + m_currentVersion +
             QStringLiteral(" is currently the newest version available."),
         {QStringLiteral("OK"), {}, {}});
}

void OwnUpdateWindow::updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement)
{
    m_cancellation = nullptr;
    m_acknowledgement = std::move(acknowledgement);
    setProgress(std::nullopt);
    present(Step::failed, QStringLiteral("Update Error!"), error.description(), {QStringLiteral("OK"), {}, {}});
}

void OwnUpdateWindow::downloadStarted(std::function<void()> cancellation)
{
    m_cancellation = std::move(cancellation);
    m_expectedBytes = 0;
    m_receivedBytes = 0;
    setProgress(-1);
    present(Step::downloading, QStringLiteral("Downloading update…"), {}, {{}, QStringLiteral("Cancel"), {}});
}

void OwnUpdateWindow::downloadExpectedLength(quint64 length)
{
    m_expectedBytes = length;
}

void OwnUpdateWindow::downloadReceived(quint64 length)
{
    m_receivedBytes += length;
    if (m_expectedBytes > 0)
        setProgress(static_cast<double>(m_receivedBytes) / static_cast<double>(m_expectedBytes));
}

void OwnUpdateWindow::extractionStarted()
{
    m_cancellation = nullptr;
    setProgress(0.0);
    present(Step::extracting, QStringLiteral("Extracting update…"), {}, {});
}

void OwnUpdateWindow::extractionProgressed(double fraction)
{
    setProgress(fraction);
}

void OwnUpdateWindow::readyToInstall(UpdaterReply<UpdateChoice> reply)
{
    m_choice = std::move(reply);
    setProgress(std::nullopt);
    present(Step::readyToInstall, QStringLiteral("Ready to Install"),
         QStringLiteral("Norvelle ") + m_foundVersion + QStringLiteral(" has been downloaded and is ready to install."),
         {QStringLiteral("Install Update"), QStringLiteral("Not Now"), {}});
}

void OwnUpdateWindow::installing(bool applicationTerminated)
{
    Q_UNUSED(applicationTerminated);
    setProgress(-1);
    present(Step::installing, QStringLiteral("Installing update…"), {}, {});
}

void OwnUpdateWindow::installed(bool relaunched, UpdaterAcknowledgement acknowledgement)
{
    m_acknowledgement = std::move(acknowledgement);
    setProgress(std::nullopt);
    // Our updater never relaunches: the new version runs from the next start.
    const QString next = relaunched ? QString()
                                    : QStringLiteral(" Quit and open Norvelle again to use the new version.");
    present(Step::installed, QStringLiteral("Update Installed"),
         QStringLiteral("Norvelle was updated to ") + m_foundVersion + u'.' + next, {QStringLiteral("OK"), {}, {}});
}

void OwnUpdateWindow::cycleFinished()
{
    m_choice.reset();
    m_acknowledgement.reset();
    m_cancellation = nullptr;
    setProgress(std::nullopt);
    present(Step::idle, {}, {}, {});
    QDialog::hide();
}

void OwnUpdateWindow::primaryClicked()
{
    if (m_choice) {
        const UpdaterReply<UpdateChoice> reply = *m_choice;
        m_choice.reset();
        reply(UpdateChoice::install);
    } else if (m_acknowledgement) {
        const UpdaterAcknowledgement acknowledge = *m_acknowledgement;
        m_acknowledgement.reset();
        acknowledge();
    }
}

void OwnUpdateWindow::secondaryClicked()
{
    // "Remind Me Later", "Not Now" and "Cancel".
    answerCautiously();
}

void OwnUpdateWindow::tertiaryClicked()
{
    if (!m_choice)
        return;
    const UpdaterReply<UpdateChoice> reply = *m_choice;
    m_choice.reset();
    reply(UpdateChoice::skip);
}

void OwnUpdateWindow::reject()
{
    answerCautiously();
    QDialog::reject();
}

void OwnUpdateWindow::answerCautiously()
{
    if (m_choice) {
        const UpdaterReply<UpdateChoice> reply = *m_choice;
        m_choice.reset();
        reply(UpdateChoice::dismiss);
    }
    if (m_acknowledgement) {
        const UpdaterAcknowledgement acknowledge = *m_acknowledgement;
        m_acknowledgement.reset();
        acknowledge();
    }
    if (m_cancellation) {
        const std::function<void()> cancel = std::exchange(m_cancellation, nullptr);
        cancel();
    }
}

} // namespace norvelle
