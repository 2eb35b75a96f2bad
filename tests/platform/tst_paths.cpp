#include "platform/Paths.h"

#include "TempRoot.h"

#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

class TestPaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void underRoot()
    {
        const Paths p = Paths::underRoot("/tmp/world/");
        QCOMPARE(p.applicationsFolder, "/tmp/world/Applications");
        QCOMPARE(p.brewCandidates.first(), "/tmp/world/opt/homebrew/bin/brew");
        QCOMPARE(p.caskroomFolders.last(), "/tmp/world/usr/local/Caskroom");
        QCOMPARE(p.desktopFolder, "/tmp/world/home/Desktop");
        QCOMPARE(p.supportFolder, "/tmp/world/home/Library/Application Support/Norvelle");
    }

    void environmentOverrides()
    {
        QProcessEnvironment env;
        env.insert("NORVELLE_ROOT", "/w");
        env.insert("NORVELLE_MAS", "/a/mas:/b/mas");
        env.insert("NORVELLE_HOME", "/h");
        env.insert("NORVELLE_SUPPORT_DIR", "/support");
        env.insert("NORVELLE_CASK_CATALOGUE_URL", "http://127.0.0.1:8080/api/cask.json");
        env.insert("NORVELLE_ITUNES_LOOKUP_URL", "file:///etc/passwd");
        QStringList problems;
        const Paths p = Paths::fromEnvironment(env, &problems);
        QCOMPARE(p.applicationsFolder, "/w/Applications");
        QCOMPARE(p.brewCandidates.first(), "/w/opt/homebrew/bin/brew");
        QCOMPARE(p.masCandidates, (QStringList{"/a/mas", "/b/mas"}));
        QCOMPARE(p.homeFolder, "/h");
        QCOMPARE(p.desktopFolder, "/h/Desktop");
        QCOMPARE(p.supportFolder, "/support");
        QCOMPARE(p.caskCatalogueUrl.toString(), "http://127.0.0.1:8080/api/cask.json");
        QCOMPARE(p.iTunesLookupUrl.toString(), "https://itunes.apple.com/lookup");
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.first().startsWith("NORVELLE_ITUNES_LOOKUP_URL"));
    }

    void emptyEnvironmentGivesDefaults()
    {
        QCOMPARE(Paths::fromEnvironment(QProcessEnvironment()), Paths::defaults());
    }

    void executables_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("brew");
        QTest::addColumn<bool>("hasBrew");
        QTest::addColumn<QString>("mas");
        QTest::newRow("none") << QStringList() << "usr/local/bin/brew" << false << "";
        QTest::newRow("apple silicon") << QStringList{"opt/homebrew/bin/brew", "opt/homebrew/bin/mas"}
                                       << "opt/homebrew/bin/brew" << true << "opt/homebrew/bin/mas";
        QTest::newRow("intel") << QStringList{"usr/local/bin/brew", "usr/local/bin/mas"}
                               << "usr/local/bin/brew" << true << "usr/local/bin/mas";
        QTest::newRow("both") << QStringList{"usr/local/bin/brew", "opt/homebrew/bin/brew"}
                              << "opt/homebrew/bin/brew" << true << "";
    }
    void executables()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, brew);
        QFETCH(bool, hasBrew);
        QFETCH(QString, mas);
        TempRoot root;
        for (const QString& rel : existing)
            root.writeExecutable(rel, "#!/bin/sh\n");
        const Paths p = root.paths();
        QCOMPARE(p.brewExecutable(), root.filePath(brew));
        QCOMPARE(p.hasBrew(), hasBrew);
        QCOMPARE(p.masExecutable(),
                 mas.isEmpty() ? std::nullopt : std::optional<QString>(root.filePath(mas)));
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
