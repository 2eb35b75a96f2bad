#include "UpdaterSigningKey.h"

#include <QFile>
#include <sodium.h>

namespace norvelle::test {

UpdaterSigningKey::UpdaterSigningKey()
    : m_public(crypto_sign_PUBLICKEYBYTES, '\0'), m_secret(crypto_sign_SECRETKEYBYTES, '\0')
{
    if (sodium_init() < 0)
        qFatal("libsodium could not be initialised");
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(m_public.data()),
                        reinterpret_cast<unsigned char*>(m_secret.data()));
}

QString UpdaterSigningKey::sign(const QByteArray& data) const
{
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(data.constData()),
                         static_cast<unsigned long long>(data.size()),
                         reinterpret_cast<const unsigned char*>(m_secret.constData()));
    return QString::fromLatin1(signature.toBase64());
}

QString UpdaterSigningKey::signFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return sign(file.readAll());
}

} // namespace norvelle::test
