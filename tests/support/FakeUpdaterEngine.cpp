#include "FakeUpdaterEngine.h"

#include "platform/updater/UpdaterDelegate.h"

#include <QMetaObject>

namespace norvelle::test {

FakeUpdaterEngine::Step FakeUpdaterEngine::Step::failed(const UpdaterError& error)
{
    Step step = of(Kind::updaterError);
    step.error = error;
    return step;
}

FakeUpdaterEngine::Step FakeUpdaterEngine::Step::bytes(Kind kind, quint64 length)
{
    Step step = of(kind);
    step.length = length;
    return step;
}

FakeUpdaterEngine::Step FakeUpdaterEngine::Step::extraction(double fraction)
{
    Step step = of(Kind::extractionProgress);
    step.fraction = fraction;
    return step;
}

FakeUpdaterEngine::FakeUpdaterEngine(UpdaterUserDriver& driver, UpdaterDelegate* delegate, Script script,
                                     std::optional<UpdaterError> startError)
    : m_driver(driver), m_delegate(delegate), m_script(std::move(script)), m_startError(std::move(startError))
{
}

void FakeUpdaterEngine::start()
{
    if (m_delegate)
        delegateFeedUrl = m_delegate->feedUrlString();
    if (m_startError)
        throw *m_startError;
    m_feedUrl = QUrl(delegateFeedUrl.value_or(QStringLiteral("https://example.org/appcast.xml")));
    m_started = true;
}

bool FakeUpdaterEngine::checkForUpdates()
{
    ++checkCalls;
    if (!canCheckForUpdates())
        return false;
    m_playing = true;
    QMetaObject::invokeMethod(
        &m_context, [this] { playFrom(0); }, Qt::QueuedConnection);
    return true;
}

void FakeUpdaterEngine::playFrom(qsizetype index)
{
    if (index >= m_script.size()) {
        m_playing = false;
        return;
    }
    // Answers may come after the fake is gone (a driver keeping a reply); then they do nothing.
    std::weak_ptr<int> alive = m_alive;
    auto next = [this, index, alive] {
        if (!alive.expired())
            QMetaObject::invokeMethod(
                &m_context, [this, index] { playFrom(index + 1); }, Qt::QueuedConnection);
    };
    auto choice = [this, next, alive](const UpdateChoice& c) {
        if (alive.expired())
            return;
        choices.append(c);
        next();
    };
    auto ack = [this, next, alive] {
        if (alive.expired())
            return;
        ++acknowledgements;
        next();
    };
    const Step& step = m_script[index];
    using K = Step::Kind;
    switch (step.kind) {
    case K::permissionRequest:
        m_driver.askUpdatePermission(UpdaterReply<UpdatePermission>(
            [this, next, alive](const UpdatePermission& r) {
                if (alive.expired())
                    return;
                permissionResponses.append(r);
                next();
            },
            UpdatePermission{}));
        return;
    case K::updateFound:
        m_driver.updateFound(step.item, UpdaterReply<UpdateChoice>(choice, UpdateChoice::dismiss));
        return;
    case K::readyToInstall:
        m_driver.readyToInstall(UpdaterReply<UpdateChoice>(choice, UpdateChoice::dismiss));
        return;
    case K::updateNotFound:
        m_driver.updateNotFound(UpdaterAcknowledgement(ack));
        return;
    case K::updaterError:
        m_driver.updaterFailed(step.error, UpdaterAcknowledgement(ack));
        return;
    case K::installed:
        m_driver.installed(false, UpdaterAcknowledgement(ack));
        return;
    case K::checkStarted:
        m_driver.checkStarted([] {});
        break;
    case K::checkDismissed:
        m_driver.checkFinished();
        break;
    case K::downloadInitiated:
        m_driver.downloadStarted([] {});
        break;
    case K::expectedContentLength:
        m_driver.downloadExpectedLength(step.length);
        break;
    case K::receivedData:
        m_driver.downloadReceived(step.length);
        break;
    case K::extractionStarted:
        m_driver.extractionStarted();
        break;
    case K::extractionProgress:
        m_driver.extractionProgressed(step.fraction);
        break;
    case K::installing:
        m_driver.installing(true);
        break;
    case K::dismissInstallation:
        m_driver.cycleFinished();
        break;
    }
    next();
}

std::unique_ptr<Updater> FakeUpdaterFactory::create(const QString& bundlePath, UpdaterUserDriver& driver,
                                                    UpdaterDelegate* delegate) const
{
    const qsizetype index = std::min<qsizetype>(created.size(), scripts.size() - 1);
    auto updater = std::make_unique<FakeUpdaterEngine>(
        driver, delegate, index >= 0 ? scripts[index] : FakeUpdaterEngine::Script{}, startError);
    created.append({bundlePath, delegate, updater.get()});
    return updater;
}

} // namespace norvelle::test
