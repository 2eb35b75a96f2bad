#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "UpdaterArchiveBuilder.h"
#include "platform/updater/ArchiveExtractor.h"
#include "platform/updater/UpdaterError.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace norvelle;
using norvelle::test::AsUser;
using norvelle::test::FileSizeLimit;
using norvelle::test::readFile;
using norvelle::test::UpdaterArchiveBuilder;
using Format = UpdaterArchiveBuilder::Format;

Q_DECLARE_METATYPE(UpdaterArchiveBuilder::Format)

class ArchiveExtractorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void kindFromName_data();
    void kindFromName();
    void pathAndLinkRules_data();
    void pathAndLinkRules();
    void extractsEveryFormat_data();
    void extractsEveryFormat();
    void refusesHostileEntries_data();
    void refusesHostileEntries();
    void failsOnGarbage();
    void failsUnlessEveryByteIsWritten_data();
    void failsUnlessEveryByteIsWritten();
    void stopsWhenAsked();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_target;
    QString archive(const UpdaterArchiveBuilder& builder, Format format);
};

void ArchiveExtractorTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_target = m_dir->filePath("target");
    QVERIFY(QDir().mkpath(m_target));
}

QString ArchiveExtractorTest::archive(const UpdaterArchiveBuilder& builder, Format format)
{
    const QString path = m_dir->filePath("update" + UpdaterArchiveBuilder::extension(format));
    if (!builder.write(path, format))
        qFatal("could not write the test archive");
    return path;
}

void ArchiveExtractorTest::kindFromName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<ArchiveExtractor::Kind>("kind");
    using K = ArchiveExtractor::Kind;
    QTest::newRow("zip") << "App-2.0.zip" << K::zip;
    QTest::newRow("upper case") << "APP.ZIP" << K::zip;
    QTest::newRow("tar") << "App.tar" << K::tar;
    QTest::newRow("tar.gz") << "App.tar.gz" << K::tar;
    QTest::newRow("tgz") << "App.tgz" << K::tar;
    QTest::newRow("tar.bz2") << "App.tar.bz2" << K::tar;
    QTest::newRow("tar.xz") << "App.tar.xz" << K::tar;
    QTest::newRow("disk image") << "App-2.0.dmg" << K::diskImage;
    QTest::newRow("package") << "App.pkg" << K::installerPackage;
    QTest::newRow("meta package") << "App.mpkg" << K::installerPackage;
    QTest::newRow("delta") << "2.0-1.9.delta" << K::delta;
    QTest::newRow("no extension") << "download" << K::unknown;
}

void ArchiveExtractorTest::kindFromName()
{
    QFETCH(QString, name);
    QFETCH(ArchiveExtractor::Kind, kind);
    QCOMPARE(ArchiveExtractor::kindForName(name), kind);
}

void ArchiveExtractorTest::pathAndLinkRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("isLink");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<bool>("safe");

    QTest::newRow("plain") << "App.app/Contents/Info.plist" << false << "" << true;
    QTest::newRow("dot prefix") << "./App.app/Contents" << false << "" << true;
    QTest::newRow("parent") << "../evil" << false << "" << false;
    QTest::newRow("parent inside") << "App.app/../../evil" << false << "" << false;
    QTest::newRow("absolute") << "/etc/evil" << false << "" << false;

    QTest::newRow("link to sibling") << "F.framework/Versions/Current" << true << "A" << true;
    QTest::newRow("link down") << "F.framework/Headers" << true << "Versions/Current/Headers" << true;
    QTest::newRow("link up inside") << "App.app/Contents/MacOS/tool" << true << "../Frameworks/x" << true;
    QTest::newRow("link to own folder") << "App.app/here" << true << "." << true;
    QTest::newRow("link absolute") << "App.app/x" << true << "/etc/passwd" << false;
    QTest::newRow("link out") << "App.app/x" << true << "../../outside" << false;
    QTest::newRow("link out at top") << "x" << true << ".." << false;
    QTest::newRow("link up through a name") << "App.app/x" << true << "Contents/../../.." << false;
    // Inside the staging folder but outside the bundle: after the swap it would reach into
    // the applications folder.
    QTest::newRow("link to another bundle")
        << "App.app/Contents/MacOS/App" << true << "../../../Other.app/Contents/MacOS/Other" << false;
    QTest::newRow("link to the folder holding the bundle") << "App.app/x" << true << ".." << false;
    QTest::newRow("link out of the bundle and back")
        << "App.app/Contents/x" << true << "../../App.app/y" << false;
    QTest::newRow("link to the bundle itself") << "App.app/Contents/x" << true << ".." << true;
    QTest::newRow("link beside the bundle") << "Alias.app" << true << "App.app" << true;
    QTest::newRow("link empty") << "App.app/x" << true << "" << false;
}

