#include "BundleBuilder.h"
#include "TempRoot.h"

#include "ui/main/components/ApplicationIconProvider.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QtEndian>

using namespace norvelle;
using namespace norvelle::test;

namespace {

QByteArray png(QColor color, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray icnsEntry(const char type[4], const QByteArray& payload)
{
    QByteArray entry(type, 4);
    entry.append(8, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size() + 8), entry.data() + 4);
    entry.resize(8);
    return entry + payload;
}

QByteArray icns(const QList<QByteArray>& entries)
{
    QByteArray body;
    for (const QByteArray& entry : entries)
        body += entry;
    QByteArray file("icns\0\0\0\0", 8);
    qToBigEndian<quint32>(static_cast<quint32>(body.size() + 8), file.data() + 4);
    return file + body;
}

// A 16-pixel icon of one colour in the older compressed form (run-length coded channels,
// then its mask), as icons made before PNG entries hold it.
QList<QByteArray> compressedEntries(QColor color)
{
    QByteArray channels;
    for (const int value : {color.red(), color.green(), color.blue()})
        channels += QByteArray("\xff") + char(value) + QByteArray("\xfb") + char(value); // 130 + 126 pixels
    return {icnsEntry("is32", channels), icnsEntry("s8mk", QByteArray(256, '\xff'))};
}

QColor centre(const QIcon& icon, int size = 32)
{
    return icon.pixmap(QSize(size, size)).toImage().pixelColor(size / 2, size / 2);
}

} // namespace

class TestApplicationIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { ApplicationIconProvider::clearCache(); }

    // Which file a bundle's Info.plist leads to; names that would leave Contents/Resources lead
    // nowhere.
    void iconFile_data()
    {
        QTest::addColumn<QVariant>("iconFileKey");
        QTest::addColumn<QStringList>("resources");
        QTest::addColumn<QString>("expected");

        QTest::newRow("name without extension") << QVariant("AppIcon") << QStringList{"AppIcon.icns"} << "AppIcon.icns";
        QTest::newRow("name without extension, a png") << QVariant("AppIcon") << QStringList{"AppIcon.png"}
                                                       << "AppIcon.png";
        QTest::newRow("name with extension") << QVariant("AppIcon.icns") << QStringList{"AppIcon.icns"}
                                             << "AppIcon.icns";
        QTest::newRow("a png the bundle carries") << QVariant("icon.png") << QStringList{"icon.png"} << "icon.png";
        QTest::newRow("file missing") << QVariant("AppIcon") << QStringList{} << "";
        QTest::newRow("no key") << QVariant() << QStringList{"AppIcon.icns"} << "";
        QTest::newRow("not text") << QVariant(qint64(3)) << QStringList{"3.icns"} << "";
        QTest::newRow("leaves the folder") << QVariant("../../Info.plist") << QStringList{} << "";
    }

    void iconFile()
    {
        QFETCH(QVariant, iconFileKey);
        QFETCH(QStringList, resources);
        QFETCH(QString, expected);
        TempRoot root;
        BundleBuilder builder(root.path(), QStringLiteral("Tool"));
        if (iconFileKey.isValid())
            builder.set(QStringLiteral("CFBundleIconFile"), iconFileKey);
        const QString bundle = builder.build();
        for (const QString& resource : resources)
            root.writeFile(QStringLiteral("Tool.app/Contents/Resources/") + resource, "x");
        const auto file = ApplicationIconProvider::iconFile(bundle);
        QCOMPARE(file.value_or(QString()).section(QLatin1Char('/'), -1), expected);
    }

    // An .icns yields every size it holds, old compressed bitmaps and PNG alike; a PNG beside a
    // damaged .icns stands in; without either the generic symbol is drawn (never a null icon).
    void readsTheBundlesIcon()
    {
        TempRoot root;
        const QString icnsBundle =
            BundleBuilder(root.path(), QStringLiteral("Red")).set(QStringLiteral("CFBundleIconFile"), "AppIcon").build();
        root.writeFile(QStringLiteral("Red.app/Contents/Resources/AppIcon.icns"),
                       icns(compressedEntries(Qt::green) << icnsEntry("ic07", png(Qt::red, 128))));
        const QIcon icon = ApplicationIconProvider::icon(icnsBundle, QStringLiteral("1.0"));
        QCOMPARE(centre(icon, 16), QColor(Qt::green));
        QCOMPARE(centre(icon, 128), QColor(Qt::red));

        const QString pngBundle =
            BundleBuilder(root.path(), QStringLiteral("Blue")).set(QStringLiteral("CFBundleIconFile"), "AppIcon").build();
        QByteArray truncated = icns({icnsEntry("ic07", png(Qt::red, 16))});
        qToBigEndian<quint32>(0x7fffffff, truncated.data() + 12); // its one entry runs past the end
        root.writeFile(QStringLiteral("Blue.app/Contents/Resources/AppIcon.icns"), truncated);
        root.writeFile(QStringLiteral("Blue.app/Contents/Resources/AppIcon.png"), png(Qt::blue, 64));
        QCOMPARE(centre(ApplicationIconProvider::icon(pngBundle)), QColor(Qt::blue));

        const QString bare = BundleBuilder(root.path(), QStringLiteral("Bare")).build();
        QVERIFY(ApplicationIconProvider::bundleIcon(bare).isNull());
        QVERIFY(!ApplicationIconProvider::icon(bare).isNull());
    }

    // Kept per path and version: the same version keeps the icon read first, a new one reads again.
    void cachedPerVersion()
    {
        TempRoot root;
        const QString bundle =
            BundleBuilder(root.path(), QStringLiteral("App")).set(QStringLiteral("CFBundleIconFile"), "i.png").build();
        root.writeFile(QStringLiteral("App.app/Contents/Resources/i.png"), png(Qt::red, 32));
        QCOMPARE(centre(ApplicationIconProvider::icon(bundle, QStringLiteral("1"))), QColor(Qt::red));
        root.writeFile(QStringLiteral("App.app/Contents/Resources/i.png"), png(Qt::green, 32));
        QCOMPARE(centre(ApplicationIconProvider::icon(bundle, QStringLiteral("1"))), QColor(Qt::red));
        QCOMPARE(centre(ApplicationIconProvider::icon(bundle, QStringLiteral("2"))), QColor(Qt::green));
    }
};

QTEST_MAIN(TestApplicationIcons)
#include "tst_applicationicons.moc"
