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
#include <QtEndian>

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

QIcon iconFromImages(const QList<QImage>& images)
{
    QIcon icon;
    for (const QImage& image : images)
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

QIcon readIconFile(const QString& path)
{
    const auto data = readSmallFile(path);
    if (!data)
        return {};
    if (data->startsWith("icns"))
        return iconFromImages(ApplicationIconProvider::icnsImages(*data));
    QBuffer buffer;
    buffer.setData(*data);
    QImageReader reader(&buffer);
    QImage image;
    if (!reader.read(&image))
        return {};
    return iconFromImages({image});
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

QList<QImage> ApplicationIconProvider::icnsImages(const QByteArray& data)
{
    QList<QImage> images;
    if (data.size() < 8 || !data.startsWith("icns"))
        return images;
    const qsizetype total = std::min<qsizetype>(data.size(), qFromBigEndian<quint32>(data.constData() + 4));
    qsizetype offset = 8;
    while (offset + 8 <= total) {
        const quint32 length = qFromBigEndian<quint32>(data.constData() + offset + 4);
        if (length < 8 || static_cast<qsizetype>(length) > total - offset)
            break;
        // Icons since macOS 10.7 keep their larger sizes as PNG data; older entries are skipped.
        const QByteArray payload = data.mid(offset + 8, length - 8);
        if (payload.startsWith("\x89PNG")) {
            QImage image;
            if (image.loadFromData(payload, "PNG"))
                images.append(image);
        }
        offset += length;
    }
    return images;
}

QIcon ApplicationIconProvider::bundleIcon(const QString& bundlePath)
{
    const auto file = iconFile(bundlePath);
    if (!file)
        return {};
    QIcon icon = readIconFile(*file);
    if (icon.isNull()) {
        // No .icns reader here: a PNG of the same name may stand beside it.
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