void ArchiveExtractorTest::pathAndLinkRules()
{
    QFETCH(QString, path);
    QFETCH(bool, isLink);
    QFETCH(QString, linkTarget);
    QFETCH(bool, safe);
    if (isLink)
        QCOMPARE(ArchiveExtractor::isSafeLink(path, linkTarget), safe);
    else
        QCOMPARE(ArchiveExtractor::safeRelativePath(path).has_value(), safe);
}

void ArchiveExtractorTest::extractsEveryFormat_data()
{
    QTest::addColumn<Format>("format");
    QTest::newRow("zip") << Format::zip;
    QTest::newRow("tar") << Format::tar;
    QTest::newRow("tar.gz") << Format::tarGzip;
    QTest::newRow("tar.bz2") << Format::tarBzip2;
    QTest::newRow("tar.xz") << Format::tarXz;
}

void ArchiveExtractorTest::extractsEveryFormat()
{
    QFETCH(Format, format);
    UpdaterArchiveBuilder builder;
    builder.addDirectory("App.app")
        .addDirectory("App.app/Contents")
        .addFile("App.app/Contents/Info.plist", "<plist/>")
        .addDirectory("App.app/Contents/MacOS")
        .addFile("App.app/Contents/MacOS/App", QByteArray(300000, 'x'), 04755)
        .addSymlink("App.app/Contents/MacOS/alias", "App")
        .addDirectory("__MACOSX")
        .addFile("__MACOSX/._App.app", "fork");
    if (format != Format::zip) // zip has no hard links
        builder.addHardlink("App.app/Contents/Resources/same", "App.app/Contents/MacOS/App");

    QList<double> fractions;
    ArchiveExtractor::extract(archive(builder, format), m_target, [&](double f) { fractions.append(f); });

    const QString app = m_target + "/App.app/Contents/MacOS/App";
    QCOMPARE(QFileInfo(app).size(), 300000);
    QVERIFY(QFileInfo(app).isExecutable());
    QCOMPARE(QFileInfo(m_target + "/App.app/Contents/MacOS/alias").symLinkTarget(),
             QFileInfo(app).canonicalFilePath());
    QVERIFY(!QFileInfo::exists(m_target + "/__MACOSX"));
    if (format != Format::zip) {
        struct stat original {
        }, linked{};
        QCOMPARE(::lstat(QFile::encodeName(app).constData(), &original), 0);
        QCOMPARE(
            ::lstat(QFile::encodeName(m_target + "/App.app/Contents/Resources/same").constData(), &linked),
            0);
        QCOMPARE(linked.st_ino, original.st_ino);
    }

    // Set-id bits never survive.
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(app).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07000, 0u);

    QVERIFY(!fractions.isEmpty());
    QCOMPARE(fractions.last(), 1.0);
    QVERIFY(std::is_sorted(fractions.begin(), fractions.end()));
    QCOMPARE(QSet<double>(fractions.begin(), fractions.end()).size(), fractions.size());
}

