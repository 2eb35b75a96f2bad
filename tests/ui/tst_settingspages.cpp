#include "FakeUrlOpener.h"
#include "TempRoot.h"
#include "TempSettings.h"
#include "coordinator/AppState.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "ui/settings/AboutView.h"
#include "ui/settings/ExperimentalView.h"
#include "ui/settings/PermissionsView.h"
#include "ui/settings/PreferencesView.h"
#include "platform/Logger.h"
#include "viewmodels/SettingsViewModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace norvelle;
using norvelle::test::FakeUrlOpener;
using norvelle::test::TempRoot;
using norvelle::test::TempSettings;

namespace {

QString labelText(const QWidget& page, const char* name)
{
    const auto* label = page.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

// What picking an entry from the combo box's pop-up list does.
void choose(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

} // namespace

class TestSettingsPages : public QObject {
    Q_OBJECT

    std::unique_ptr<TempRoot> m_root;
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<SettingsViewModel> m_viewModel;
    std::shared_ptr<FakeUrlOpener> m_urlOpener;
    std::unique_ptr<AppState> m_appState;
    QString m_desktop;
    bool m_dark = false;

    QStringList desktopLogFiles() const
    {
        return QDir(m_desktop).entryList({QStringLiteral("NorvelleLogs-*")}, QDir::Files);
    }

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<TempRoot>();
        m_desktop = m_root->makeDirectory(QStringLiteral("home/Desktop"));
        Paths paths = m_root->paths();
        paths.desktopFolder = m_desktop;
        Logger::setPaths(paths);
        m_settings = std::make_unique<TempSettings>();
        Logger::setSettings(&m_settings->store());
        m_dark = false;
        m_viewModel = std::make_unique<SettingsViewModel>(m_settings->store(), [this] { return m_dark; });
        m_urlOpener = std::make_shared<FakeUrlOpener>();
        m_appState = std::make_unique<AppState>(m_settings->store(), m_urlOpener);
    }

    void cleanup()
    {
        Logger::setDesktopLogFilesEnabled(false);
        Logger::setSettings(nullptr);
        m_appState.reset();
        m_viewModel.reset();
        m_settings.reset();
        m_root.reset();
    }

    void themePickerShowsTheStoredTheme_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Automatic") << "Automatic"
                                   << "Automatic";
        QTest::newRow("Light") << "Light"
                               << "Light";
        QTest::newRow("Dark") << "Dark"
                              << "Dark";
        QTest::newRow("stray") << "Sepia"
                               << "Automatic";
        QTest::newRow("wrong case") << "dark"
                                    << "Automatic";
    }

