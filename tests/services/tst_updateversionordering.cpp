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
        QTest::newRow("latest beats a number") << "latest"
                                               << "99.0" << any << any << 1;
        QTest::newRow("a number loses to latest") << "1.0"
                                                  << "latest" << any << any << -1;
        QTest::newRow("latest twice: Homebrew first") << "latest"
                                                      << "latest" << Source::homebrew << Source::sparkle << 1;
        QTest::newRow("latest twice: store and Sparkle")
            << "latest"
            << "latest" << Source::appStore << Source::sparkle << 0;
        QTest::newRow("Latest is plain text") << "Latest"
                                              << "1.0" << any << any << 1;
        QTest::newRow("latest with a build is plain text") << "latest,5"
                                                           << "9" << any << any << 1;
        QTest::newRow("digit runs by value") << "1.9"
                                             << "1.10" << any << any << -1;
        QTest::newRow("builds by value") << "2.0,100"
                                         << "2.0,99" << any << any << 1;
        QTest::newRow("only B has a build") << "2.0"
                                            << "2.0,1" << any << any << -1;
        QTest::newRow("only A has a build") << "2.0,1"
                                            << "2.0" << any << any << 1;
        QTest::newRow("tie: Sparkle against Homebrew") << "2.0"
                                                       << "2.0" << Source::sparkle << Source::homebrew << -1;
        QTest::newRow("tie: Homebrew against Sparkle") << "2.0"
                                                       << "2.0" << Source::homebrew << Source::sparkle << 1;
        QTest::newRow("tie: store against Homebrew") << "2.0"
                                                     << "2.0" << Source::appStore << Source::homebrew << 0;
        QTest::newRow("equal builds fall to the sources")
            << "2.0,7"
            << "2.0,7" << Source::homebrew << Source::sparkle << 1;
        QTest::newRow("the version decides before the build") << "2.1,1"
                                                              << "2.0,900" << any << any << 1;
        QTest::newRow("case is significant") << "1.0b"
                                             << "1.0B" << any << any << 1;
        QTest::newRow("leading zeros are the same number") << "1.01"
                                                           << "1.1" << any << any << 0;
        QTest::newRow("trailing comma is no build") << "6.2,"
                                                    << "6.2" << any << any << 1;
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(Source, sourceA);
        QFETCH(Source, sourceB);
        QFETCH(int, expected);
        QCOMPARE(sign(VersionOrdering::compareVersions(a, b, sourceA, sourceB)), expected);
    }

    void splitVersionAndBuild_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("build"); // "-" for none
        QTest::newRow("version and build") << "6.2,1234"
                                           << "6.2"
                                           << "1234";
        QTest::newRow("plain") << "6.2"
                               << "6.2"
                               << "-";
        QTest::newRow("trailing comma") << "6.2,"
                                        << "6.2,"
                                        << "-";
        QTest::newRow("further commas stay in the build") << "1.0,2,3"
                                                          << "1.0"
                                                          << "2,3";
        QTest::newRow("leading comma") << ",5,6"
                                       << "5"
                                       << "6";
        QTest::newRow("leading comma, one piece") << ",5"
                                                  << ",5"
                                                  << "-";
        QTest::newRow("empty") << ""
                               << ""
                               << "-";
        QTest::newRow("commas only") << ",,"
                                     << ",,"
                                     << "-";
        QTest::newRow("double comma after the version") << "1.0,,3"
                                                        << "1.0"
                                                        << ",3";
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
        QCOMPARE(VersionOrdering::sourceRank(Source::appStore), 1);
        QCOMPARE(VersionOrdering::sourceRank(Source::homebrew), 2);
        QCOMPARE(VersionOrdering::sourceRank(Source::sparkle), 3);
        QCOMPARE(VersionOrdering::sourceRank(Source::other), 4);
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
