#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace norvelle {

// Ed25519 checks of downloaded updates (libsodium). Keys and signatures travel as
// base64: the installed bundle's "SUPublicEDKey" (32 bytes) and the enclosure's
// sparkle:edSignature (64 bytes) over the whole archive file.
class EdSignatureVerifier {
public:
    static constexpr int publicKeyBytes = 32;
    static constexpr int signatureBytes = 64;

    // The raw key or signature; none when the text is not strict base64 of the right length.
    static std::optional<QByteArray> decodePublicKey(const QString& base64);
    static std::optional<QByteArray> decodeSignature(const QString& base64);

    static bool verify(const QByteArray& data, const QByteArray& signature, const QByteArray& publicKey);

    // Throws UpdaterError (signatureInvalid) unless both texts are present and well-formed.
    static void checkKeyAndSignature(const QString& signatureBase64, const QString& publicKeyBase64);

    // Checks the file against the signature and key texts; throws UpdaterError
    // (signatureInvalid) when the key or signature is missing or malformed, the file
    // cannot be read, or the signature does not match.
    static void verifyFile(const QString& path, const QString& signatureBase64,
                           const QString& publicKeyBase64);

private:
    EdSignatureVerifier() = delete;
};

} // namespace norvelle
