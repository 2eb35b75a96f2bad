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

class TestPayloadRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cask_data()
    {
        QTest::addColumn<CaskChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, bool equal, CaskChange c) { QTest::newRow(name) << c << equal; };
        row("separately built", true, [](Cask&) {});
        row("token", false, [](Cask& c) { c.caskName = QStringLiteral("Visual-Studio-Code"); });
        row("current version", false, [](Cask& c) { c.currentVersion = QStringLiteral("1.90"); });
        row("latest version", false, [](Cask& c) { c.latestVersion = QStringLiteral("1.92.0"); });
        row("description absent", false, [](Cask& c) { c.description.reset(); });
        row("description empty", false, [](Cask& c) { c.description = QString(); });
        row("homepage absent", false, [](Cask& c) { c.homepage.reset(); });
        row("homepage other", false,
            [](Cask& c) { c.homepage = QUrl(QStringLiteral("https://code.example.com/x")); });
        row("warnings swapped", false, [](Cask& c) { std::swap(c.warnings[0], c.warnings[1]); });
        row("warnings one more", false, [](Cask& c) { c.warnings.append(QString()); });
        row("adopted", false, [](Cask& c) { c.adopted = false; });
        row("adoptable", false, [](Cask& c) { c.adoptable = true; });
        row("requires sudo", false, [](Cask& c) { c.requiresSudo = true; });
        row("artifacts swapped", false, [](Cask& c) { std::swap(c.artifacts[0], c.artifacts[1]); });
        row("deprecated", false, [](Cask& c) { c.deprecated = true; });
        row("disabled", false, [](Cask& c) { c.disabled = true; });
        // The element boundaries take part: ["ab"] and ["a","b"] must hash apart too.
        row("warnings regrouped", false, [](Cask& c) { c.warnings = {QStringLiteral("firstsecond")}; });
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
        auto row = [](const char* name, bool equal, MasChange c) { QTest::newRow(name) << c << equal; };
        row("both sizes absent", true, [](MAS&) {});
        row("size zero", false, [](MAS& m) { m.fileSizeBytes = 0; });
        row("app id", false, [](MAS& m) { m.appID = QStringLiteral("497799836"); });
        row("store version", false, [](MAS& m) { m.storeVersion = QStringLiteral("15.3"); });
        row("installed version", false, [](MAS& m) { m.installedVersion = QStringLiteral("15.4"); });
        row("bundle id", false, [](MAS& m) { m.bundleIdentifier = QStringLiteral("com.apple.dt.xcode"); });
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
        auto row = [](const char* name, bool equal, SparkleChange c) { QTest::newRow(name) << c << equal; };
        row("same feed text", true,
            [](SparkleInfo& s) { s.feedURL = QUrl(QStringLiteral("https://example.org/appcast.xml")); });
        row("feed", false,
            [](SparkleInfo& s) { s.feedURL = QUrl(QStringLiteral("https://example.org/beta.xml")); });
        row("signature", false, [](SparkleInfo& s) { s.signature = QString(); });
        row("notes url", false,
            [](SparkleInfo& s) { s.releaseNotesURL = QUrl(QStringLiteral("https://example.org/n")); });
        row("automatic", false, [](SparkleInfo& s) { s.supportsAutomaticUpdates = false; });
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
        auto row = [](const char* name, bool equal, EnvironmentChange c) {
            QTest::newRow(name) << c << equal;
        };
        row("all false", true, [](EnvironmentStatus&) {});
        row("path present", false,
            [](EnvironmentStatus& e) { e.homebrewPath = QStringLiteral("/usr/local/bin/brew"); });
        row("path empty", false, [](EnvironmentStatus& e) { e.homebrewPath = QString(); });
        row("homebrew", false, [](EnvironmentStatus& e) { e.hasHomebrew = true; });
        row("mas", false, [](EnvironmentStatus& e) { e.hasMAS = true; });
        row("network", false, [](EnvironmentStatus& e) { e.hasNetwork = true; });
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
