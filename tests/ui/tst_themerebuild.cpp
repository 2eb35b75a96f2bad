#include "TempSettings.h"

#include "platform/SettingsStore.h"
#include "ui/app/AppTheme.h"

#include <QEvent>
#include <QTest>
#include <QWidget>

using namespace norvelle;
using namespace norvelle::test;

namespace {

// Like a list that builds its rows again in the new colours: the old rows are deleted while
// the theme is still telling the application's widgets about the change.
class RowsRebuiltOnPalette : public QWidget {
public:
    RowsRebuiltOnPalette() { buildRows(); }
    int rebuilds = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange) {
            ++rebuilds;
            buildRows();
        }
        return QWidget::event(event);
    }

private:
    void buildRows()
    {
        qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
        for (int row = 0; row < 60; ++row)
            new QWidget(this);
    }
};

} // namespace

class TestThemeRebuild : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void viewsMayRebuildWhileTheThemeChanges_data()
    {
        QTest::addColumn<QStringList>("themes");
        QTest::newRow("to dark") << QStringList{"Dark"};
        QTest::newRow("to dark and back") << QStringList{"Dark", "Light"};
    }

    void viewsMayRebuildWhileTheThemeChanges()
    {
        QFETCH(QStringList, themes);
        TempSettings settings;
        AppTheme theme(settings.store());
        RowsRebuiltOnPalette first;
        RowsRebuiltOnPalette second;
        for (const QString& stored : themes)
            settings.store().setSelectedTheme(stored);
        QCOMPARE(theme.appliedTheme(), themes.last() == QLatin1String("Dark") ? Theme::dark : Theme::light);
        QVERIFY(first.rebuilds >= themes.size());
        QVERIFY(second.rebuilds >= themes.size());
    }
};

QTEST_MAIN(TestThemeRebuild)
#include "tst_themerebuild.moc"
