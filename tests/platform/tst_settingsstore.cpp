#include "platform/SettingsStore.h"

#include "LogCapture.h"
#include "TempSettings.h"

#include <QDir>
#include <QFile>

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

using namespace norvelle;
using namespace norvelle::test;

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("permission") << "hasAppManagementPermission" << QVariant(false);
        QTest::newRow("tour") << "hasCompletedWelcomeTour" << QVariant(false);
        QTest::newRow("log files") << "desktopLogFilesEnabled" << QVariant(false);
        QTest::newRow("theme") << "selectedTheme" << QVariant(QStringLiteral("Automatic"));
    }
    void defaults()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        TempSettings settings;
        QCOMPARE(settings->value(key), value);
        QCOMPARE(settings->value(key).typeId(), value.typeId());
        QCOMPARE(SettingsStore::defaultValue(key), value);
        QVERIFY(SettingsStore::knownKeys().contains(key));
    }

    void changeSignals_data()
    {
        // Values written one after another, and how many of the writes change the value.
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariantList>("writes");
        QTest::addColumn<int>("signals");
        QTest::newRow("default again is no change") << "desktopLogFilesEnabled" << QVariantList{false} << 0;
        QTest::newRow("on") << "desktopLogFilesEnabled" << QVariantList{true} << 1;
        QTest::newRow("on on") << "desktopLogFilesEnabled" << QVariantList{true, true} << 1;
        QTest::newRow("on off on") << "hasCompletedWelcomeTour" << QVariantList{true, false, true} << 3;
        QTest::newRow("text true is true") << "hasAppManagementPermission" << QVariantList{true, "true"} << 1;
        QTest::newRow("theme default") << "selectedTheme" << QVariantList{"Automatic"} << 0;
        QTest::newRow("theme dark dark light")
            << "selectedTheme" << QVariantList{"Dark", "Dark", "Light"} << 2;
        QTest::newRow("theme case matters") << "selectedTheme" << QVariantList{"dark", "Dark"} << 2;
    }
    void changeSignals()
    {
        QFETCH(QString, key);
        QFETCH(QVariantList, writes);
        QFETCH(int, signals);
        TempSettings settings;
        QSignalSpy spy(&settings.store(), &SettingsStore::valueChanged);
        for (const QVariant& v : writes)
            QVERIFY(settings->setValue(key, v));
        QCOMPARE(spy.count(), signals);
        for (const auto& args : spy)
            QCOMPARE(args.at(0).toString(), key);
    }

    void refusesUnknownKeysAndBadValues()
    {
        TempSettings settings;
        QSignalSpy spy(&settings.store(), &SettingsStore::valueChanged);
        QVERIFY(!settings->setValue("someOtherKey", true));
        QVERIFY(!settings->value("someOtherKey").isValid());
        QVERIFY(!settings->setValue("desktopLogFilesEnabled", "yes"));
        QVERIFY(!settings->setValue("desktopLogFilesEnabled", QVariant()));
        QCOMPARE(settings->desktopLogFilesEnabled(), false);
        QCOMPARE(spy.count(), 0);
    }

    void persistsAcrossReopen()
    {
        TempSettings settings;
        settings->setDesktopLogFilesEnabled(true);
        settings->setSelectedTheme("Dark");
        settings->setHasCompletedWelcomeTour(true);
        const auto again = settings.reopen();
        QCOMPARE(again->desktopLogFilesEnabled(), true);
        QCOMPARE(again->value("desktopLogFilesEnabled").typeId(), int(QMetaType::Bool));
        QCOMPARE(again->selectedTheme(), "Dark");
        QCOMPARE(again->hasCompletedWelcomeTour(), true);
        QCOMPARE(again->hasAppManagementPermission(), false);
    }

    void unreadableStoredValueCountsAsAbsent()
    {
        TempSettings settings;
        {
            QSettings raw(settings.filePath(), QSettings::IniFormat);
            raw.setValue("desktopLogFilesEnabled", "maybe");
            raw.setValue("selectedTheme", "Light");
        }
        const auto store = settings.reopen();
        QCOMPARE(store->desktopLogFilesEnabled(), false);
        QCOMPARE(store->selectedTheme(), "Light");
    }

    // A write that does not reach the file leaves the value the file holds and says why; the
    // next write, once the file can be written, does not carry it either.
    void failedWriteKeepsStoredValue()
    {
        TempSettings settings;
        QVERIFY(settings->setValue("desktopLogFilesEnabled", true));
        const QString path = settings.filePath();
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        QSignalSpy changed(&settings.store(), &SettingsStore::valueChanged);
        QSignalSpy failed(&settings.store(), &SettingsStore::writeFailed);
        LogCapture log;
        QVERIFY(!settings->setValue("desktopLogFilesEnabled", false));
        QVERIFY(settings->desktopLogFilesEnabled());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), "desktopLogFilesEnabled");
        const QString why = failed.at(0).at(1).toString();
        QVERIFY2(why.startsWith(path + ": ") && why.size() > path.size() + 2, qPrintable(why));
        QVERIFY(
            log.contains(Logger::Level::warning, "Failed to save setting desktopLogFilesEnabled: " + why));

        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(settings->setValue("selectedTheme", "Dark"));
        QVERIFY(settings.reopen()->desktopLogFilesEnabled());
    }

    void readsWhileWriting()
    {
        TempSettings settings;
        std::atomic<bool> stop{false};
        std::atomic<int> reads{0};
        std::vector<std::thread> readers;
        for (int i = 0; i < 4; ++i) {
            readers.emplace_back([&] {
                while (!stop.load()) {
                    const QString theme = settings->selectedTheme();
                    QVERIFY(theme == "Automatic" || theme == "Dark" || theme == "Light");
                    ++reads;
                }
            });
        }
        for (int i = 0; i < 100; ++i)
            settings->setSelectedTheme(i % 2 ? "Dark" : "Light");
        stop = true;
        for (auto& r : readers)
            r.join();
        QVERIFY(reads.load() > 0);
        QCOMPARE(settings->selectedTheme(), "Dark");
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
