#include "FakeUrlOpener.h"
#include "LogCapture.h"
#include "TempSettings.h"
#include "coordinator/AppState.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace norvelle;
using norvelle::test::FakeUrlOpener;
using norvelle::test::LogCapture;
using norvelle::test::TempSettings;

class TestAppState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartReadsAbsentKeysAsFalse()
    {
        TempSettings settings;
        AppState state(settings.store(), std::make_shared<FakeUrlOpener>());
        QCOMPARE(state.hasAppManagementPermission(), false);
        QCOMPARE(state.hasCompletedWelcomeTour(), false);
        QCOMPARE(state.showUpdateCheckError(), false);
        QVERIFY(state.updateCheckErrorMessage().isEmpty());
    }

    void persistedFlagsSurviveARestart()
    {
        TempSettings settings;
        {
            AppState state(settings.store(), nullptr);
            state.setHasCompletedWelcomeTour(true);
            state.setHasAppManagementPermission(true);
        }
        auto relaunched = settings.reopen();
        AppState state(*relaunched, nullptr);
        QCOMPARE(state.hasCompletedWelcomeTour(), true);
        QCOMPARE(state.hasAppManagementPermission(), true);
    }

    // Every assignment writes the key; observers hear only of real changes.
    void persistedSetterWritesEvenWhenUnchanged_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("welcome tour") << QString(SettingsStore::Keys::hasCompletedWelcomeTour);
        QTest::newRow("app management") << QString(SettingsStore::Keys::hasAppManagementPermission);
    }
    void persistedSetterWritesEvenWhenUnchanged()
    {
        QFETCH(QString, key);
        TempSettings settings;
        settings->setValue(key, true);
        AppState state(settings.store(), nullptr);
        const bool tour = key == QLatin1String(SettingsStore::Keys::hasCompletedWelcomeTour);
        QSignalSpy spy(&state, tour ? &AppState::hasCompletedWelcomeTourChanged
                                    : &AppState::hasAppManagementPermissionChanged);
        auto set = [&](bool value) {
            tour ? state.setHasCompletedWelcomeTour(value) : state.setHasAppManagementPermission(value);
        };

        // Another writer removes the key behind the state's back; an equal assignment puts it back.
        QSettings(settings.filePath(), QSettings::IniFormat).remove(key);
        QVERIFY(!QSettings(settings.filePath(), QSettings::IniFormat).contains(key));
        set(true);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(QSettings(settings.filePath(), QSettings::IniFormat).value(key).toBool(), true);

        set(false);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        QCOMPARE(settings.reopen()->value(key).toBool(), false);
    }

    // The switch shows, and updates act on, what the file holds: a failed write turns it back.
    void unsavedPermissionIsNotActedOn()
    {
        TempSettings settings;
        AppState state(settings.store(), nullptr);
        QSignalSpy spy(&state, &AppState::hasAppManagementPermissionChanged);
        QVERIFY(!QFile::exists(settings.filePath()) && QDir().mkdir(settings.filePath())); // every write fails
        state.setHasAppManagementPermission(true);
        QCOMPARE(state.hasAppManagementPermission(), false);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
    }

    void outsideChangeIsSeenOnlyAtNextStart()
    {
        TempSettings settings;
        AppState state(settings.store(), nullptr);
        settings->setHasCompletedWelcomeTour(true);
        QCOMPARE(state.hasCompletedWelcomeTour(), false);
    }

    void transientFlagsNotifyOncePerChange()
    {
        TempSettings settings;
        AppState state(settings.store(), nullptr);
        QSignalSpy shown(&state, &AppState::showUpdateCheckErrorChanged);
        QSignalSpy message(&state, &AppState::updateCheckErrorMessageChanged);
        state.setShowUpdateCheckError(true);
        state.setShowUpdateCheckError(true);
        state.setUpdateCheckErrorMessage(QStringLiteral("boom"));
        state.setUpdateCheckErrorMessage(QStringLiteral("boom"));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(message.count(), 1);
        QCOMPARE(state.updateCheckErrorMessage(), QStringLiteral("boom"));
        QVERIFY(!QSettings(settings.filePath(), QSettings::IniFormat)
                     .contains(QStringLiteral("showUpdateCheckError")));
    }

    void openAppManagementSettings_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("line");
        if (AppState::systemHasAppManagementSettings) {
            QTest::newRow("opened") << true << true << int(Logger::Level::info)
                                    << QStringLiteral("Opened App Management settings");
            QTest::newRow("refused") << false << false << int(Logger::Level::warning)
                                     << QStringLiteral("Failed to open App Management settings");
        } else {
            // An opener would start and fail unseen; the desktop is not asked at all.
            QTest::newRow("no such page") << true << false << int(Logger::Level::info)
                                          << QStringLiteral("No App Management settings on this system; "
                                                            "showing the explanation");
        }
    }
    void openAppManagementSettings()
    {
        QFETCH(bool, accepts);
        QFETCH(bool, opened);
        QFETCH(int, level);
        QFETCH(QString, line);
        TempSettings settings;
        auto opener = std::make_shared<FakeUrlOpener>();
        opener->setAccepts(accepts);
        AppState state(settings.store(), opener);
        LogCapture log;
        QCOMPARE(state.openAppManagementSettings(), opened);
        const QUrl pane(
            QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AppBundles"));
        QCOMPARE(opener->opened(),
                 AppState::systemHasAppManagementSettings ? QList<QUrl>{pane} : QList<QUrl>{});
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.contains(static_cast<Logger::Level>(level), line));
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
