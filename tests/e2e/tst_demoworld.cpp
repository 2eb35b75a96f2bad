// The whole application on the demo world: the composition root with its real services and
// adapters, the main window and the batch sheet offscreen, the stand-ins for brew and mas, and
// the loopback server for the catalogue, the store, the appcasts and signed update archives.
// The functions run in order on one world and build on each other's results.

#include "DemoApplications.h"
#include "DemoServer.h"
#include "DemoWorld.h"
#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "FixtureServer.h"
#include "coordinator/AppCoordinator.h"
#include "app/DependencyContainer.h"
#include "platform/SettingsStore.h"
#include "platform/plist/PropertyList.h"
#include "platform/process/ProcessGroups.h"
#include "services/ApplicationStore.h"
#include "ui/detail/ManualCaskEntryView.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ViewEnvironment.h"
#include "ui/update_sheet/UpdateBatchSession.h"
#include "ui/update_sheet/UpdateSheetPresenter.h"
#include "util/Async.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"
#include "viewmodels/TerminalCommands.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using demo::DemoApplication;
using ApplicationPtr = std::shared_ptr<Application>;

namespace {

constexpr int kLongWait = 30000;

// Every step here runs the real application, tools and server under the sanitizers; on a loaded
// machine one can take longer than QtTest's five seconds, so every wait gets the long limit.
#undef QTRY_VERIFY
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, kLongWait)
#undef QTRY_COMPARE
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, kLongWait)

// One run of the application on a freshly built world.
struct Session {
    QTemporaryDir dir;
    test::FixtureServer server{test::FixtureServer::Tls::on};
    demo::DemoWorld world{dir.filePath(QStringLiteral("world"))};
    std::shared_ptr<test::FakeDockBadge> badge = std::make_shared<test::FakeDockBadge>();
    std::unique_ptr<DependencyContainer> container;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<UpdateSheetPresenter> sheets;

