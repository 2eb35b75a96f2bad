#include "model/Theme.h"

#include <QTest>

using namespace norvelle;

class TestTheme : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rawValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("exact"); // -1: no value
        QTest::newRow("Automatic") << "Automatic" << int(Theme::system);
        QTest::newRow("Light") << "Light" << int(Theme::light);
        QTest::newRow("Dark") << "Dark" << int(Theme::dark);
        QTest::newRow("dark") << "dark" << -1;
        QTest::newRow("DARK") << "DARK" << -1;
        QTest::newRow("System") << "System" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void rawValues()
    {
        QFETCH(QString, stored);
        QFETCH(int, exact);
        const auto theme = themeFromRawValue(stored);
        QCOMPARE(theme.has_value(), exact >= 0);
        QCOMPARE(int(themeFromSetting(stored)), exact >= 0 ? exact : int(Theme::system));
        if (theme) {
            QCOMPARE(toRawValue(*theme), stored);
            QCOMPARE(themeId(*theme), stored);
            QCOMPARE(qHash(*theme, 4), qHash(stored, 4));
        }
    }
};

QTEST_GUILESS_MAIN(TestTheme)
#include "tst_theme.moc"
