#include "TempSettings.h"
#include "platform/SettingsStore.h"
#include "viewmodels/SettingsViewModel.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace norvelle;
using norvelle::test::TempSettings;
using Category = SettingsViewModel::SettingsCategory;

Q_DECLARE_METATYPE(std::optional<norvelle::SettingsViewModel::SettingsCategory>)

namespace {

// Every value "selectedTheme" takes while the store is watched.
struct ThemeRecorder {
    explicit ThemeRecorder(SettingsStore& store)
    {
        QObject::connect(&store, &SettingsStore::valueChanged, &context, [this, &store](const QString& key) {
            if (key == QLatin1String(SettingsStore::Keys::selectedTheme))
                values.append(store.selectedTheme());
        });
    }
    QObject context;
    QStringList values;
};

// Lets the event loop run for a while longer than any delayed write, without sleeping.
void settle()
{
    bool done = false;
    QTimer::singleShot(SettingsViewModel::automaticThemeDelay * 3, [&done] { done = true; });
    QTRY_VERIFY(done);
}

} // namespace

class TestSettingsViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void categoriesInOrder()
    {
        QCOMPARE(SettingsViewModel::allCategories(),
                 QList<Category>({Category::preferences, Category::experimental, Category::permissions,
                                  Category::about}));
        QStringList raw;
        for (Category category : SettingsViewModel::allCategories())
            raw.append(SettingsViewModel::rawValue(category));
        QCOMPARE(raw, QStringList({"Preferences", "Experimental", "Permissions", "About"}));
    }

    void categoryFromRawValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<Category>>("category");
        QTest::newRow("Preferences") << "Preferences" << std::optional(Category::preferences);
        QTest::newRow("About") << "About" << std::optional(Category::about);
        QTest::newRow("lower case") << "preferences" << std::optional<Category>();
        QTest::newRow("trailing space") << "About " << std::optional<Category>();
        QTest::newRow("empty") << "" << std::optional<Category>();
        QTest::newRow("theme name") << "Automatic" << std::optional<Category>();
    }
    void categoryFromRawValue()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<Category>, category);
        QCOMPARE(SettingsViewModel::categoryFromRawValue(text), category);
    }

    void selectedCategorySignalsOnlyChanges()
    {
        TempSettings settings;
        SettingsViewModel model(settings.store());
        QCOMPARE(model.selectedCategory(), Category::preferences);
        QSignalSpy spy(&model, &SettingsViewModel::selectedCategoryChanged);
        model.setSelectedCategory(Category::preferences);
        QCOMPARE(spy.size(), 0);
        model.setSelectedCategory(Category::about);
        model.setSelectedCategory(Category::about);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(model.selectedCategory(), Category::about);
    }

    void applyTheme_data()
    {
        QTest::addColumn<Theme>("theme");
        QTest::addColumn<bool>("darkAppearance");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("light") << Theme::light << true << QStringList{"Light"};
        QTest::newRow("dark") << Theme::dark << false << QStringList{"Dark"};
        QTest::newRow("automatic while dark") << Theme::system << true << QStringList{"Dark", "Automatic"};
        QTest::newRow("automatic while light") << Theme::system << false << QStringList{"Light", "Automatic"};
    }
    void applyTheme()
    {
        QFETCH(Theme, theme);
        QFETCH(bool, darkAppearance);
        QFETCH(QStringList, written);
        TempSettings settings;
        ThemeRecorder recorder(settings.store());
        SettingsViewModel model(settings.store(), [darkAppearance] { return darkAppearance; });

        model.applyTheme(theme);
        QCOMPARE(recorder.values.first(), written.first());
        QTRY_COMPARE(recorder.values, written);
        settle();
        QCOMPARE(recorder.values, written);
    }

    void automaticWithoutAppearanceCountsAsLight()
    {
        TempSettings settings;
        ThemeRecorder recorder(settings.store());
        SettingsViewModel model(settings.store());
        model.applyTheme(Theme::system);
        QTRY_COMPARE(recorder.values, QStringList({"Light", "Automatic"}));
    }

    // The delayed "Automatic" must not overwrite a choice the user made right after it.
    void laterChoiceWinsOverPendingAutomatic()
    {
        TempSettings settings;
        SettingsViewModel model(settings.store(), [] { return false; });
        model.applyTheme(Theme::system);
        model.applyTheme(Theme::dark);
        settle();
        QCOMPARE(settings->selectedTheme(), QStringLiteral("Dark"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsViewModel)
#include "tst_settingsviewmodel.moc"
