#pragma once

#include "platform/plist/PropertyList.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace norvelle::test {

// Builds an application bundle "<folder>/<name>.app" with Contents/Info.plist (XML by default,
// or binary), e.g.
//   BundleBuilder(root.paths().applicationsFolder,
//   "Foo").bundleIdentifier("com.foo").shortVersion("1.2").build();
class BundleBuilder {
public:
    BundleBuilder(QString folder, QString name);

    BundleBuilder& bundleIdentifier(const QString& value)
    {
        return set(QStringLiteral("CFBundleIdentifier"), value);
    }
    BundleBuilder& shortVersion(const QString& value)
    {
        return set(QStringLiteral("CFBundleShortVersionString"), value);
    }
    BundleBuilder& version(const QString& value) { return set(QStringLiteral("CFBundleVersion"), value); }
    // Any Info.plist key, with any property-list value (QString, bool, qint64, QVariantList, …).
    BundleBuilder& set(const QString& key, const QVariant& value);
    BundleBuilder& remove(const QString& key);
    BundleBuilder& binary(bool on = true);
    // Writes these bytes as Info.plist instead of the keys (broken files).
    BundleBuilder& rawInfoPlist(const QByteArray& bytes);
    // Builds the bundle folder without any Info.plist.
    BundleBuilder& withoutInfoPlist();

    // Creates the bundle (replacing its Info.plist if it exists); returns the bundle's path,
    // or an empty string on failure.
    QString build() const;

    QString bundlePath() const;
    QString infoPlistPath() const;
    const QVariantMap& keys() const { return m_keys; }

private:
    QString m_folder;
    QString m_name;
    QVariantMap m_keys;
    PropertyList::Format m_format = PropertyList::Format::xml;
    std::optional<QByteArray> m_raw;
    bool m_withInfoPlist = true;
};

} // namespace norvelle::test
