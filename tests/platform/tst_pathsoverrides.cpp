#include "platform/Paths.h"

#include <QTest>

using namespace norvelle;

// The settings file and the extra CA: a world moved under a root or home never shares the
// user's preferences, and each can still be named on its own.
class TestPathsOverrides : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settingsAndCa_data()
    {
        QTest::addColumn<QStringList>("variables"); // NAME=value
        QTest::addColumn<QString>("settingsFile");
        QTest::addColumn<QString>("caFile");
        QTest::newRow("nothing set") << QStringList{} << ""
                                     << "";
        QTest::newRow("root") << QStringList{"NORVELLE_ROOT=/w"} << "/w/home/.config/Norvelle/Norvelle.conf"
                              << "";
        QTest::newRow("home inside a root")
            << QStringList{"NORVELLE_ROOT=/w", "NORVELLE_HOME=/h"} << "/h/.config/Norvelle/Norvelle.conf"
            << "";
        QTest::newRow("file named") << QStringList{"NORVELLE_ROOT=/w", "NORVELLE_SETTINGS_FILE=/s.ini"}
                                    << "/s.ini"
                                    << "";
        QTest::newRow("ca only") << QStringList{"NORVELLE_CA_FILE=/ca.pem"} << ""
                                 << "/ca.pem";
        QTest::newRow("empty values ignored")
            << QStringList{"NORVELLE_SETTINGS_FILE=", "NORVELLE_CA_FILE="} << ""
            << "";
    }

    void settingsAndCa()
    {
        QFETCH(QStringList, variables);
        QFETCH(QString, settingsFile);
        QFETCH(QString, caFile);
        QProcessEnvironment environment;
        for (const QString& variable : variables)
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        const Paths paths = Paths::fromEnvironment(environment);
        QCOMPARE(paths.settingsFile, settingsFile);
        QCOMPARE(paths.caFile, caFile);
    }
};

QTEST_GUILESS_MAIN(TestPathsOverrides)
#include "tst_pathsoverrides.moc"
