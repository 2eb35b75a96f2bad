#pragma once

#include "UpdaterArchiveBuilder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace norvelle::test {

// Builds what an appcast publisher ships: application bundles, their archives and
// the appcast that lists them.
class UpdaterFixture {
public:
    // <directory>/<name> with Contents/Info.plist (XML, or binary) and
    // Contents/MacOS/app holding payload. Returns the bundle's path.
    static QString writeBundle(const QString& directory, const QString& name, const QVariantMap& info,
                               const QByteArray& payload = "version one", bool binary = false);

    // Info.plist values of a typical application.
    static QVariantMap info(const QString& identifier, const QString& version, const QVariantMap& extra = {});

    // A bundle built in workDirectory/build and archived as workDirectory/<archiveName>.
    static QString archiveBundle(const QString& workDirectory, const QString& bundleName,
                                 const QVariantMap& info, const QString& archiveName,
                                 UpdaterArchiveBuilder::Format format,
                                 const QByteArray& payload = "version two");

    struct FeedItem {
        QString version{};
        QString shortVersion{};
        QString url{};
        QString signature{};
        qint64 length = 0;
        QString extra{};       // more XML inside the <item>
        bool oldStyle = false; // versions as enclosure attributes
    };
    static QByteArray appcast(const QList<FeedItem>& items);
};

} // namespace norvelle::test
