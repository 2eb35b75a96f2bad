#include "platform/updater/UpdaterBundle.h"

#include "platform/plist/PropertyList.h"

#include <QDir>

namespace norvelle {

std::optional<UpdaterBundle> UpdaterBundle::load(const QString& bundlePath)
{
    // The shared reader also refuses the damaged binary lists that would make libplist
    // abort, which matters here: an update's Info.plist comes from the network.
    std::optional<QVariantMap> values =
        PropertyList::readDictionaryFile(QDir(bundlePath).filePath(QStringLiteral("Contents/Info.plist")));
    if (!values)
        return std::nullopt;
    return UpdaterBundle(bundlePath, std::move(*values));
}

QString UpdaterBundle::string(const QString& key) const
{
    return PropertyList::string(m_values, key).value_or(QString());
}

std::optional<bool> UpdaterBundle::boolean(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend() || it->typeId() != QMetaType::Bool)
        return std::nullopt;
    return it->toBool();
}

QString UpdaterBundle::version() const
{
    const QString bundleVersion = string(QStringLiteral("CFBundleVersion")).trimmed();
    return bundleVersion.isEmpty() ? string(QStringLiteral("CFBundleShortVersionString")).trimmed()
                                   : bundleVersion;
}

} // namespace norvelle
