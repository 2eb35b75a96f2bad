#include "ui/main/components/ApplicationIconProvider.h"

#include "platform/plist/PropertyList.h"
#include "ui/SymbolIcons.h"
#include "ui/main/components/SystemColors.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace norvelle {

namespace {

QHash<QString, QIcon>& cache()
{
    static QHash<QString, QIcon> icons;
    return icons;
}

// Regular files only, and not huge: a FIFO or a device named as an icon must not block or
// fill memory.
std::optional<QByteArray> readSmallFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > ApplicationIconProvider::maximumFileSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(ApplicationIconProvider::maximumFileSize);
}

// More than any real icon file holds; a crafted one with thousands of tiny entries is cut short.
constexpr int maximumImageCount = 64;

// Every image of the file: an .icns keeps one per size (PNG in newer files, the compressed
// bitmaps of older ones), and QIcon then draws the one nearest the size asked for.
QIcon readIconFile(const QString& path)
{
    const auto data = readSmallFile(path);
    if (!data)
        return {};
    QBuffer buffer;
    buffer.setData(*data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, data->startsWith("icns") ? QByteArray("icns") : QByteArray());
    QIcon icon;
    for (int i = 0; i < maximumImageCount; ++i) {
        QImage image;
        if (reader.read(&image) && !image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return icon;
}

} // namespace

std::optional<QString> ApplicationIconProvider::iconFile(const QString& bundlePath)
{
    const QString contents = bundlePath + QStringLiteral("/Contents");
    const auto info = PropertyList::readDictionaryFile(contents + QStringLiteral("/Info.plist"));
    if (!info)
        return std::nullopt;
    const auto name = PropertyList::string(*info, QStringLiteral("CFBundleIconFile"));
    if (!name || name->isEmpty() || name->contains(QLatin1Char('/')) || name->contains(QLatin1Char('\\'))
        || *name == QLatin1String(".") || *name == QLatin1String(".."))
        return std::nullopt;
    const QString resources = contents + QStringLiteral("/Resources/");
    QStringList candidates{resources + *name};
    if (QFileInfo(*name).suffix().isEmpty()) {
        candidates.prepend(resources + *name + QStringLiteral(".icns"));
        candidates.append(resources + *name + QStringLiteral(".png"));
    }
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return candidate;
    return std::nullopt;
}

QIcon ApplicationIconProvider::bundleIcon(const QString& bundlePath)
{
    const auto file = iconFile(bundlePath);
    if (!file)
        return {};
    QIcon icon = readIconFile(*file);
    if (icon.isNull()) {
        // A damaged .icns: a PNG of the same name may stand beside it.
        const QFileInfo info(*file);
        const QString png = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".png");
        if (png != *file)
            icon = readIconFile(png);
    }
    return icon;
}

QIcon ApplicationIconProvider::icon(const QString& bundlePath, const QString& version)
{
    const QString key = bundlePath + QLatin1Char('\n') + version;
    auto found = cache().constFind(key);
    if (found != cache().constEnd())
        return *found;
    QIcon result = bundleIcon(bundlePath);
    if (result.isNull())
        result = SymbolIcons::icon(QStringLiteral("app"), SystemColors::gray());
    cache().insert(key, result);
    return result;
}

QPixmap ApplicationIconProvider::pixmap(const QString& bundlePath, const QString& version, int size, qreal radius,
                                        qreal devicePixelRatio)
{
    const int pixels = std::max(1, qRound(size * devicePixelRatio));
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (radius > 0) {
            QPainterPath clip;
            clip.addRoundedRect(QRectF(0, 0, pixels, pixels), radius * devicePixelRatio, radius * devicePixelRatio);
            painter.setClipPath(clip);
        }
        icon(bundlePath, version).paint(&painter, QRect(0, 0, pixels, pixels));
    }
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

void ApplicationIconProvider::clearCache()
{
    cache().clear();
}

} // namespace norvelle
