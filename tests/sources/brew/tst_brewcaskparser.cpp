#include "sources/brew/CaskParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace norvelle;

namespace {

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

class TestBrewCaskParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseCaskMapsEveryField()
    {
        const QJsonObject entry =
            object(R"({"token":"acme","version":"1.2,345","name":["Acme"],)"
                   R"("desc":"Does things","homepage":"https:\u002F/acme.example/",)"
                   R"("caveats":"Read me","deprecated":true,"disabled":false,)"
                   R"("artifacts":[{"app":["Acme.app","Acme Helper.app"]},{"zap":[]}]})");
        const std::optional<Cask> cask = CaskParser::parseCask(entry, true);
        QVERIFY(cask);
        QCOMPARE(cask->caskName, QStringLiteral("acme"));
        QCOMPARE(cask->currentVersion, QStringLiteral("1.2,345"));
        QCOMPARE(cask->latestVersion, QStringLiteral("1.2,345"));
        QCOMPARE(cask->description, std::optional<QString>(QStringLiteral("Does things")));
        QCOMPARE(cask->homepage, std::optional<QUrl>(QUrl(QStringLiteral("https://acme.example/"))));
        QCOMPARE(cask->warnings, QStringList{QStringLiteral("Read me")});
        QVERIFY(cask->adopted);
        QVERIFY(!cask->adoptable);
        QVERIFY(!cask->requiresSudo);
        QCOMPARE(cask->artifacts,
                 (QStringList{QStringLiteral("Acme.app"), QStringLiteral("Acme Helper.app")}));
        QVERIFY(cask->deprecated);
        QVERIFY(!cask->disabled);
    }

    void parseCaskFieldRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QVariant>("description"); // invalid QVariant: none
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<bool>("hasHomepage");

