#include "DemoBundle.h"

#include "BundleBuilder.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace norvelle::demo {

namespace {

// A rounded square in a colour of the application's own, as a bundle's icon would be.
bool writeIcon(const QString& path, const QString& name)
{
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const int hue = int(qHash(name) % 360);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    QLinearGradient gradient(0, 8, 0, 120);
    gradient.setColorAt(0, QColor::fromHsv(hue, 150, 250));
    gradient.setColorAt(1, QColor::fromHsv(hue, 220, 170));
    painter.fillPath(square, gradient);
    painter.setBrush(QColor(255, 255, 255, 210));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(64, 64), 26 + hue % 12, 26 + hue % 12);
    painter.end();
    return QDir().mkpath(QFileInfo(path).absolutePath()) && image.save(path, "PNG");
}

bool writeExecutable(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
        file.write(data) != data.size())
        return false;
    file.close();
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
}

} // namespace

QString DemoBundle::write(const QString& folder, const DemoApplication& app, const QString& version,
                          const QVariantMap& extra)
{
    test::BundleBuilder builder(folder, app.name);
    builder.bundleIdentifier(app.bundleIdentifier)
        .shortVersion(version)
        .version(version)
        .set(QStringLiteral("CFBundleExecutable"), app.name)
        .set(QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL"))
        .set(QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon"))
        .set(QStringLiteral("LSMinimumSystemVersion"), QStringLiteral("12.0"))
        .set(QStringLiteral("NSHumanReadableCopyright"),
             QStringLiteral("Copyright © 2026 ") + app.name + QStringLiteral(" Authors"))
        .binary(app.binaryInfoPlist);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        builder.set(it.key(), it.value());
    const QString bundle = builder.build();
    if (bundle.isEmpty() ||
        !writeIcon(bundle + QStringLiteral("/Contents/Resources/AppIcon.png"), app.name) ||
        !writeExecutable(bundle + QStringLiteral("/Contents/MacOS/") + app.name,
                         "#!/bin/sh\necho '" + app.name.toUtf8() + " " + version.toUtf8() + "'\n"))
        return {};
    return bundle;
}

} // namespace norvelle::demo
