#include "sources/brew/CaskToken.h"

#include <QTest>

using namespace norvelle;

class TestCaskToken : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void grammar_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "firefox" << true;
        QTest::newRow("digits first") << "1password" << true;
        QTest::newRow("every allowed sign") << "a-b+c.d@e_f" << true;
        QTest::newRow("full name") << "owner/homebrew-tap/tool" << true;
        QTest::newRow("full name, upper-case user") << "Owner/tap/tool" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("option") << "-rf" << false;
        QTest::newRow("starts with a dot") << ".hidden" << false;
        QTest::newRow("parent folder") << ".." << false;
        QTest::newRow("upper case") << "Firefox" << false;
        QTest::newRow("non-ascii letter") << QStringLiteral(u"caf\u00e9") << false;
        QTest::newRow("one slash") << "tap/tool" << false;
        QTest::newRow("option as tap user") << "-x/tap/tool" << false;
        QTest::newRow("option after the tap") << "owner/tap/-x" << false;
        QTest::newRow("path in the tap") << "a/b/c/tool" << false;
    }
    void grammar()
    {
        QFETCH(QString, token);
        QFETCH(bool, valid);
        QCOMPARE(CaskToken::isValid(token), valid);
    }
};

QTEST_GUILESS_MAIN(TestCaskToken)
#include "tst_casktoken.moc"