    void themePickerShowsTheStoredTheme()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        m_settings->store().setSelectedTheme(stored);
        PreferencesView page(*m_viewModel, m_settings->store());
        page.show();
        QStringList options;
        for (int i = 0; i < page.themePicker()->count(); ++i)
            options.append(page.themePicker()->itemText(i));
        QCOMPARE(options, QStringList({"Automatic", "Light", "Dark"}));
        QCOMPARE(page.themePicker()->currentText(), shown);
        // Showing a value writes nothing back.
        QCOMPARE(m_settings->store().selectedTheme(), stored);
    }

    void choosingAThemeStoresIt()
    {
        PreferencesView page(*m_viewModel, m_settings->store());
        page.show();
        choose(page.themePicker(), 2);
        QTRY_COMPARE(m_settings->store().selectedTheme(), QStringLiteral("Dark"));
        choose(page.themePicker(), 1);
        QTRY_COMPARE(m_settings->store().selectedTheme(), QStringLiteral("Light"));
        QCOMPARE(page.themePicker()->currentText(), QStringLiteral("Light"));
    }

    void choosingAutomaticPassesThroughTheCurrentLook()
    {
        m_dark = true;
        m_settings->store().setSelectedTheme(QStringLiteral("Light"));
        PreferencesView page(*m_viewModel, m_settings->store());
        page.show();
        QStringList seen;
        connect(&m_settings->store(), &SettingsStore::valueChanged, &page, [&](const QString& key) {
            if (key == QLatin1String(SettingsStore::Keys::selectedTheme))
                seen.append(page.themePicker()->currentText());
        });
        choose(page.themePicker(), 0);
        QTRY_COMPARE(m_settings->store().selectedTheme(), QStringLiteral("Automatic"));
        QCOMPARE(seen, QStringList({"Dark", "Automatic"}));
    }

    void pickerFollowsAChangeElsewhere()
    {
        PreferencesView page(*m_viewModel, m_settings->store());
        page.show();
        m_settings->store().setSelectedTheme(QStringLiteral("Dark"));
        QTRY_COMPARE(page.themePicker()->currentText(), QStringLiteral("Dark"));
    }

    void desktopLogSwitch()
    {
        PreferencesView page(*m_viewModel, m_settings->store());
        page.show();
        QCOMPARE(labelText(page, "desktopLogFilesLabel"), QStringLiteral("Create log files on ~/Desktop"));
        QVERIFY(!page.desktopLogFilesToggle()->isChecked());
        QVERIFY(desktopLogFiles().isEmpty());

        QTest::mouseClick(page.desktopLogFilesToggle(), Qt::LeftButton);
        QTRY_VERIFY(m_settings->store().desktopLogFilesEnabled());
        QCOMPARE(desktopLogFiles().size(), 1); // opened at once, before any message
        Logger::info(QStringLiteral("while on"));
        const QString file = m_desktop + QLatin1Char('/') + desktopLogFiles().constFirst();

        QTest::mouseClick(page.desktopLogFilesToggle(), Qt::LeftButton);
        QTRY_VERIFY(!m_settings->store().desktopLogFilesEnabled());
        Logger::info(QStringLiteral("while off"));
        QFile log(file);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray contents = log.readAll();
        QVERIFY(contents.contains("while on"));
        QVERIFY(!contents.contains("while off"));
    }

    void desktopLogSwitchFollowsTheStore()
    {
        PreferencesView page(*m_viewModel, m_settings->store());
        page.show();
        Logger::setDesktopLogFilesEnabled(true);
        QTRY_VERIFY(page.desktopLogFilesToggle()->isChecked());
    }

    void permissionRowsFollowTheFlag_data()
    {
        QTest::addColumn<bool>("granted");
        QTest::newRow("granted") << true;
        QTest::newRow("not granted") << false;
    }

    void permissionRowsFollowTheFlag()
    {
        QFETCH(bool, granted);
        m_appState->setHasAppManagementPermission(granted);
        PermissionsView page(*m_appState);
        page.show();
        QCOMPARE(page.appManagementToggle()->isChecked(), granted);
        QCOMPARE(page.warningRow()->isVisible(), !granted);
        QCOMPARE(page.instructions()->isVisible(), !granted);
        // Another screen changes the flag: the page follows at once.
        m_appState->setHasAppManagementPermission(!granted);
        QTRY_COMPARE(page.appManagementToggle()->isChecked(), !granted);
        QCOMPARE(page.warningRow()->isVisible(), granted);
        QCOMPARE(page.instructions()->isVisible(), granted);
    }

    void permissionSwitchWritesTheFlag()
    {
        PermissionsView page(*m_appState);
        page.show();
        QTest::mouseClick(page.appManagementToggle(), Qt::LeftButton);
        QTRY_VERIFY(m_appState->hasAppManagementPermission());
        QVERIFY(m_settings->store().hasAppManagementPermission());
        QVERIFY(!page.warningRow()->isVisible());
        QTest::mouseClick(page.appManagementToggle(), Qt::LeftButton);
        QTRY_VERIFY(!m_appState->hasAppManagementPermission());
        QVERIFY(!m_settings->store().hasAppManagementPermission());
        QVERIFY(page.warningRow()->isVisible());
        QVERIFY(page.instructions()->isVisible());
    }

    void settingsButtonOpensThePaneOnly()
    {
        PermissionsView page(*m_appState);
        page.show();
        QTest::mouseClick(page.settingsButton(), Qt::LeftButton);
        if (AppState::systemHasAppManagementSettings) {
            QTRY_COMPARE(m_urlOpener->opened().size(), 1);
            QCOMPARE(m_urlOpener->opened().constFirst().toString(),
                     QString::fromLatin1(AppState::appManagementSettingsUrl));
        } else {
            QVERIFY(m_urlOpener->opened().isEmpty()); // there is no such pane to open
        }
        QVERIFY(!m_appState->hasAppManagementPermission());
    }

    void permissionTexts()
    {
        PermissionsView page(*m_appState);
        QCOMPARE(labelText(page, "permissionsTitle"), QStringLiteral("Security & Privacy"));
        QCOMPARE(labelText(page, "appManagementLabel"), QStringLiteral("App Management"));
        QCOMPARE(labelText(page, "appManagementPurpose"),
                 QStringLiteral("Norvelle triggers system commands to manage applications."));
        QCOMPARE(
            labelText(page, "appManagementConsequence"),
            QStringLiteral("Without this permission enabled, you will see \"Norvelle.app was prevented from "
                           "modifying apps on your Mac\" notifications from macOS Privacy & Security."));
        QCOMPARE(labelText(page, "permissionWarning"),
                 QStringLiteral("Enabling without granting the permission on macOS will cause issues"));
        QCOMPARE(page.settingsButton()->text(), QStringLiteral("Settings..."));
        QCOMPARE(labelText(page, "instructionsTitle"), QStringLiteral("Instructions"));
        QCOMPARE(labelText(page, "instructionStep1"),
                 QStringLiteral("1. Click the 'Settings...' button above"));
        QCOMPARE(
            labelText(page, "instructionStep2"),
            QStringLiteral("2. Add Norvelle to the App Management list by clicking the + button, or if it's "
                           "already listed, enable it"));
        QCOMPARE(labelText(page, "instructionStep3"),
                 QStringLiteral("3. Return here and click the toggle to enable"));
    }

    void versionString_data()
    {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("expected");
        const QString shortKey = QStringLiteral("CFBundleShortVersionString");
        const QString buildKey = QStringLiteral("CFBundleVersion");
        QTest::newRow("both") << QVariantMap{{shortKey, "2.1"}, {buildKey, "45"}} << "2.1 (45)";
        QTest::newRow("no build") << QVariantMap{{shortKey, "2.1"}} << "2.1";
        QTest::newRow("no version") << QVariantMap{{buildKey, "45"}} << "Unknown";
        QTest::newRow("nothing") << QVariantMap{} << "Unknown";
        QTest::newRow("build literally Unknown")
            << QVariantMap{{shortKey, "2.1"}, {buildKey, "Unknown"}} << "2.1";
        QTest::newRow("version literally Unknown")
            << QVariantMap{{shortKey, "Unknown"}, {buildKey, "45"}} << "Unknown";
        QTest::newRow("build not text") << QVariantMap{{shortKey, "2.1"}, {buildKey, 45}} << "2.1";
        QTest::newRow("version not text") << QVariantMap{{shortKey, 2.1}, {buildKey, "45"}} << "Unknown";
    }

    void versionString()
    {
        QFETCH(QVariantMap, info);
        QFETCH(QString, expected);
        QCOMPARE(AboutView::versionString(info), expected);
    }

    void aboutTexts()
    {
        AboutView page(QVariantMap{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.1")},
                                   {QStringLiteral("CFBundleVersion"), QStringLiteral("45")}});
        QCOMPARE(labelText(page, "applicationName"), QStringLiteral("Norvelle"));
        QCOMPARE(page.versionLabel()->text(), QStringLiteral("2.1 (45)"));
        QCOMPARE(page.versionLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(
            labelText(page, "aboutDescription"),
            QStringLiteral("Norvelle manages updates for all your macOS applications across Homebrew Casks, "
                           "Mac App Store, and Sparkle. Seamlessly transition manually installed apps to "
                           "Homebrew Cask management."));
        QCOMPARE(labelText(page, "systemRequirements"), QStringLiteral("macOS 15.0 or later"));
        QStringList titles;
        for (const QLabel* title : page.findChildren<QLabel*>(QStringLiteral("cardTitle")))
            titles.append(title->text());
        QCOMPARE(titles, QStringList({"About", "System Requirements"}));
    }

    void experimentalTexts()
    {
        ExperimentalView page;
        QCOMPARE(labelText(page, "experimentalTitle"), QStringLiteral("No Experiments Available"));
        QCOMPARE(labelText(page, "experimentalDescription"),
                 QStringLiteral("Experimental features will show up here when available"));
    }
};

QTEST_MAIN(TestSettingsPages)
#include "tst_settingspages.moc"
