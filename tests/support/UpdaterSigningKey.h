#pragma once

#include <QByteArray>
#include <QString>

namespace norvelle::test {

// A fresh Ed25519 key pair for signing test updates, as an appcast publisher would.
class UpdaterSigningKey {
public:
    UpdaterSigningKey();

    QString publicKeyBase64() const { return QString::fromLatin1(m_public.toBase64()); }
    QString sign(const QByteArray& data) const;  // base64 signature
    QString signFile(const QString& path) const; // base64 signature; empty when unreadable

private:
    QByteArray m_public;
    QByteArray m_secret;
};

} // namespace norvelle::test
