#include "UpdaterSigningKey.h"
#include "platform/updater/EdSignatureVerifier.h"
#include "platform/updater/UpdaterError.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace norvelle;
using norvelle::test::UpdaterSigningKey;

class EdSignatureTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void verifiesFiles_data();
    void verifiesFiles();
    void decodesKeysStrictly_data();
    void decodesKeysStrictly();
};

void EdSignatureTest::verifiesFiles_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("expectedError"); // empty: verification passes

    QTest::newRow("valid") << "valid"
                           << "";
    QTest::newRow("valid, key with line breaks") << "wrapped key"
                                                 << "";
    QTest::newRow("empty file signed") << "empty file"
                                       << "";
    QTest::newRow("tampered file") << "tampered"
                                   << "The update's EdDSA signature is not valid";
    QTest::newRow("another key") << "other key"
                                 << "The update's EdDSA signature is not valid";
    QTest::newRow("missing key")
        << "no key"
        << "The application has no public EdDSA key (SUPublicEDKey), so the update cannot be verified";
    QTest::newRow("key not base64") << "key not base64"
                                    << "The application's public EdDSA key (SUPublicEDKey) is malformed";
    QTest::newRow("key too short") << "short key"
                                   << "The application's public EdDSA key (SUPublicEDKey) is malformed";
    QTest::newRow("missing signature") << "no signature"
                                       << "The update has no EdDSA signature";
    QTest::newRow("signature too short") << "short signature"
                                         << "The update's EdDSA signature is malformed";
    QTest::newRow("unreadable file") << "missing file"
                                     << "The downloaded update could not be read: No such file or directory";
}

void EdSignatureTest::verifiesFiles()
{
    QFETCH(QString, variant);
    QFETCH(QString, expectedError);

    QTemporaryDir dir;
    const QString path = dir.filePath("update.zip");
    const QByteArray content = variant == "empty file"
                                   ? QByteArray()
                                   : QByteArray("PK\x03\x04 pretend archive ") + QByteArray(100000, 'a');
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const UpdaterSigningKey key;
    QString publicKey = key.publicKeyBase64();
    QString signature = key.signFile(path);

    if (variant == "wrapped key")
        publicKey = "  " + publicKey.left(20) + "\n" + publicKey.mid(20) + "\n";
    else if (variant == "tampered") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(50);
        file.write("b");
    } else if (variant == "other key")
        publicKey = UpdaterSigningKey().publicKeyBase64();
    else if (variant == "no key")
        publicKey.clear();
    else if (variant == "key not base64")
        publicKey = "not*a*key*" + publicKey.mid(10);
    else if (variant == "short key")
        publicKey = QString::fromLatin1(QByteArray::fromBase64(publicKey.toLatin1()).left(31).toBase64());
    else if (variant == "no signature")
        signature = " ";
    else if (variant == "short signature")
        signature = QString::fromLatin1(QByteArray::fromBase64(signature.toLatin1()).left(63).toBase64());
    else if (variant == "missing file")
        QFile::remove(path);

    try {
        EdSignatureVerifier::verifyFile(path, signature, publicKey);
        QVERIFY2(expectedError.isEmpty(), "verification passed");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::signatureInvalid);
        QCOMPARE(error.description(), expectedError);
    }
}

void EdSignatureTest::decodesKeysStrictly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    const QString good = QString::fromLatin1(QByteArray(32, '\x11').toBase64());
    QTest::newRow("32 bytes") << good << true;
    QTest::newRow("surrounding space") << " " + good + "\n" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("33 bytes") << QString::fromLatin1(QByteArray(33, '\x11').toBase64()) << false;
    QTest::newRow("url alphabet") << QString::fromLatin1(
                                         QByteArray(32, '\xfb').toBase64(QByteArray::Base64UrlEncoding))
                                  << false;
    QTest::newRow("bad padding") << good.chopped(1) + "==" << false;
}

void EdSignatureTest::decodesKeysStrictly()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(EdSignatureVerifier::decodePublicKey(text).has_value(), valid);
}

QTEST_GUILESS_MAIN(EdSignatureTest)
#include "tst_updater_edsignature.moc"
