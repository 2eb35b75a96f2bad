#include "services/UpdateService.h"
#include "services/VersionOrdering.h"

#include <QTest>

using namespace norvelle;
using Source = Update::Source;
using Status = UpdateProgress::Status;

Q_DECLARE_METATYPE(Update::Source)
Q_DECLARE_METATYPE(UpdateProgress::Status)

namespace {

int sign(std::weak_ordering order)
{
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

} // namespace

class TestVersionOrdering : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<Source>("sourceA");
        QTest::addColumn<Source>("sourceB");
        QTest::addColumn<int>("expected"); // -1 A older, 0 same, 1 A newer
        const Source any = Source::other;
        auto row = [](const char* name, const QString& a, const QString& b, Source sourceA, Source sourceB,
                      int expected) { QTest::newRow(name) << a << b << sourceA << sourceB << expected; };
        row("latest beats a number", "latest", "99.0", any, any, 1);
        row("latest twice: Homebrew first", "latest", "latest", Source::homebrew, Source::sparkle, 1);
        row("latest twice: store and Sparkle", "latest", "latest", Source::appStore, Source::sparkle, 0);
        row("Latest is plain text", "Latest", "1.0", any, any, 1);
        row("latest with a build is plain text", "latest,5", "9", any, any, 1);
        row("digit runs by value", "1.9", "1.10", any, any, -1);
        row("builds by value", "2.0,100", "2.0,99", any, any, 1);
        row("only B has a build", "2.0", "2.0,1", any, any, -1);
        row("tie: Sparkle against Homebrew", "2.0", "2.0", Source::sparkle, Source::homebrew, -1);
        row("tie: store against Homebrew", "2.0", "2.0", Source::appStore, Source::homebrew, 0);
        row("equal builds fall to the sources", "2.0,7", "2.0,7", Source::homebrew, Source::sparkle, 1);
        row("the version decides before the build", "2.1,1", "2.0,900", any, any, 1);
        row("case is significant", "1.0b", "1.0B", any, any, 1);
        row("leading zeros are the same number", "1.01", "1.1", any, any, 0);
        row("trailing comma is no build", "6.2,", "6.2", any, any, 1);
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(Source, sourceA);
        QFETCH(Source, sourceB);
        QFETCH(int, expected);
        QCOMPARE(sign(VersionOrdering::compareVersions(a, b, sourceA, sourceB)), expected);
        // Antisymmetric, so each pair is listed one way round.
        QCOMPARE(sign(VersionOrdering::compareVersions(b, a, sourceB, sourceA)), -expected);
    }

    void splitVersionAndBuild_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("build"); // "-" for none
        auto row = [](const char* name, const QString& input, const QString& version, const QString& build) {
            QTest::newRow(name) << input << version << build;
        };
        row("version and build", "6.2,1234", "6.2", "1234");
        row("plain", "6.2", "6.2", "-");
        row("trailing comma", "6.2,", "6.2,", "-");
        row("further commas stay in the build", "1.0,2,3", "1.0", "2,3");
        row("leading comma", ",5,6", "5", "6");
        row("leading comma, one piece", ",5", ",5", "-");
        row("empty", "", "", "-");
        row("commas only", ",,", ",,", "-");
        row("double comma after the version", "1.0,,3", "1.0", ",3");
    }
    void splitVersionAndBuild()
    {
        QFETCH(QString, input);
        QFETCH(QString, version);
        QFETCH(QString, build);
        const VersionOrdering::VersionAndBuild split = VersionOrdering::splitVersionAndBuild(input);
        QCOMPARE(split.version, version);
        QCOMPARE(split.build.value_or(QStringLiteral("-")), build);
    }

    void sourcePriority()
    {
        const QList<Source> all{Source::homebrew, Source::sparkle, Source::appStore, Source::other};
        for (const Source a : all) {
            for (const Source b : all) {
                int expected = 0;
                if (a == Source::homebrew && b == Source::sparkle)
                    expected = 1;
                else if (a == Source::sparkle && b == Source::homebrew)
                    expected = -1;
                QCOMPARE(sign(VersionOrdering::compareSourcePriority(a, b)), expected);
            }
        }
        QVERIFY(VersionOrdering::sourceRank(Source::appStore) <
                VersionOrdering::sourceRank(Source::homebrew));
        QVERIFY(VersionOrdering::sourceRank(Source::homebrew) < VersionOrdering::sourceRank(Source::sparkle));
        QVERIFY(VersionOrdering::sourceRank(Source::sparkle) < VersionOrdering::sourceRank(Source::other));
    }

    void lineStatus_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Status>("status");
        QTest::newRow("download before error") << "Error: Download failed" << Status::downloading;
        QTest::newRow("install") << "==> Installing Cask example" << Status::installing;
        QTest::newRow("moving") << "==> Moving App 'Example.app'" << Status::verifying;
        QTest::newRow("verifying") << "Verifying checksum" << Status::verifying;
        QTest::newRow("linking") << "Linking files" << Status::verifying;
        QTest::newRow("complete") << "Upgrade complete" << Status::completed;
        QTest::newRow("success") << "example was successfully upgraded!" << Status::completed;
        QTest::newRow("upper-case fail") << "FAILED" << Status::failed;
        QTest::newRow("error mid-run") << "Warning: error reading cache" << Status::failed;
        QTest::newRow("no keyword") << "==> Upgrading 1 outdated package:" << Status::downloading;
        QTest::newRow("empty") << "" << Status::downloading;
    }
    void lineStatus()
    {
        QFETCH(QString, line);
        QFETCH(Status, status);
        QCOMPARE(UpdateService::updateProgressStatus(line), status);
    }
};

QTEST_GUILESS_MAIN(TestVersionOrdering)
#include "tst_updateversionordering.moc"