void ArchiveExtractorTest::refusesHostileEntries_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("target");

    const QString outside = QDir::tempPath() + "/norvelle-extractor-escape";
    for (Format format : {Format::zip, Format::tarGzip}) {
        const QByteArray f = format == Format::zip ? "zip: " : "tar: ";
        QTest::newRow(f + "dot-dot") << format << "file"
                                     << "../escaped"
                                     << "";
        QTest::newRow(f + "dot-dot inside") << format << "file"
                                            << "App.app/../../escaped"
                                            << "";
        QTest::newRow(f + "absolute") << format << "file" << outside << "";
        QTest::newRow(f + "symlink absolute") << format << "symlink"
                                              << "App.app/link" << outside;
        QTest::newRow(f + "symlink up and out") << format << "symlink"
                                                << "App.app/link"
                                                << "../../escaped";
        QTest::newRow(f + "symlink into a sibling bundle") << format << "symlink"
                                                           << "App.app/link"
                                                           << "../Other.app/ok";
        QTest::newRow(f + "symlink via name") << format << "symlink"
                                              << "App.app/link"
                                              << "x/../../..";
        QTest::newRow(f + "write through link") << format << "through"
                                                << "App.app/link"
                                                << "../..";
    }
    QTest::newRow("tar: hard link out") << Format::tar << "hardlink"
                                        << "App.app/hard"
                                        << "../escaped";
    QTest::newRow("tar: hard link absolute") << Format::tar << "hardlink"
                                             << "App.app/hard"
                                             << "/etc/hostname";
    QTest::newRow("tar: hard link into another bundle") << Format::tar << "hardlink"
                                                        << "App.app/hard"
                                                        << "Other.app/ok";
    // The link "../../../ok" stays in the bundle where it is, but a copy of it in the bundle's
    // top folder would point two folders above.
    QTest::newRow("tar: hard link to a symlink") << Format::tar << "hardlink"
                                                 << "App.app/hard"
                                                 << "App.app/a/b/c/s";
}

void ArchiveExtractorTest::refusesHostileEntries()
{
    QFETCH(Format, format);
    QFETCH(QString, kind);
    QFETCH(QString, path);
    QFETCH(QString, target);

    UpdaterArchiveBuilder builder;
    builder.addDirectory("App.app").addFile("App.app/ok", "fine");
    if (kind == "file")
        builder.addFile(path, "escaped");
    else if (kind == "symlink")
        builder.addSymlink(path, target);
    else if (kind == "hardlink")
        builder.addFile("Other.app/ok", "fine")
            .addSymlink("App.app/a/b/c/s", "../../../ok")
            .addHardlink(path, target);
    else // a link that looks harmless on its own, then a file written through it
        builder.addSymlink("App.app/inner", ".").addFile("App.app/inner/escaped", "escaped");

    try {
        ArchiveExtractor::extract(archive(builder, format), m_target, {});
        QFAIL("the hostile archive was extracted");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::extractionFailed);
    }
    QVERIFY(!QFileInfo::exists(m_dir->filePath("escaped")));
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/norvelle-extractor-escape"));
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/escaped"));
}

