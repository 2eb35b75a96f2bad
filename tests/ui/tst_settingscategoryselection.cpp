#include "OnboardingTestWorld.h"

#include "ui/settings/SettingsWindow.h"

#include <QListWidget>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

// The lightness of the most opaque stroke pixels of a category symbol in one icon mode.
int strokeLightness(const QIcon& icon, QIcon::Mode mode)
{
    const QImage image = icon.pixmap(QSize(32, 32), mode).toImage();
    int sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 250) {
                sum += QColor(image.pixel(x, y)).lightness();
                ++count;
            }
    return count ? sum / count : -1;
}

} // namespace

// The selected category's symbol is drawn like its title, in the selection's text colour.
class TestSettingsCategorySelection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selectedSymbolTakesTheSelectionInk_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("light") << QStringLiteral("Light");
        QTest::newRow("dark") << QStringLiteral("Dark");
    }

    void selectedSymbolTakesTheSelectionInk()
    {
        QFETCH(QString, theme);
        OnboardingTestWorld world;
        world.settings.store().setSelectedTheme(theme);
        SettingsWindow window(world.settingsViewModel, world.appState, world.settings.store());
        QListWidget* list = window.categoryList();
        const QPalette palette = list->palette();
        for (int row = 0; row < list->count(); ++row) {
            const QIcon icon = list->item(row)->icon();
            QVERIFY2(qAbs(strokeLightness(icon, QIcon::Selected) -
                          palette.color(QPalette::HighlightedText).lightness()) < 40,
                     qPrintable(list->item(row)->text()));
            QVERIFY2(qAbs(strokeLightness(icon, QIcon::Normal) - palette.color(QPalette::WindowText).lightness()) <
                         40,
                     qPrintable(list->item(row)->text()));
        }
    }
};

QTEST_MAIN(TestSettingsCategorySelection)
#include "tst_settingscategoryselection.moc"
