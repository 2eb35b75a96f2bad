#include "TestFiles.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using Claim = SingleInstance::Claim;

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString settings() const { return m_dir.filePath(QStringLiteral("home/.config/Norvelle/Norvelle.conf")); }

private Q_SLOTS:
    // A second start on the same settings finds the first, asks it to come forward and ends;
    // once the first has ended, the next start runs.
    void secondStartHandsOver()
    {
        auto first = std::make_unique<SingleInstance>(settings());
        QCOMPARE(first->claim(), Claim::claimed);
        QSignalSpy raised(first.get(), &SingleInstance::activationRequested);

        SingleInstance second(settings());
        QCOMPARE(second.claim(), Claim::heldElsewhere);
        QVERIFY(second.requestActivation());
        QTRY_COMPARE(raised.count(), 1);
        SingleInstance third(settings());
        QCOMPARE(third.claim(), Claim::heldElsewhere);
        QVERIFY(third.requestActivation());
        QTRY_COMPARE(raised.count(), 2);

        first.reset();
        QVERIFY(!second.requestActivation()); // nobody to ask
        QCOMPARE(second.claim(), Claim::claimed);
    }

    // Different settings files run side by side, however alike their names.
    void otherSettingsRunBesideIt()
    {
        SingleInstance first(settings());
        SingleInstance other(m_dir.filePath(QStringLiteral("other/.config/Norvelle/Norvelle.conf")));
        QCOMPARE(first.claim(), Claim::claimed);
        QCOMPARE(other.claim(), Claim::claimed);
        Paths paths = Paths::underRoot(m_dir.path());
        QCOMPARE(SingleInstance::settingsFileOf(paths), paths.settingsFile);
    }

    // A copy that was killed leaves its lock behind; the next start takes it over.
    void staleLockIsTakenOver()
    {
        SingleInstance killed(settings());
        QVERIFY(test::writeStaleLock(killed.lockPath()));
        QFile leftover(killed.requestPath());
        QVERIFY(leftover.open(QIODevice::WriteOnly) && leftover.write("activate\n") > 0);
        leftover.close();

        SingleInstance next(settings());
        QCOMPARE(next.claim(), Claim::claimed);
        QSignalSpy raised(&next, &SingleInstance::activationRequested);
        // The dead copy's request is not one for this run.
        QCOMPARE(QFileInfo(next.requestPath()).size(), 0);
        QVERIFY(SingleInstance(settings()).requestActivation());
        QTRY_COMPARE(raised.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
