#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <optional>

namespace norvelle {

// The icons of other applications, read from their bundles: the file that "CFBundleIconFile"
// in Contents/Info.plist names in Contents/Resources (".icns", else ".png", added when it has no
// extension), read as any image Qt can read (an .icns through Qt's own image plugin, every size
// it holds), or else a PNG of the same name.
// A bundle without a readable icon gets the generic application symbol. Icons are kept per
// bundle path and version, so an update shows the new icon. Main thread only.
class ApplicationIconProvider {
public:
    // Files larger than this are not read.
    static constexpr qint64 maximumFileSize = 16 * 1024 * 1024;

    static QIcon icon(const QString& bundlePath, const QString& version = {});
    // The icon at `size` points in a rounded square of corner `radius` (0: square corners).
    static QPixmap pixmap(const QString& bundlePath, const QString& version, int size, qreal radius = 0,
                          qreal devicePixelRatio = 1.0);
    // The bundle's own icon, or a null icon when it has none that can be read.
    static QIcon bundleIcon(const QString& bundlePath);
    // The icon file the bundle names, when it exists; a name that leaves Contents/Resources
    // counts as none.
    static std::optional<QString> iconFile(const QString& bundlePath);
    // Forgets every icon read so far.
    static void clearCache();

private:
    ApplicationIconProvider() = delete;
};

} // namespace norvelle