    bool start(double toolDelayScale)
    {
        QString error;
        if (!world.build(server.url(), {.toolDelayScale = toolDelayScale}, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        demo::DemoServer::route(server, world.root() + QStringLiteral("/srv"));
        DependencyContainer::Options options;
        options.paths = world.paths(server.url());
        options.environment = world.environment(server.url(), QProcessEnvironment::systemEnvironment());
        options.dockBadge = badge;
        options.networkProbe = std::make_shared<test::FakeNetworkProbe>();
        options.terminalLauncher = std::make_shared<test::FakeTerminalLauncher>();
        container = std::make_unique<DependencyContainer>(std::move(options));
        window = std::make_unique<MainWindow>(
            ViewEnvironment{container->appState(), container->store(), container->contentViewModel(),
                            container->sidebarViewModel(), container->detailViewModel(),
                            container->settingsViewModel(), container->settings()});
        sheets = std::make_unique<UpdateSheetPresenter>(
            container->sidebarViewModel(), container->detailViewModel(), container->store(), window.get());
        window->show();
        return true;
    }

    ApplicationPtr application(const QString& name) const
    {
        for (const ApplicationPtr& app : container->store().applications())
            if (app->name() == name)
                return app;
        return nullptr;
    }

    int updatesFrom(Update::Source source) const
    {
        int count = 0;
        for (const ApplicationPtr& app : container->store().applications())
            if (const std::optional<Update> update = app->update(); update && update->source == source)
                ++count;
        return count;
    }

    QString bundleVersion(const QString& name) const
    {
        for (const DemoApplication& app : demo::demoApplications()) {
            if (app.name != name)
                continue;
            const QString folder = world.root() + QStringLiteral("/Applications/") +
                                   (app.subfolder.isEmpty() ? QString() : app.subfolder + u'/');
            QFile plist(folder + name + QStringLiteral(".app/Contents/Info.plist"));
            if (!plist.open(QIODevice::ReadOnly))
                return {};
            const auto values = PropertyList::parseDictionary(plist.readAll());
            return values ? values->value(QStringLiteral("CFBundleShortVersionString")).toString()
                          : QString();
        }
        return {};
    }

    QJsonObject toolState() const
    {
        QFile file(world.root() + QStringLiteral("/world.json"));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

    QJsonObject ignoreList() const
    {
        QFile file(container->paths().supportFolder + QStringLiteral("/ignored.json"));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

    // Nothing this session started still runs: a test ends only once its work has ended, so none
    // runs into the next test or outlives the session.
    bool idle() const
    {
        const AppCoordinator& coordinator = *container->coordinator();
        const SidebarViewModel& sidebar = container->sidebarViewModel();
        const DetailViewModel& detail = container->detailViewModel();
        return !coordinator.isDiscovering() && !coordinator.isUpdating() && !coordinator.isAdopting() &&
               !sidebar.isDiscovering() && !sidebar.isCheckingUpdates() && !detail.isRefreshing() &&
               !detail.isIgnoring() && !detail.isSkippingVersion() && !detail.isUpdating() &&
               !detail.isAdopting() && !detail.isVerifyingCustomCask() && ioPool().activeThreadCount() == 0;
    }

    void select(const ApplicationPtr& app) const { container->store().setSelectedApplicationId(app->id()); }

    // The one on screen: the detail pane keeps the buttons of panes it is replacing for a while.
    QPushButton* button(const char* name) const
    {
        for (QPushButton* candidate : window->findChildren<QPushButton*>(QLatin1String(name)))
            if (candidate->isVisibleTo(window.get()))
                return candidate;
        return nullptr;
    }
    QString detailText(const char* name) const
    {
        const auto* label = window->findChild<QLabel*>(QLatin1String(name));
        return label && label->isVisibleTo(window.get()) ? label->text() : QString();
    }
};

const DemoApplication& demoApplication(const QString& name)
{
    const QList<DemoApplication>& all = demo::demoApplications();
    return *std::find_if(all.cbegin(), all.cend(),
                         [&](const DemoApplication& app) { return app.name == name; });
}

} // namespace

class TestDemoWorld : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void discoversAndChecksEverySource();
    void singleUpdate_data();
    void singleUpdate();
    void ignoreAndUnignore();
    void skipAndUnskip();
    void adoptIntoHomebrew();
    void brewDoctorRunsTheWorldsBrew();
    void batchUpdatesTheRest();
    void manualCaskFromATap();
    void quitWhileABatchRuns();

private:
    QTemporaryDir m_config;
    std::unique_ptr<Session> m_session;
};

void TestDemoWorld::initTestCase()
{
    qputenv("no_proxy", "127.0.0.1,localhost");
    // Anything written to the user's configuration would land here instead, and must not.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    qputenv("XDG_DATA_HOME", m_config.filePath(QStringLiteral("data")).toUtf8());
    m_session = std::make_unique<Session>();
    QVERIFY(m_session->start(0.02));
}

void TestDemoWorld::cleanup()
{
    if (m_session && m_session->container)
        QTRY_VERIFY(m_session->idle());
}

void TestDemoWorld::discoversAndChecksEverySource()
{
    Session& s = *m_session;
    // The window's first showing runs the discovery and then the full check.
    QTRY_COMPARE_WITH_TIMEOUT(s.container->store().applications().size(), demo::demoApplications().size(),
                              kLongWait);
    QTRY_VERIFY_WITH_TIMEOUT(s.container->store().lastUpdateCheck().has_value(), kLongWait);
    QTRY_VERIFY(!s.container->sidebarViewModel().isCheckingUpdates());

    QCOMPARE(s.updatesFrom(Update::Source::homebrew), demo::demoUpdateCount(DemoApplication::Kind::cask));
    QCOMPARE(s.updatesFrom(Update::Source::appStore), demo::demoUpdateCount(DemoApplication::Kind::store));
    QCOMPARE(s.updatesFrom(Update::Source::sparkle), demo::demoUpdateCount(DemoApplication::Kind::feed));
    const int total = demo::demoUpdateCount(DemoApplication::Kind::cask) +
                      demo::demoUpdateCount(DemoApplication::Kind::store) +
                      demo::demoUpdateCount(DemoApplication::Kind::feed);
    QCOMPARE(s.badge->label(), QString::number(total));

    const ApplicationPtr ignored = s.application(QStringLiteral("Velvet Notes"));
    QVERIFY(ignored && ignored->ignored() && !ignored->update());
    const ApplicationPtr skipped = s.application(QStringLiteral("Fennec Sync"));
    QVERIFY(skipped && !skipped->update());
    QCOMPARE(skipped->skippedVersion(), std::optional<QString>(QStringLiteral("7.2.0")));
    const ApplicationPtr adoptable = s.application(QStringLiteral("Marble Maps"));
    QVERIFY(adoptable && adoptable->cask() && adoptable->cask()->adoptable);
    const ApplicationPtr sudo = s.application(QStringLiteral("Harbor VPN"));
    QVERIFY(sudo && sudo->update() && sudo->cask() && sudo->cask()->requiresSudo);

    // The world's own settings file, not the user's.
    QVERIFY(QFileInfo::exists(s.container->paths().settingsFile));
    QVERIFY(s.container->paths().settingsFile.startsWith(s.world.root()));
    QVERIFY(QDir(m_config.path()).isEmpty());
}

void TestDemoWorld::singleUpdate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("releaseNotes"); // a piece of them, as the check found them
    QTest::newRow("Homebrew") << "Quillpad" << QString();
    QTest::newRow("App Store") << "Ledgerly"
                               << "Faster start-up";
    QTest::newRow("Sparkle") << "Shelfie"
                             << "What's new in Shelfie 2.5.0";
}

void TestDemoWorld::singleUpdate()
{
    QFETCH(QString, name);
    QFETCH(QString, releaseNotes);
    Session& s = *m_session;
    const DemoApplication& demoApp = demoApplication(name);
    const ApplicationPtr app = s.application(name);
    QVERIFY(app && app->update());
    QCOMPARE(app->update()->latestVersion, demoApp.latestVersion);
    if (!releaseNotes.isEmpty())
        QVERIFY2(app->update()->releaseNotes.value_or(QString()).contains(releaseNotes),
                 qPrintable(app->update()->releaseNotes.value_or(QString())));

    s.select(app);
    QTRY_VERIFY(s.button("primaryButton") && s.button("primaryButton")->isEnabled());
    QCOMPARE(s.button("primaryButton")->text(), QStringLiteral("Update"));
    s.button("primaryButton")->click();

    QTRY_COMPARE_WITH_TIMEOUT(app->currentVersion(), demoApp.latestVersion, kLongWait);
    QTRY_VERIFY_WITH_TIMEOUT(!app->update(), kLongWait);
    QTRY_VERIFY_WITH_TIMEOUT(!s.container->coordinator()->isUpdating(), kLongWait);
    QTRY_COMPARE(s.detailText("currentVersion"), demoApp.latestVersion);
    QCOMPARE(s.bundleVersion(name), demoApp.latestVersion);
    // A fresh check agrees: the tool's state and the feed now match the bundle.
    QVERIFY(s.container->coordinator());
    s.container->sidebarViewModel().checkForUpdates();
    QTRY_VERIFY_WITH_TIMEOUT(!s.container->sidebarViewModel().isCheckingUpdates(), kLongWait);
    QVERIFY(!app->update());
}

void TestDemoWorld::ignoreAndUnignore()
{
    Session& s = *m_session;
    const ApplicationPtr app = s.application(QStringLiteral("Driftnote"));
    QVERIFY(app && app->update());
    s.select(app);
    QTRY_VERIFY(s.button("ignoreButton") && s.button("ignoreButton")->isEnabled());
    s.button("ignoreButton")->click();
    QTRY_VERIFY(app->ignored());
    QVERIFY(!app->update());
    QTRY_VERIFY(s.ignoreList()
                    .value(QStringLiteral("ignoredApps"))
                    .toVariant()
                    .toStringList()
                    .contains(app->bundleIdentifier()));

    QTRY_COMPARE(s.button("ignoreButton")->text(), QStringLiteral("Unignore App"));
    // The button stays disabled until the refresh that follows the ignore has ended.
    QTRY_VERIFY(s.button("ignoreButton")->isEnabled());
    s.button("ignoreButton")->click();
    QTRY_VERIFY(!app->ignored());
    QTRY_VERIFY_WITH_TIMEOUT(app->update().has_value(), kLongWait);
    QTRY_VERIFY(!s.ignoreList()
                     .value(QStringLiteral("ignoredApps"))
                     .toVariant()
                     .toStringList()
                     .contains(app->bundleIdentifier()));
}

void TestDemoWorld::skipAndUnskip()
{
    Session& s = *m_session;
    const ApplicationPtr app = s.application(QStringLiteral("Waypoint"));
    QVERIFY(app && app->update());
    s.select(app);
    QTRY_VERIFY(s.button("skipVersionButton") && s.button("skipVersionButton")->isEnabled());
    s.button("skipVersionButton")->click();
    QTRY_COMPARE(app->skippedVersion(), std::optional<QString>(QStringLiteral("1.13")));
    QVERIFY(!app->update());
    QTRY_COMPARE(
        s.ignoreList().value(QStringLiteral("ignoredVersions")).toObject().value(app->bundleIdentifier()),
        QJsonValue(QStringLiteral("1.13")));

    QTRY_VERIFY(s.button("unskipButton") && s.button("unskipButton")->isVisibleTo(s.window.get()) &&
                s.button("unskipButton")->isEnabled());
    s.button("unskipButton")->click();
    QTRY_VERIFY(!app->skippedVersion());
    QTRY_VERIFY_WITH_TIMEOUT(app->update().has_value(), kLongWait);
}

void TestDemoWorld::adoptIntoHomebrew()
{
    Session& s = *m_session;
    const ApplicationPtr app = s.application(QStringLiteral("Marble Maps"));
    s.select(app);
    QTRY_VERIFY(s.container->store().selectedApplication() == app);
    s.container->detailViewModel().adoptCask();
    // A check asked for while the adoption still runs is refused.
    QTRY_VERIFY_WITH_TIMEOUT(!s.container->detailViewModel().isAdopting(), kLongWait);
    QVERIFY(app->source().contains(Application::Source::homebrew));
    QVERIFY(app->cask() && app->cask()->adopted && !app->cask()->adoptable);
    QVERIFY(QFileInfo::exists(s.container->paths().caskroomFolders.first() +
                              QStringLiteral("/marble-maps/.metadata/INSTALL_RECEIPT.json")));

    // Taken over as it was; its newer version now comes as a Homebrew update.
    QCOMPARE(app->currentVersion(), QStringLiteral("2.3.0"));
    s.container->sidebarViewModel().checkForUpdates();
    QTRY_VERIFY_WITH_TIMEOUT(!s.container->sidebarViewModel().isCheckingUpdates(), kLongWait);
    QVERIFY(app->update());
    QCOMPARE(app->update()->source, Update::Source::homebrew);
    QCOMPARE(app->update()->latestVersion, QStringLiteral("2.4.0"));
}

// Through the login shell, as in a terminal: the world's brew comes first on its path.
void TestDemoWorld::brewDoctorRunsTheWorldsBrew()
{
    TerminalCommands& terminal = m_session->container->terminalCommands();
    terminal.runBrewDoctor();
    QTRY_VERIFY_WITH_TIMEOUT(!terminal.isRunningBrewDoctor() && !terminal.brewDoctorOutput().isEmpty(),
                             kLongWait);
    QVERIFY2(!terminal.brewDoctorHasError(), qPrintable(terminal.brewDoctorOutput()));
    QVERIFY(terminal.brewDoctorOutput().contains(QStringLiteral("Your system is ready to brew.")));
}

void TestDemoWorld::batchUpdatesTheRest()
{
    Session& s = *m_session;
    QTRY_VERIFY_WITH_TIMEOUT(!s.container->coordinator()->isUpdating(), kLongWait);
    s.container->sidebarViewModel().setShowUpdateSheet(true);
    QTRY_VERIFY(s.sheets->sheet());
    UpdateSheetView* sheet = s.sheets->sheet();
    // Everything still outdated, but the update that needs a password is listed apart.
    QCOMPARE(sheet->sudoRequiredApps().size(), 1);
    QCOMPARE(sheet->sudoRequiredApps().first()->name(), QStringLiteral("Harbor VPN"));
    const UpdateSheetView::ApplicationList batch = sheet->applications();
    QCOMPARE(batch.size(), 10);

    sheet->findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(sheet->hasCompleted(), kLongWait);
    for (const ApplicationPtr& app : batch) {
        const DemoApplication& demoApp = demoApplication(app->name());
        QVERIFY2(!app->update(), qPrintable(app->name()));
        QCOMPARE(app->currentVersion(), demoApp.latestVersion);
        QCOMPARE(s.bundleVersion(app->name()), demoApp.latestVersion);
    }
    sheet->findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
    QTRY_VERIFY(!s.sheets->sheet());
    QCOMPARE(s.badge->label(), QStringLiteral("1")); // the update that needs a password
}

// Word Counter's cask comes from a tap the catalogue does not list: a cask in use elsewhere is
// refused with its reason under the field, the tapped one verifies and is adopted.
void TestDemoWorld::manualCaskFromATap()
{
    Session& s = *m_session;
    const ApplicationPtr app = s.application(QStringLiteral("Word Counter"));
    QVERIFY(app && !app->cask() && !app->update());
    s.select(app);
    const auto entry = [&s]() -> ManualCaskEntryView* {
        for (ManualCaskEntryView* view : s.window->findChildren<ManualCaskEntryView*>())
            if (view->isVisibleTo(s.window.get()))
                return view;
        return nullptr;
    };
    QTRY_VERIFY(entry());
    const auto enter = [&](const QString& cask, const QString& tap) {
        entry()->findChild<QLineEdit*>(QStringLiteral("caskNameField"))->setText(cask);
        entry()->findChild<QLineEdit*>(QStringLiteral("tapNameField"))->setText(tap);
    };
    const auto verifyButton = [&] { return entry()->findChild<QPushButton*>(QStringLiteral("verifyCaskButton")); };

    // The button comes back only once the previous verification has ended; a click before is lost.
    enter(QStringLiteral("pixelforge"), QString());
    QTRY_VERIFY_WITH_TIMEOUT(verifyButton()->isEnabled(), kLongWait);
    verifyButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(entry()->failureText().startsWith(
                                 QStringLiteral("Cask 'pixelforge' is already managing another app at: ")),
                             kLongWait);
    QVERIFY(!app->cask());

    enter(QStringLiteral("word-counter"), QStringLiteral("norvelle-demo/extras"));
    QTRY_VERIFY_WITH_TIMEOUT(verifyButton()->isEnabled(), kLongWait);
    verifyButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(app->cask() && app->cask()->adoptable, kLongWait);
    QCOMPARE(app->cask()->caskName, QStringLiteral("word-counter"));

    // Adopted, it shows at once what a refresh would: managed, with its newer version.
    s.container->detailViewModel().adoptCask();
    QTRY_VERIFY_WITH_TIMEOUT(!s.container->detailViewModel().isAdopting(), kLongWait);
    QVERIFY(app->source().contains(Application::Source::homebrew));
    QVERIFY(app->cask() && app->cask()->adopted);
    QVERIFY(app->update());
    QCOMPARE(app->update()->latestVersion, demoApplication(QStringLiteral("Word Counter")).latestVersion);
    QVERIFY(!entry());
}

// Quitting mid-batch stops the batch; the application under way ends whole or not at all: the
// bundle, the Caskroom and what brew and mas answer agree for every application.
void TestDemoWorld::quitWhileABatchRuns()
{
    m_session.reset();
    Session s;
    QVERIFY(s.start(0.25));
    QTRY_VERIFY_WITH_TIMEOUT(s.container->store().lastUpdateCheck().has_value(), kLongWait);
    QTRY_VERIFY(!s.container->sidebarViewModel().isCheckingUpdates());
    s.container->sidebarViewModel().setShowUpdateSheet(true);
    QTRY_VERIFY(s.sheets->sheet());
    const UpdateSheetView::ApplicationList batch = s.sheets->sheet()->applications();
    UpdateSheetView* sheet = s.sheets->sheet();
    // Quit while brew is upgrading the second application of the batch. The step may pass between
    // two looks on a loaded machine, so every report is looked at as it comes.
    bool downloading = false;
    QObject::connect(sheet->session().get(), &UpdateBatchSession::changed, sheet, [&downloading, sheet] {
        const std::optional<UpdateProgress> progress = sheet->currentProgress();
        downloading = downloading ||
                      (progress && progress->application &&
                       progress->application->name() == QStringLiteral("Cobalt Code") &&
                       progress->currentStep.startsWith(QStringLiteral("==> Downloading")));
    });
    sheet->findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(downloading, kLongWait);

    // What quitting does: the windows go, the batch is cancelled, the running tools are told to
    // stop, and the objects are destroyed only once the work has ended. (Last in this file:
    // once tools have been stopped, this process starts no more of them.)
    s.sheets.reset();
    s.window.reset();
    s.container->coordinator()->cancelUpdates();
    ProcessGroups::terminateAll(SIGTERM);
    // The pool's tasks may still need the main thread, so its events go on meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(ioPool().activeThreadCount(), 0, kLongWait);
    const int updated = int(std::count_if(batch.cbegin(), batch.cend(),
                                          [](const ApplicationPtr& app) { return !app->update(); }));
    QVERIFY2(updated < batch.size(), "the batch ran on after being cancelled");
    s.container.reset();

    const QJsonObject casks = s.toolState().value(QStringLiteral("casks")).toObject();
    for (const DemoApplication& app : demo::demoApplications()) {
        if (app.kind != DemoApplication::Kind::cask)
            continue;
        const QString installed =
            casks.value(app.token).toObject().value(QStringLiteral("installed")).toString();
        QCOMPARE(s.bundleVersion(app.name), installed);
        QVERIFY(QFileInfo(s.world.root() + QStringLiteral("/opt/homebrew/Caskroom/") + app.token + u'/' +
                          installed)
                    .isDir());
    }
    const QJsonObject store = s.toolState().value(QStringLiteral("mas")).toObject();
    for (const DemoApplication& app : demo::demoApplications()) {
        if (app.kind == DemoApplication::Kind::store)
            QCOMPARE(s.bundleVersion(app.name),
                     store.value(app.storeId).toObject().value(QStringLiteral("installed")).toString());
    }
}

QTEST_MAIN(TestDemoWorld)
#include "tst_demoworld.moc"
