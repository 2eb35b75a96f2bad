#include "SyntheticCatalogue.h"
#include "sources/brew/AdoptionMatcher.h"
#include "sources/brew/CatalogueMaps.h"
#include "sources/brew/CatalogueReader.h"

#include <QJsonDocument>
#include <QtTest>
#include <algorithm>

using namespace norvelle;

namespace {

Cask cask(const QString& token, QStringList artifacts, bool deprecated = false, bool disabled = false)
{
    Cask c;
    c.caskName = token;
    c.currentVersion = c.latestVersion = QStringLiteral("1.0");
    c.artifacts = std::move(artifacts);
    c.deprecated = deprecated;
    c.disabled = disabled;
    return c;
}

QMap<QString, Cask> catalogue(const QList<Cask>& casks)
{
    QMap<QString, Cask> map;
    for (const Cask& c : casks)
        map.insert(c.caskName, c);
    return map;
}

// The search written the slow way: walk every cask, collect candidates, stable sort.
// The per-cask keys are computed once so the walk stays affordable in the test.
struct WalkEntry {
    Cask cask;
    QStringList artifactKeys;
    QString normalisedToken;
};

QList<WalkEntry> walkEntries(const QMap<QString, Cask>& all)
{
    QList<WalkEntry> entries;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        WalkEntry entry{it.value(), {}, it.key().toLower()};
        for (const QString& artifact : it.value().artifacts)
            entry.artifactKeys.append(QString(artifact).remove(QStringLiteral(".app")).toLower());
        entry.normalisedToken.remove(QLatin1Char('-')).remove(QLatin1Char('_')).remove(QLatin1Char('@'));
        entries.append(entry);
    }
    return entries;
}

std::optional<AdoptionMatcher::Match> referenceWalk(const QList<WalkEntry>& all,
                                                    const QSet<QString>& installed, const QString& name)
{
    const QString lowered = name.toLower();
    QString normalised = lowered;
    normalised.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    QList<AdoptionMatcher::Match> candidates;
    for (const WalkEntry& entry : all) {
        const Cask& c = entry.cask;
        if (installed.contains(c.caskName) || c.disabled)
            continue;
        if (entry.artifactKeys.contains(lowered)) {
            candidates.append({c, true, AdoptionMatcher::priorityFor(c, true)});
            continue;
        }
        if (entry.normalisedToken == normalised)
            candidates.append({c, false, AdoptionMatcher::priorityFor(c, false)});
    }
    if (candidates.isEmpty())
        return std::nullopt;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& a, const auto& b) { return a.priority > b.priority; });
    return candidates.first();
}

} // namespace

