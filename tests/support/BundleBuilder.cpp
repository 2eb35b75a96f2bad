#include "BundleBuilder.h"

#include <QDir>
#include <QFile>

namespace norvelle::test {

BundleBuilder::BundleBuilder(QString folder, QString name)
    : m_folder(std::move(folder)), m_name(std::move(name))
{
    m_keys.insert(QStringLiteral("CFBundleName"), m_name);
}

BundleBuilder& BundleBuilder::set(const QString& key, const QVariant& value)
{
    m_keys.insert(key, value);
    return *this;
}

BundleBuilder& BundleBuilder::remove(const QString& key)
{
    m_keys.remove(key);
    return *this;
}

BundleBuilder& BundleBuilder::binary(bool on)
{
    m_format = on ? PropertyList::Format::binary : PropertyList::Format::xml;
    return *this;
}

BundleBuilder& BundleBuilder::rawInfoPlist(const QByteArray& bytes)
{
    m_raw = bytes;
    return *this;
}

BundleBuilder& BundleBuilder::withoutInfoPlist()
{
    m_withInfoPlist = false;
    return *this;
}

QString BundleBuilder::bundlePath() const
{
    return m_folder + u'/' + m_name + QStringLiteral(".app");
}

QString BundleBuilder::infoPlistPath() const
{
    return bundlePath() + QStringLiteral("/Contents/Info.plist");
}

QString BundleBuilder::build() const
{
    const QString contents = bundlePath() + QStringLiteral("/Contents");
    if (!QDir().mkpath(contents + QStringLiteral("/MacOS")))
        return {};
    if (!m_withInfoPlist) {
        QFile::remove(infoPlistPath());
        return bundlePath();
    }
    if (m_raw) {
        QFile file(infoPlistPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*m_raw) != m_raw->size())
            return {};
        return bundlePath();
    }
    if (!PropertyList::writeFile(infoPlistPath(), m_keys, m_format))
        return {};
    return bundlePath();
}

} // namespace norvelle::test
