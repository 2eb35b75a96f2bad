#include "OnboardingTestWorld.h"

#include "ui/settings/SettingsWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using Category = SettingsViewModel::SettingsCategory;

namespace {

// The darkest pixel's lightness of an icon drawn at 32 points: the colour of its strokes.
int strokeLightness(const QIcon& icon)
{
    const QImage image = icon.pixmap(QSize(32, 32)).toImage();
    int darkest = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200)
                darkest = std::min(darkest, QColor(image.pixel(x, y)).lightness());
    return darkest;
}

} // namespace

class TestSettingsIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every category has its symbol, drawn in the text colour of the appearance in force:
    // switching to dark redraws them light.
    void categorySymbolsFollowTheTheme()
    {
        OnboardingTestWorld world;
        world.settings.store().setSelectedTheme(QStringLiteral("Light"));
        SettingsWindow window(world.settingsViewModel, world.appState, world.settings.store());
        QListWidget* list = window.categoryList();
        QCOMPARE(list->count(), 4);
        for (int row = 0; row < list->count(); ++row)
            QVERIFY(!list->item(row)->icon().isNull());
        QVERIFY(strokeLightness(list->item(0)->icon()) < 100);

        world.settings.store().setSelectedTheme(QStringLiteral("Dark"));
        QTRY_VERIFY(strokeLightness(list->item(0)->icon()) > 150);
    }

    // The About page shows the product's own icon; the Experimental page its flask.
    void pagesShowTheirImages()
    {
        OnboardingTestWorld world;
        world.settingsViewModel.setSelectedCategory(Category::about);
        SettingsWindow window(world.settingsViewModel, world.appState, world.settings.store());
        auto* icon = window.currentPage()->findChild<QLabel*>("applicationIcon");
        QVERIFY(icon && !icon->pixmap().isNull());
        renderBothThemes(&window, QStringLiteral("settings-about"), QSize(700, 350));

        world.settingsViewModel.setSelectedCategory(Category::experimental);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the About page
        auto* image = window.currentPage()->findChild<QLabel*>("experimentalImage");
        QVERIFY(image && !image->pixmap().isNull());
        renderBothThemes(&window, QStringLiteral("settings-experimental"), QSize(700, 350));
    }
};

QTEST_MAIN(TestSettingsIcons)
#include "tst_settingsicons.moc"