        QTest::newRow("desc null falls back to first name")
            << QByteArray(R"({"token":"a","version":"1","desc":null,"name":["First","Second"]})") << true
            << QVariant(QStringLiteral("First")) << QStringList() << false;
        QTest::newRow("no desc, empty name") << QByteArray(R"({"token":"a","version":"1","name":[]})") << true
                                             << QVariant() << QStringList() << false;
        QTest::newRow("name list with a number is ignored")
            << QByteArray(R"({"token":"a","version":"1","name":["A",2]})") << true << QVariant()
            << QStringList() << false;
        QTest::newRow("empty caveats kept") << QByteArray(R"({"token":"a","version":"1","caveats":""})")
                                            << true << QVariant() << QStringList{QString()} << false;
        QTest::newRow("null caveats") << QByteArray(R"({"token":"a","version":"1","caveats":null})") << true
                                      << QVariant() << QStringList() << false;
        QTest::newRow("homepage not a URL")
            << QByteArray(R"({"token":"a","version":"1","homepage":"ht tp:\u002F/x y"})") << true
            << QVariant() << QStringList() << false;
        QTest::newRow("homepage a number") << QByteArray(R"({"token":"a","version":"1","homepage":5})")
                                           << true << QVariant() << QStringList() << false;
        QTest::newRow("homepage with another scheme")
            << QByteArray(R"({"token":"a","version":"1","homepage":"file:\u002F/\u002Fetc/passwd"})") << true
            << QVariant() << QStringList() << false;
        QTest::newRow("homepage ok")
            << QByteArray(R"({"token":"a","version":"1","homepage":"http:\u002F/a.example/x"})") << true
            << QVariant() << QStringList() << true;
        QTest::newRow("token missing")
            << QByteArray(R"({"version":"1"})") << false << QVariant() << QStringList() << false;
        QTest::newRow("version a number")
            << QByteArray(R"({"token":"a","version":1})") << false << QVariant() << QStringList() << false;
        QTest::newRow("version null")
            << QByteArray(R"({"token":"a","version":null})") << false << QVariant() << QStringList() << false;
    }

    void parseCaskFieldRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        QFETCH(QVariant, description);
        QFETCH(QStringList, warnings);
        QFETCH(bool, hasHomepage);
        const std::optional<Cask> cask = CaskParser::parseCask(QJsonDocument::fromJson(json).object(), false);
        QCOMPARE(cask.has_value(), accepted);
        if (!cask)
            return;
        QCOMPARE(cask->description.has_value(), description.isValid());
        if (description.isValid())
            QCOMPARE(*cask->description, description.toString());
        QCOMPARE(cask->warnings, warnings);
        QCOMPARE(cask->homepage.has_value(), hasHomepage);
        QVERIFY(!cask->deprecated && !cask->disabled && !cask->adopted);
    }

    void requiresSudo_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("expected");
        QTest::newRow("pkg without app") << QByteArray(R"({"artifacts":[{"pkg":["a.pkg"]}]})") << true;
        QTest::newRow("installer") << QByteArray(R"({"artifacts":[{"app":["A.app"]},{"installer":null}]})")
                                   << true;
        QTest::newRow("plain app") << QByteArray(R"({"artifacts":[{"app":["A.app"]}]})") << false;
        QTest::newRow("SUDO in capitals")
            << QByteArray(R"({"artifacts":[],"caveats":"Run with SUDO"})") << true;
        QTest::newRow("admin privileges")
            << QByteArray(R"({"artifacts":[],"caveats":"needs admin privileges"})") << true;
        QTest::newRow("Administrator")
            << QByteArray(R"({"artifacts":[],"caveats":"Administrator rights"})") << true;
        QTest::newRow("harmless caveats")
            << QByteArray(R"({"artifacts":[],"caveats":"Restart after install"})") << false;
        QTest::newRow("no artifacts member ignores caveats")
            << QByteArray(R"({"caveats":"sudo password"})") << false;
        QTest::newRow("artifacts not an array")
            << QByteArray(R"({"artifacts":{},"caveats":"sudo"})") << false;
        QTest::newRow("caveats not a string")
            << QByteArray(R"({"artifacts":[],"caveats":["sudo"]})") << false;
        QTest::newRow("empty object") << QByteArray("{}") << false;
    }

    void requiresSudo()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, expected);
        QCOMPARE(CaskParser::determineRequiresSudo(QJsonDocument::fromJson(json).object()), expected);
    }

    void appArtifacts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two strings in order")
            << QByteArray(R"({"artifacts":[{"app":["B.app","A.app"]},{"app":["C.app"]}]})")
            << QStringList{QStringLiteral("B.app"), QStringLiteral("A.app"), QStringLiteral("C.app")};
        QTest::newRow("string and object contribute nothing")
            << QByteArray(R"({"artifacts":[{"app":["A.app",{"target":"B.app"}]},{"app":["C.app"]}]})")
            << QStringList{QStringLiteral("C.app")};
        QTest::newRow("other artifacts ignored")
            << QByteArray(R"({"artifacts":[{"pkg":["a.pkg"]},{"uninstall":[{"quit":"x"}]},"app",["A.app"]]})")
            << QStringList();
        QTest::newRow("no artifacts") << QByteArray("{}") << QStringList();
    }

    void appArtifacts()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, expected);
        QCOMPARE(CaskParser::extractAppArtifacts(QJsonDocument::fromJson(json).object()), expected);
    }

    void outdatedEntries_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("current");
        QTest::newRow("two installed versions take the first")
            << QByteArray(R"({"name":"a","installed_versions":["1.0","0.9"],"current_version":"2.0"})")
            << true << QStringLiteral("1.0");
        QTest::newRow("homepage a number, desc null")
            << QByteArray(
                   R"({"name":"a","installed_versions":["1"],"current_version":"2","homepage":3,"desc":null})")
            << true << QStringLiteral("1");
        QTest::newRow("empty installed versions")
            << QByteArray(R"({"name":"a","installed_versions":[],"current_version":"2"})") << false
            << QString();
        QTest::newRow("installed versions with a number")
            << QByteArray(R"({"name":"a","installed_versions":["1",2],"current_version":"2"})") << false
            << QString();
        QTest::newRow("no current version")
            << QByteArray(R"({"name":"a","installed_versions":["1"]})") << false << QString();
        QTest::newRow("name not a string")
            << QByteArray(R"({"name":7,"installed_versions":["1"],"current_version":"2"})") << false
            << QString();
    }

    void outdatedEntries()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        QFETCH(QString, current);
        const std::optional<Cask> cask =
            CaskParser::parseOutdatedCask(QJsonDocument::fromJson(json).object(), true);
        QCOMPARE(cask.has_value(), accepted);
        if (!cask)
            return;
        QCOMPARE(cask->currentVersion, current);
        QVERIFY(cask->latestVersion.startsWith(QLatin1Char('2')));
        QVERIFY(cask->adopted && !cask->adoptable && cask->requiresSudo);
        QVERIFY(!cask->homepage && !cask->description);
        QVERIFY(cask->warnings.isEmpty() && cask->artifacts.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBrewCaskParser)
#include "tst_brewcaskparser.moc"
