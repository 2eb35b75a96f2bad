#include "model/NorvelleError.h"

#include <QTest>

using namespace norvelle;
using C = NorvelleError::Case;

class TestNorvelleError : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void messages_data()
    {
        QTest::addColumn<int>("errorCase");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("directory") << int(C::directoryNotFound) << "/tmp/x" << "Directory not found: /tmp/x";
        QTest::newRow("directory empty") << int(C::directoryNotFound) << "" << "Directory not found: ";
        QTest::newRow("update empty") << int(C::updateFailed) << "" << "Failed to update ";
        QTest::newRow("update text") << int(C::updateFailed) << "Foo: bad" << "Failed to update Foo: bad";
    }
    void messages()
    {
        QFETCH(int, errorCase);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const NorvelleError e(C(errorCase), text);
        QCOMPARE(e.description(), expected);
        QCOMPARE(QString::fromUtf8(e.what()), expected);
        QCOMPARE(describeException(std::make_exception_ptr(e)), expected);
    }

    void payloadlessCasesIgnoreText()
    {
        for (int c = int(C::brewNotInstalled); c <= int(C::failedToLoadBundle); ++c) {
            if (C(c) == C::failedToParseBrewOutput) // a refusal's reason, see tst_brewinstall
                continue;
            const NorvelleError e(C(c), QStringLiteral("ignored"));
            QVERIFY(!e.description().isEmpty());
            QVERIFY(!e.description().contains(QStringLiteral("ignored")));
        }
    }
};

QTEST_GUILESS_MAIN(TestNorvelleError)
#include "tst_norvelleerror.moc"
