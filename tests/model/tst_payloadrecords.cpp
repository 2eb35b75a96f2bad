#include "model/Cask.h"
#include "model/EnvironmentStatus.h"
#include "model/MAS.h"
#include "model/SparkleInfo.h"

#include <QTest>
#include <functional>

using namespace norvelle;
using CaskChange = std::function<void(Cask&)>;
using MasChange = std::function<void(MAS&)>;
using SparkleChange = std::function<void(SparkleInfo&)>;
using EnvironmentChange = std::function<void(EnvironmentStatus&)>;
Q_DECLARE_METATYPE(CaskChange)
Q_DECLARE_METATYPE(MasChange)
Q_DECLARE_METATYPE(SparkleChange)
Q_DECLARE_METATYPE(EnvironmentChange)

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
    return SparkleInfo{QUrl(QStringLiteral("https://example.org/appcast.xml")), std::nullopt, std::nullopt, true};
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

class TestPayloadRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cask_data()
    {
        QTest::addColumn<CaskChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, CaskChange c, bool equal) { QTest::newRow(name) << c << equal; };
        row("separately built", [](Cask&) {}, true);
        row("token", [](Cask& c) { c.caskName = QStringLiteral("Visual-Studio-Code"); }, false);
        row("current version", [](Cask& c) { c.currentVersion = QStringLiteral("1.90"); }, false);
        row("latest version", [](Cask& c) { c.latestVersion = QStringLiteral("1.92.0"); }, false);
        row("description absent", [](Cask& c) { c.description.reset(); }, false);
        row("description empty", [](Cask& c) { c.description = QString(); }, false);
        row("homepage absent", [](Cask& c) { c.homepage.reset(); }, false);
        row("homepage other", [](Cask& c) { c.homepage = QUrl(QStringLiteral("https://code.example.com/x")); }, false);
        row("warnings swapped", [](Cask& c) { std::swap(c.warnings[0], c.warnings[1]); }, false);
        row("warnings one more", [](Cask& c) { c.warnings.append(QString()); }, false);
        row("adopted", [](Cask& c) { c.adopted = false; }, false);
        row("adoptable", [](Cask& c) { c.adoptable = true; }, false);
        row("requires sudo", [](Cask& c) { c.requiresSudo = true; }, false);
        row("artifacts swapped", [](Cask& c) { std::swap(c.artifacts[0], c.artifacts[1]); }, false);
        row("deprecated", [](Cask& c) { c.deprecated = true; }, false);
        row("disabled", [](Cask& c) { c.disabled = true; }, false);
        // The element boundaries take part: ["ab"] and ["a","b"] must hash apart too.
        row("warnings regrouped", [](Cask& c) { c.warnings = {QStringLiteral("firstsecond")}; }, false);
    }
    void cask()
    {
        QFETCH(CaskChange, change);
        QFETCH(bool, equal);
        checkEquality(&baseCask, change, equal);
    }

    void mas_data()
    {
        QTest::addColumn<MasChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, MasChange c, bool equal) { QTest::newRow(name) << c << equal; };
        row("both sizes absent", [](MAS&) {}, true);
        row("size zero", [](MAS& m) { m.fileSizeBytes = 0; }, false);
        row("app id", [](MAS& m) { m.appID = QStringLiteral("497799836"); }, false);
        row("store version", [](MAS& m) { m.storeVersion = QStringLiteral("15.3"); }, false);
        row("installed version", [](MAS& m) { m.installedVersion = QStringLiteral("15.4"); }, false);
        row("bundle id", [](MAS& m) { m.bundleIdentifier = QStringLiteral("com.apple.dt.xcode"); }, false);
    }
    void mas()
    {
        QFETCH(MasChange, change);
        QFETCH(bool, equal);
        checkEquality(&baseMas, change, equal);
    }

    void sparkle_data()
    {
        QTest::addColumn<SparkleChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, SparkleChange c, bool equal) { QTest::newRow(name) << c << equal; };
        row("same feed text", [](SparkleInfo& s) { s.feedURL = QUrl(QStringLiteral("https://example.org/appcast.xml")); },
            true);
        row("feed", [](SparkleInfo& s) { s.feedURL = QUrl(QStringLiteral("https://example.org/beta.xml")); }, false);
        row("signature", [](SparkleInfo& s) { s.signature = QString(); }, false);
        row("notes url", [](SparkleInfo& s) { s.releaseNotesURL = QUrl(QStringLiteral("https://example.org/n")); },
            false);
        row("automatic", [](SparkleInfo& s) { s.supportsAutomaticUpdates = false; }, false);
    }
    void sparkle()
    {
        QFETCH(SparkleChange, change);
        QFETCH(bool, equal);
        checkEquality(&baseSparkle, change, equal);
    }

    void environment_data()
    {
        QTest::addColumn<EnvironmentChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, EnvironmentChange c, bool equal) { QTest::newRow(name) << c << equal; };
        row("all false", [](EnvironmentStatus&) {}, true);
        row("path present", [](EnvironmentStatus& e) { e.homebrewPath = QStringLiteral("/usr/local/bin/brew"); },
            false);
        row("path empty", [](EnvironmentStatus& e) { e.homebrewPath = QString(); }, false);
        row("homebrew", [](EnvironmentStatus& e) { e.hasHomebrew = true; }, false);
        row("mas", [](EnvironmentStatus& e) { e.hasMAS = true; }, false);
        row("network", [](EnvironmentStatus& e) { e.hasNetwork = true; }, false);
    }
    void environment()
    {
        QFETCH(EnvironmentChange, change);
        QFETCH(bool, equal);
        checkEquality(&baseEnvironment, change, equal);
    }
};

QTEST_GUILESS_MAIN(TestPayloadRecords)
#include "tst_payloadrecords.moc"
