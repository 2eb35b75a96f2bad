#include "platform/updater/EdSignatureVerifier.h"

#include "platform/updater/UpdaterError.h"

#include <QFile>
#include <sodium.h>

namespace norvelle {

namespace {

std::optional<QByteArray> decodeExactly(const QString& base64, int size)
{
    QByteArray compact = base64.toLatin1();
    compact.replace(' ', QByteArray())
        .replace('\n', QByteArray())
        .replace('\r', QByteArray())
        .replace('\t', QByteArray());
    if (compact.isEmpty())
        return std::nullopt;
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        compact, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

[[noreturn]] void refuse(const QString& why)
{
    throw UpdaterError(UpdaterError::Kind::signatureInvalid, why);
}

} // namespace

std::optional<QByteArray> EdSignatureVerifier::decodePublicKey(const QString& base64)
{
    return decodeExactly(base64, publicKeyBytes);
}

std::optional<QByteArray> EdSignatureVerifier::decodeSignature(const QString& base64)
{
    return decodeExactly(base64, signatureBytes);
}

bool EdSignatureVerifier::verify(const QByteArray& data, const QByteArray& signature,
                                 const QByteArray& publicKey)
{
    if (signature.size() != signatureBytes || publicKey.size() != publicKeyBytes)
        return false;
    if (sodium_init() < 0)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                       reinterpret_cast<const unsigned char*>(data.constData()),
                                       static_cast<unsigned long long>(data.size()),
                                       reinterpret_cast<const unsigned char*>(publicKey.constData())) == 0;
}

void EdSignatureVerifier::checkKeyAndSignature(const QString& signatureBase64, const QString& publicKeyBase64)
{
    if (publicKeyBase64.trimmed().isEmpty())
        refuse(QStringLiteral(
            "The application has no public EdDSA key (SUPublicEDKey), so the update cannot be verified"));
    if (!decodePublicKey(publicKeyBase64))
        refuse(QStringLiteral("The application's public EdDSA key (SUPublicEDKey) is malformed"));
    if (signatureBase64.trimmed().isEmpty())
        refuse(QStringLiteral("The update has no EdDSA signature"));
    if (!decodeSignature(signatureBase64))
        refuse(QStringLiteral("The update's EdDSA signature is malformed"));
}

void EdSignatureVerifier::verifyFile(const QString& path, const QString& signatureBase64,
                                     const QString& publicKeyBase64)
{
    checkKeyAndSignature(signatureBase64, publicKeyBase64);
    const QByteArray key = *decodePublicKey(publicKeyBase64);
    const QByteArray signature = *decodeSignature(signatureBase64);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("The downloaded update could not be read: ") + file.errorString());
    // Mapping avoids a second copy of archives that can be hundreds of megabytes.
    QByteArray data;
    if (file.size() > 0) {
        const uchar* mapped = file.map(0, file.size());
        if (!mapped)
            refuse(QStringLiteral("The downloaded update could not be read: ") + file.errorString());
        data = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(file.size()));
    }
    if (!verify(data, signature, key))
        refuse(QStringLiteral("The update's EdDSA signature is not valid"));
}

} // namespace norvelle
