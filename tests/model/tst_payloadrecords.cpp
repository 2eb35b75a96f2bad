#include "model/Cask.h"
#include "model/EnvironmentStatus.h"
#include "model/MAS.h"
#include "model/SparkleInfo.h"

#include <QTest>
#include <functional>

using namespace norvelle;
using Check = std::function<void()>;
Q_DECLARE_METATYPE(Check)

namespace {

Cask baseCask()
{
    return Cask{QStringLiteral("visual-studio-code"),
                QStringLiteral("1.90.0"),
                QStringLiteral("1.91.0"),
                QStringLiteral("Code editor"),
                QUrl(QStringLiteral("https://code.example.com/")),
                {QStringLiteral("first"), QStringLiteral("second")},
                true,
                false,
                false,
                {QStringLiteral("Code.app"), QStringLiteral("Code Helper.app")},
                false,
                false};
}

MAS baseMas()
{
    return MAS{QStringLiteral("497799835"), QStringLiteral("15.4"), QStringLiteral("15.3"),
               QStringLiteral("com.apple.dt.Xcode"), std::nullopt};
}

SparkleInfo baseSparkle()
{
    return SparkleInfo{QUrl(QStringLiteral("https://example.org/appcast.xml")), std::nullopt, std::nullopt,
                       true};
}

// Compares a base record with a changed copy both ways and checks that equal
// records, built separately, hash alike.
template <typename Record, typename Change>
void checkEquality(Record (*make)(), const Change& change, bool equal)
{
    const Record a = make();
    Record b = make();
    change(b);
    QCOMPARE(a == b, equal);
    QCOMPARE(b == a, equal);
    if (equal)
        QCOMPARE(qHash(a, 42), qHash(b, 42));
    else
        QVERIFY(qHash(a, 42) != qHash(b, 42)); // a collision here hints at a skipped field
}

EnvironmentStatus baseEnvironment()
{
    return EnvironmentStatus{false, false, false, std::nullopt};
}

} // namespace

// One row: build the base record and a changed copy of it, and expect them equal or not.
template <typename Record>
void row(const char* name, Record (*make)(), bool equal, std::function<void(Record&)> change)
{
    QTest::newRow(name) << Check([=] { checkEquality(make, change, equal); });
}

class TestPayloadRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void equality_data()
    {
        QTest::addColumn<Check>("check");
        row<Cask>("cask: separately built", &baseCask, true, [](Cask&) {});
        row<Cask>("cask: token", &baseCask, false,
                  [](Cask& c) { c.caskName = QStringLiteral("Visual-Studio-Code"); });
        row<Cask>("cask: current version", &baseCask, false,
                  [](Cask& c) { c.currentVersion = QStringLiteral("1.90"); });
        row<Cask>("cask: latest version", &baseCask, false,
                  [](Cask& c) { c.latestVersion = QStringLiteral("1.92.0"); });
        row<Cask>("cask: description absent", &baseCask, false, [](Cask& c) { c.description.reset(); });
        row<Cask>("cask: description empty", &baseCask, false, [](Cask& c) { c.description = QString(); });
        row<Cask>("cask: homepage absent", &baseCask, false, [](Cask& c) { c.homepage.reset(); });
        row<Cask>("cask: homepage other", &baseCask, false,
                  [](Cask& c) { c.homepage = QUrl(QStringLiteral("https://code.example.com/x")); });
        row<Cask>("cask: warnings swapped", &baseCask, false,
                  [](Cask& c) { std::swap(c.warnings[0], c.warnings[1]); });
        row<Cask>("cask: warnings one more", &baseCask, false, [](Cask& c) { c.warnings.append(QString()); });
        // The element boundaries take part: ["ab"] and ["a","b"] must hash apart too.
        row<Cask>("cask: warnings regrouped", &baseCask, false,
                  [](Cask& c) { c.warnings = {QStringLiteral("firstsecond")}; });
        row<Cask>("cask: adopted", &baseCask, false, [](Cask& c) { c.adopted = false; });
        row<Cask>("cask: adoptable", &baseCask, false, [](Cask& c) { c.adoptable = true; });
        row<Cask>("cask: requires sudo", &baseCask, false, [](Cask& c) { c.requiresSudo = true; });
        row<Cask>("cask: artifacts swapped", &baseCask, false,
                  [](Cask& c) { std::swap(c.artifacts[0], c.artifacts[1]); });
        row<Cask>("cask: deprecated", &baseCask, false, [](Cask& c) { c.deprecated = true; });
        row<Cask>("cask: disabled", &baseCask, false, [](Cask& c) { c.disabled = true; });

        row<MAS>("mas: both sizes absent", &baseMas, true, [](MAS&) {});
        row<MAS>("mas: size zero", &baseMas, false, [](MAS& m) { m.fileSizeBytes = 0; });
        row<MAS>("mas: app id", &baseMas, false, [](MAS& m) { m.appID = QStringLiteral("497799836"); });
        row<MAS>("mas: store version", &baseMas, false,
                 [](MAS& m) { m.storeVersion = QStringLiteral("15.3"); });
        row<MAS>("mas: installed version", &baseMas, false,
                 [](MAS& m) { m.installedVersion = QStringLiteral("15.4"); });
        row<MAS>("mas: bundle id", &baseMas, false,
                 [](MAS& m) { m.bundleIdentifier = QStringLiteral("com.apple.dt.xcode"); });

        row<SparkleInfo>("sparkle: same feed text", &baseSparkle, true, [](SparkleInfo& s) {
            s.feedURL = QUrl(QStringLiteral("https://example.org/appcast.xml"));
        });
        row<SparkleInfo>("sparkle: feed", &baseSparkle, false, [](SparkleInfo& s) {
            s.feedURL = QUrl(QStringLiteral("https://example.org/beta.xml"));
        });
        row<SparkleInfo>("sparkle: signature", &baseSparkle, false,
                         [](SparkleInfo& s) { s.signature = QString(); });
        row<SparkleInfo>("sparkle: notes url", &baseSparkle, false, [](SparkleInfo& s) {
            s.releaseNotesURL = QUrl(QStringLiteral("https://example.org/n"));
        });
        row<SparkleInfo>("sparkle: automatic", &baseSparkle, false,
                         [](SparkleInfo& s) { s.supportsAutomaticUpdates = false; });

        using Env = EnvironmentStatus;
        row<Env>("environment: all false", &baseEnvironment, true, [](Env&) {});
        row<Env>("environment: path present", &baseEnvironment, false,
                 [](Env& e) { e.homebrewPath = QStringLiteral("/usr/local/bin/brew"); });
        row<Env>("environment: path empty", &baseEnvironment, false,
                 [](Env& e) { e.homebrewPath = QString(); });
        row<Env>("environment: homebrew", &baseEnvironment, false, [](Env& e) { e.hasHomebrew = true; });
        row<Env>("environment: mas", &baseEnvironment, false, [](Env& e) { e.hasMAS = true; });
        row<Env>("environment: network", &baseEnvironment, false, [](Env& e) { e.hasNetwork = true; });
    }
    void equality()
    {
        QFETCH(Check, check);
        check();
    }
};

QTEST_GUILESS_MAIN(TestPayloadRecords)
#include "tst_payloadrecords.moc"
