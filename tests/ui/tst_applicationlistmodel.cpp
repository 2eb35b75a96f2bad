#include "tst_sidebarworld.h"

#include "ui/main/ApplicationListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

// The list model follows the store row by row: rows that stay keep their persistent indexes
// (so the view keeps selection and scroll position), and nothing resets the model.
class TestApplicationListModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsMoveInPlace_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("updated"); // names given an update, which sorts them first
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("reordered") << QString() << QStringList{"Delta"}
                                   << QStringList{"Delta", "Alpha", "Beta", "Gamma"};
        QTest::newRow("rows removed") << QStringLiteral("ta") << QStringList{} << QStringList{"Beta", "Delta"};
        QTest::newRow("removed and reordered") << QStringLiteral("l") << QStringList{"Delta"}
                                               << QStringList{"Delta", "Alpha"};
        QTest::newRow("only others left") << QStringLiteral("mm") << QStringList{} << QStringList{"Gamma"};
    }
    void rowsMoveInPlace()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, updated);
        QFETCH(QStringList, expected);
        MainWindowTestWorld world;
        QList<ApplicationPtr> apps;
        for (const char* name : {"Alpha", "Beta", "Gamma", "Delta"})
            apps.append(MainWindowTestWorld::app(QString::fromLatin1(name)));
        world.store.setApplications(apps);
        ApplicationListModel model(world.store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex gamma = model.index(model.rowOf(apps.at(2)->id()));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        model.setSearchText(search);
        for (const ApplicationPtr& app : apps) {
            if (updated.contains(app->name()))
                app->setUpdate(makeUpdate(QStringLiteral("2.0")));
        }
        QTRY_COMPARE(rowNames(model), expected);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(gamma.isValid(), expected.contains("Gamma"));
        if (gamma.isValid())
            QCOMPARE(gamma.data().toString(), QStringLiteral("Gamma"));

        // And back: every application returns in its place.
        model.setSearchText({});
        QCOMPARE(rowNames(model).size(), 4);
        QCOMPARE(resets.count(), 0);
    }
};

QTEST_MAIN(TestApplicationListModel)
#include "tst_applicationlistmodel.moc"