void ArchiveExtractorTest::failsOnGarbage()
{
    QFile file(m_dir->filePath("garbage.zip"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5a'));
    file.close();
    QVERIFY_THROWS_EXCEPTION(UpdaterError, ArchiveExtractor::extract(file.fileName(), m_target, {}));
    QVERIFY_THROWS_EXCEPTION(UpdaterError,
                             ArchiveExtractor::extract(m_dir->filePath("missing.zip"), m_target, {}));
}

void ArchiveExtractorTest::failsUnlessEveryByteIsWritten_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<Format>("format");
    QTest::addColumn<int>("amount");       // limit rows: the entries, or the unpacked bytes, in all
    QTest::addColumn<QString>("expected"); // empty: extracted

    const QString diskFull = "could not write \"App.app/big\": File too large";
    QTest::newRow("disk fills: zip") << "full disk" << Format::zip << 0 << diskFull;
    QTest::newRow("disk fills: tar.xz") << "full disk" << Format::tarXz << 0 << diskFull;
    QTest::newRow("bad zip CRC") << "bad crc" << Format::zip << 0 << "ZIP bad CRC";
    // The limits are 1000000 bytes and 100 entries: reaching one is fine, passing it is not.
    const QString tooManyBytes = "it unpacks to more than 1000000 bytes";
    for (Format format : {Format::tarXz, Format::zip}) {
        const QByteArray f = format == Format::zip ? "zip: " : "tar.xz: ";
        QTest::newRow(f + "bytes at the limit") << "bytes" << format << 1000000 << "";
        QTest::newRow(f + "bytes one past") << "bytes" << format << 1000001 << tooManyBytes;
    }
    // As a user: folders their owner cannot read or list are given the right to, and synced; a file
    // that cannot be read is no failure of the disk.
    QTest::newRow("folders their owner cannot read") << "locked" << Format::zip << 0 << "";
    QTest::newRow("a file its owner cannot read")
        << "unreadable" << Format::tarGzip << 0 << "it holds a file or folder that could not be opened (";
    QTest::newRow("entries at the limit") << "entries" << Format::tarGzip << 100 << "";
    QTest::newRow("entries one past")
        << "entries" << Format::tarGzip << 101 << "it holds more than 100 entries";
}

void ArchiveExtractorTest::failsUnlessEveryByteIsWritten()
{
    QFETCH(QString, variant);
    QFETCH(Format, format);
    QFETCH(int, amount);
    QFETCH(QString, expected);

    const QByteArray marker = "payload-start:";
    const QByteArray small = "fine";
    UpdaterArchiveBuilder builder;
    builder.addDirectory("App.app").addFile("App.app/small", small);
    if (variant == "entries") {
        for (int i = 2; i < amount; ++i)
            builder.addFile(QString("App.app/f%1").arg(i), "");
    } else if (variant == "locked") {
        builder.addDirectory("App.app/locked", 0).addDirectory("App.app/unlisted", 0300);
        builder.addFile("App.app/unlisted/file", small).addDirectory("App.app/unlisted/inner", 0);
    } else if (variant == "unreadable") {
        builder.addFile("App.app/secret", small, 0);
    } else if (variant == "bytes") {
        builder.addFile("App.app/big", marker + QByteArray(amount - small.size() - marker.size(), 'z'));
    } else {
        builder.addFile("App.app/big", marker + QByteArray(2000000, 'z'));
    }
    if (variant == "bad crc")
        builder.storeUncompressed();
    const QString path = archive(builder, format);
    if (variant == "bad crc") {
        QByteArray data = readFile(path);
        const qsizetype at = data.indexOf(marker);
        QVERIFY(at > 0);
        data[at + marker.size() + 1000] = 'y';
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }

    std::optional<FileSizeLimit> limit;
    if (variant == "full disk")
        limit.emplace(256 * 1024);
    ArchiveExtractor::Limits limits;
    if (variant == "bytes" || variant == "entries")
        limits = {.maxBytes = 1000000, .maxEntries = 100};
    std::optional<AsUser> user;
    if (variant == "locked" || variant == "unreadable")
        QVERIFY(user.emplace(m_dir->path()).isValid());
    try {
        ArchiveExtractor::extract(path, m_target, {}, {}, limits);
        QVERIFY2(expected.isEmpty(), "the extraction succeeded");
        QVERIFY(QFileInfo::exists(m_target + "/App.app/small"));
        QVERIFY(variant != "locked" || readFile(m_target + "/App.app/unlisted/file") == small);
    } catch (const UpdaterError& error) {
        QVERIFY2(!expected.isEmpty(), qPrintable(error.description()));
        QCOMPARE(error.kind(), UpdaterError::Kind::extractionFailed);
        QVERIFY2(error.description().contains(expected), qPrintable(error.description()));
        QVERIFY(variant != "unreadable" || error.description().endsWith("/secret: Permission denied)"));
    }
}

void ArchiveExtractorTest::stopsWhenAsked()
{
    UpdaterArchiveBuilder builder;
    builder.addFile("a", "1").addFile("b", "2");
    std::stop_source stop;
    stop.request_stop();
    QVERIFY_THROWS_EXCEPTION(UpdaterError, ArchiveExtractor::extract(archive(builder, Format::zip), m_target,
                                                                     {}, stop.get_token()));
    QVERIFY(!QFileInfo::exists(m_target + "/b"));
}

QTEST_GUILESS_MAIN(ArchiveExtractorTest)
#include "tst_updater_archiveextractor.moc"
