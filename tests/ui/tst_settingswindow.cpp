#include "FakeUrlOpener.h"
#include "TempSettings.h"
#include "coordinator/AppState.h"
#include "platform/SettingsStore.h"
#include "ui/settings/SettingsAppearance.h"
#include "ui/settings/SettingsWindow.h"
#include "viewmodels/SettingsViewModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace norvelle;
using norvelle::test::FakeUrlOpener;
using norvelle::test::TempSettings;
using Category = SettingsViewModel::SettingsCategory;

Q_DECLARE_METATYPE(std::optional<norvelle::Theme>)

class TestSettingsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<SettingsViewModel> m_viewModel;
    std::unique_ptr<AppState> m_appState;

    std::unique_ptr<SettingsWindow> makeWindow()
    {
        QVariantMap info{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.1")},
                         {QStringLiteral("CFBundleVersion"), QStringLiteral("45")}};
        auto window = std::make_unique<SettingsWindow>(*m_viewModel, *m_appState, m_settings->store(), info);
        window->show();
        return window;
    }

    static void clickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<TempSettings>();
        m_viewModel = std::make_unique<SettingsViewModel>(m_settings->store());
        m_appState = std::make_unique<AppState>(m_settings->store(), std::make_shared<FakeUrlOpener>());
    }

    void cleanup()
    {
        m_appState.reset();
        m_viewModel.reset();
        m_settings.reset();
    }

    void windowFrame()
    {
        auto window = makeWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(window->minimumSize(), QSize(700, 350));
        QStringList rows;
        for (int i = 0; i < window->categoryList()->count(); ++i)
            rows.append(window->categoryList()->item(i)->text());
        QCOMPARE(rows, QStringList({"Preferences", "Experimental", "Permissions", "About"}));
        // The list keeps its width; a wider window only widens the page.
        auto* sidebar = window->findChild<QWidget*>(QStringLiteral("settingsSidebar"));
        QVERIFY(sidebar);
        window->resize(1000, 500);
        QTRY_COMPARE(window->width(), 1000);
        QCOMPARE(sidebar->width(), SettingsWindow::sidebarWidth);
    }

    void choosingARowShowsItsPage_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<Category>("category");
        QTest::addColumn<QString>("page");
        QTest::newRow("Experimental") << 1 << Category::experimental << "experimentalView";
        QTest::newRow("Permissions") << 2 << Category::permissions << "permissionsView";
        QTest::newRow("About") << 3 << Category::about << "aboutView";
    }

    void choosingARowShowsItsPage()
    {
        QFETCH(int, row);
        QFETCH(Category, category);
        QFETCH(QString, page);
        auto window = makeWindow();
        QCOMPARE(window->currentPage()->objectName(), QStringLiteral("preferencesView"));
        clickRow(window->categoryList(), row);
        QTRY_COMPARE(m_viewModel->selectedCategory(), category);
        QCOMPARE(window->currentPage()->objectName(), page);
        // And back again.
        clickRow(window->categoryList(), 0);
        QTRY_COMPARE(m_viewModel->selectedCategory(), Category::preferences);
        QCOMPARE(window->currentPage()->objectName(), QStringLiteral("preferencesView"));
    }

    void viewModelChoiceMovesTheList()
    {
        auto window = makeWindow();
        m_viewModel->setSelectedCategory(Category::permissions);
        QTRY_COMPARE(window->currentPage()->objectName(), QStringLiteral("permissionsView"));
        QCOMPARE(window->categoryList()->currentRow(), 2);
        QCOMPARE(window->categoryList()->selectedItems().size(), 1);
    }

    void reopeningKeepsTheChoice()
    {
        {
            auto window = makeWindow();
            clickRow(window->categoryList(), 3);
            QTRY_COMPARE(m_viewModel->selectedCategory(), Category::about);
        }
        auto reopened = makeWindow();
        QCOMPARE(reopened->currentPage()->objectName(), QStringLiteral("aboutView"));
        QCOMPARE(reopened->categoryList()->currentRow(), 3);
    }

    void theSelectedRowStaysSelected()
    {
        auto window = makeWindow();
        QWidget* page = window->currentPage();
        QSignalSpy changes(m_viewModel.get(), &SettingsViewModel::selectedCategoryChanged);
        clickRow(window->categoryList(), 0);
        clickRow(window->categoryList(), 0, Qt::ControlModifier); // would deselect in a plain list
        QCOMPARE(changes.count(), 0);
        QCOMPARE(window->currentPage(), page);
        QCOMPARE(window->categoryList()->selectedItems().size(), 1);
        QCOMPARE(window->categoryList()->currentRow(), 0);
    }

    void colorSchemeOverride_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<std::optional<Theme>>("expected");
        QTest::newRow("Light") << "Light" << std::optional(Theme::light);
        QTest::newRow("Dark") << "Dark" << std::optional(Theme::dark);
        QTest::newRow("Automatic") << "Automatic" << std::optional<Theme>();
        QTest::newRow("lower-case dark") << "dark" << std::optional<Theme>();
        QTest::newRow("stray") << "Sepia" << std::optional<Theme>();
        QTest::newRow("empty") << "" << std::optional<Theme>();
    }

    void colorSchemeOverride()
    {
        QFETCH(QString, stored);
        QFETCH(std::optional<Theme>, expected);
        QCOMPARE(SettingsAppearance::colorSchemeOverride(stored), expected);

        auto window = makeWindow();
        m_settings->store().setSelectedTheme(stored);
        QTRY_COMPARE(window->colorSchemeOverride(), expected);
        const QPalette expectedPalette =
            expected ? SettingsAppearance::palette(*expected) : QApplication::palette();
        QCOMPARE(window->palette().color(QPalette::Window), expectedPalette.color(QPalette::Window));
        QCOMPARE(window->currentPage()->palette().color(QPalette::WindowText),
                 expectedPalette.color(QPalette::WindowText));
    }

    // A switch whose value could not be saved shows the stored value, and the window says why
    // until a later change is saved.
    void aFailedSaveIsShown()
    {
        m_settings->store().setDesktopLogFilesEnabled(true);
        auto window = makeWindow();
        QVERIFY(window->saveFailureLabel()->isHidden());
        auto* toggle = window->currentPage()->findChild<QCheckBox*>(QStringLiteral("desktopLogFilesToggle"));
        QVERIFY(toggle && toggle->isChecked());
        const QString path = m_settings->filePath();
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(toggle->isChecked());
        QTRY_VERIFY(window->saveFailureLabel()->isVisible());
        const QString shown = window->saveFailureLabel()->text();
        QVERIFY(shown.startsWith("The setting could not be saved: " + path + ": "));

        QVERIFY(QDir(path).removeRecursively());
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!toggle->isChecked());
        QTRY_VERIFY(window->saveFailureLabel()->isHidden());
    }

    void forcedPalettesAreWhatTheyClaim()
    {
        QVERIFY(SettingsAppearance::isDark(SettingsAppearance::palette(Theme::dark)));
        QVERIFY(!SettingsAppearance::isDark(SettingsAppearance::palette(Theme::light)));
    }

    // Not a check: pictures of every page, light and dark, for a person to look at.
    void renderPages()
    {
        const QString folder = QCoreApplication::applicationDirPath();
        for (const QString& theme : {QStringLiteral("Light"), QStringLiteral("Dark")}) {
            m_settings->store().setSelectedTheme(theme);
            m_appState->setHasAppManagementPermission(false);
            auto window = makeWindow();
            for (const Category category : SettingsViewModel::allCategories()) {
                m_viewModel->setSelectedCategory(category);
                QTRY_VERIFY(window->currentPage()->isVisible());
                // Let the new page's layout and scroll bars settle before the picture.
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents();
                const QString name = SettingsViewModel::rawValue(category).toLower();
                QVERIFY(window->grab().save(
                    folder + QStringLiteral("/settings-%1-%2.png").arg(name, theme.toLower())));
            }
        }
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