class TestBrewAdoptionMatcher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ranking_data()
    {
        QTest::addColumn<QList<Cask>>("casks");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("token"); // empty: no match
        QTest::addColumn<bool>("viaArtifact");
        QTest::addColumn<qint64>("priority");

        const QStringList none;
        QTest::newRow("plain beats @beta")
            << QList<Cask>{cask(QStringLiteral("acme@beta"), {QStringLiteral("Acme.app")}),
                           cask(QStringLiteral("acme"), {QStringLiteral("Acme.app")})}
            << none << QStringLiteral("Acme") << QStringLiteral("acme") << true << qint64(1200);
        QTest::newRow("@beta alone still wins")
            << QList<Cask>{cask(QStringLiteral("acme@beta"), {QStringLiteral("Acme.app")})} << none
            << QStringLiteral("Acme") << QStringLiteral("acme@beta") << true << qint64(-1000);
        QTest::newRow("token match after normalising")
            << QList<Cask>{cask(QStringLiteral("acme-writer"), {QStringLiteral("Writer.app")})} << none
            << QStringLiteral("Acme Writer") << QStringLiteral("acme-writer") << false << qint64(700);
        QTest::newRow("deprecated artifact loses to token match")
            << QList<Cask>{cask(QStringLiteral("old-acme"), {QStringLiteral("AcmeWriter.app")}, true),
                           cask(QStringLiteral("acme_writer"), {})}
            << none << QStringLiteral("AcmeWriter") << QStringLiteral("acme_writer") << false << qint64(700);
        QTest::newRow("deprecated alone")
            << QList<Cask>{cask(QStringLiteral("old"), {QStringLiteral("Foo.app")}, true)} << none
            << QStringLiteral("foo") << QStringLiteral("old") << true << qint64(-3800);
        QTest::newRow("artifact and token give one artifact candidate")
            << QList<Cask>{cask(QStringLiteral("foo"), {QStringLiteral("Foo.app")})} << none
            << QStringLiteral("FOO") << QStringLiteral("foo") << true << qint64(1200);
        QTest::newRow("installed never offered")
            << QList<Cask>{cask(QStringLiteral("foo"), {QStringLiteral("Foo.app")}),
                           cask(QStringLiteral("foo@beta"), {QStringLiteral("Foo.app")})}
            << QStringList{QStringLiteral("foo")} << QStringLiteral("Foo") << QStringLiteral("foo@beta")
            << true << qint64(-1000);
        QTest::newRow("disabled never offered")
            << QList<Cask>{cask(QStringLiteral("foo"), {QStringLiteral("Foo.app")}, false, true)} << none
            << QStringLiteral("Foo") << QString() << false << qint64(0);
        QTest::newRow("name keeps its .app")
            << QList<Cask>{cask(QStringLiteral("foo"), {QStringLiteral("Foo.app")})} << none
            << QStringLiteral("Foo.app") << QString() << false << qint64(0);
        QTest::newRow("spaces only go in the token match")
            << QList<Cask>{cask(QStringLiteral("other"), {QStringLiteral("FooBar.app")})} << none
            << QStringLiteral("foo bar") << QString() << false << qint64(0);
        QTest::newRow(".app removed anywhere in the artifact")
            << QList<Cask>{cask(QStringLiteral("x"), {QStringLiteral("Foo.apple.app")})} << none
            << QStringLiteral("fooLE") << QStringLiteral("x") << true << qint64(1200);
        QTest::newRow("upper-case .APP stays in the key")
            << QList<Cask>{cask(QStringLiteral("foo"), {QStringLiteral("Foo.APP")})} << none
            << QStringLiteral("foo.app") << QStringLiteral("foo") << true << qint64(1200);
        QTest::newRow("non-ASCII artifact, .APP kept")
            << QList<Cask>{cask(QStringLiteral("cafe"), {QStringLiteral("Caf\u00e9.APP")})} << none
            << QStringLiteral("CAF\u00c9.app") << QStringLiteral("cafe") << true << qint64(1200);
        QTest::newRow("non-ASCII token and name normalised alike")
            << QList<Cask>{cask(QStringLiteral("\u00fcber-app"), {})} << none
            << QStringLiteral("\u00dcber App") << QStringLiteral("\u00fcber-app") << false << qint64(700);
        QTest::newRow("tie goes to the first in walk order")
            << QList<Cask>{cask(QStringLiteral("zeta"), {QStringLiteral("Same.app")}),
                           cask(QStringLiteral("alpha"), {QStringLiteral("Same.app")})}
            << none << QStringLiteral("same") << QStringLiteral("alpha") << true << qint64(1200);
        QTest::newRow("empty catalogue")
            << QList<Cask>{} << none << QStringLiteral("Foo") << QString() << false << qint64(0);
    }

    void ranking()
    {
        QFETCH(QList<Cask>, casks);
        QFETCH(QStringList, installed);
        QFETCH(QString, name);
        QFETCH(QString, token);
        QFETCH(bool, viaArtifact);
        QFETCH(qint64, priority);
        const AdoptionMatcher matcher(catalogue(casks));
        const QSet<QString> installedSet(installed.cbegin(), installed.cend());
        const auto match = matcher.find(name, [&](const QString& t) { return installedSet.contains(t); });
        QCOMPARE(match.has_value(), !token.isEmpty());
        if (!match)
            return;
        QCOMPARE(match->cask.caskName, token);
        QCOMPARE(match->isExactArtifact, viaArtifact);
        QCOMPARE(match->priority, priority);
    }

    // The keys are made without Unicode tables for ASCII text; they must equal what QString's
    // own lowering and removing make, for any text.
    void keysAsQtMakesThem_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* text : {"Foo.app", "Foo.apple.app", ".app.app", "..appapp", "Foo.APP", "x.ap", "",
                                 "My-App_Beta@2", "A B-C_D", "Caf\u00e9.app", "\u00dcBER-app",
                                 "\u0130stanbul.app", "\u212Aelvin Tool", "Emoji \U0001F600-Pro"})
            QTest::newRow(text) << QString::fromUtf8(text);
    }

    void keysAsQtMakesThem()
    {
        QFETCH(QString, text);
        QCOMPARE(AdoptionMatcher::artifactKey(text), QString(text).remove(QStringLiteral(".app")).toLower());
        QCOMPARE(AdoptionMatcher::normalisedToken(text),
                 text.toLower().remove(u'-').remove(u'_').remove(u'@'));
        QCOMPARE(AdoptionMatcher::normalisedApplicationName(text),
                 text.toLower().remove(u' ').remove(u'-').remove(u'_'));
    }

    // Only the installed casks are marked, and a catalogue marked by an earlier load loses the
    // marks of what is no longer installed.
    void installedCasksAreMarked_data()
    {
        QTest::addColumn<QStringList>("before"); // installed at the earlier load; none: a fresh read
        QTest::addColumn<QStringList>("now");
        QTest::newRow("fresh read") << QStringList{} << QStringList{"b", "c"};
        QTest::newRow("one more installed") << QStringList{"b"} << QStringList{"b", "c"};
        QTest::newRow("one removed") << QStringList{"a", "b"} << QStringList{"b"};
        QTest::newRow("all removed") << QStringList{"a", "c"} << QStringList{};
        QTest::newRow("installed, not in the catalogue") << QStringList{"a"} << QStringList{"x", "a"};
    }

    void installedCasksAreMarked()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, now);
        const QSet<QString> marked(before.cbegin(), before.cend());
        const QSet<QString> installed(now.cbegin(), now.cend());
        QMap<QString, Cask> casks = catalogue({cask("a", {}), cask("b", {}), cask("c", {})});
        if (!marked.isEmpty())
            casks = CatalogueMaps::fromParsed(casks, marked).allCasks;
        const CatalogueMaps maps = CatalogueMaps::fromParsed(casks, installed, nullptr, marked);
        QStringList adopted;
        for (const Cask& c : maps.allCasks)
            if (c.adopted)
                adopted.append(c.caskName);
        QStringList expected;
        for (const QString& token : now)
            if (casks.contains(token))
                expected.append(token);
        expected.sort();
        QCOMPARE(adopted, expected);
        QStringList installedCasks = maps.installedCasks.keys();
        installedCasks.sort();
        QCOMPARE(installedCasks, expected);
        for (const Cask& c : maps.installedCasks)
            QVERIFY(c.adopted);
    }

    // The prepared keys must answer exactly as a walk over every cask would, on a
    // full-size catalogue full of shared names, variants and installed casks.
    void agreesWithAWalkOverTheWholeCatalogue()
    {
        const test::SyntheticCatalogue synthetic(3000, 7);
        QSet<QString> installed;
        for (qsizetype i = 0; i < synthetic.entries().size(); i += 11)
            installed.insert(synthetic.entries().at(i).token);
        const CatalogueMaps maps =
            CatalogueMaps::fromParsed(CatalogueReader::read(synthetic.json()).value(), installed);
        QCOMPARE(maps.installedCasks.size(), installed.size());

        const QList<WalkEntry> walk = walkEntries(maps.allCasks);
        int matched = 0;
        for (const QString& name : synthetic.probeNames()) {
            const auto expected = referenceWalk(walk, installed, name);
            const auto actual =
                maps.matcher->find(name, [&](const QString& t) { return installed.contains(t); });
            QCOMPARE(actual.has_value(), expected.has_value());
            if (!expected)
                continue;
            ++matched;
            QCOMPARE(actual->cask.caskName, expected->cask.caskName);
            QCOMPARE(actual->isExactArtifact, expected->isExactArtifact);
            QCOMPARE(actual->priority, expected->priority);
        }
        QVERIFY(matched > 1000);
    }
};

QTEST_GUILESS_MAIN(TestBrewAdoptionMatcher)
#include "tst_brewadoptionmatcher.moc"
