#include "platform/file/SafeFile.h"

#include "FileSizeLimit.h"
#include "TempRoot.h"
#include "TestFiles.h"

#include <QFile>
#include <QTest>
#include <sys/stat.h>

using namespace norvelle;
using namespace norvelle::test;

class TestSafeFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsOnlyRegularFilesWithinTheLimit_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("readable");
        QTest::newRow("regular file") << "regular" << true;
        QTest::newRow("empty file") << "empty" << true;
        QTest::newRow("exactly the limit") << "limit" << true;
        QTest::newRow("link to a regular file") << "link" << true;
        QTest::newRow("one byte past the limit") << "large" << false;
        // Neither may block nor grow memory without end.
        QTest::newRow("fifo without a writer") << "fifo" << false;
        QTest::newRow("link to /dev/zero") << "zero" << false;
        QTest::newRow("directory") << "directory" << false;
        QTest::newRow("missing") << "missing" << false;
    }
    void readsOnlyRegularFilesWithinTheLimit()
    {
        QFETCH(QString, kind);
        QFETCH(bool, readable);
        TempRoot root;
        const QString path = root.filePath("target");
        const QByteArray content = kind == "empty" ? QByteArray() : QByteArray(kind == "large" ? 65 : 64, 'x');
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "directory") {
            root.makeDirectory("target");
        } else if (kind == "link") {
            QVERIFY(!root.writeFile("real", content).isEmpty());
            QVERIFY(QFile::link(root.filePath("real"), path));
        } else if (kind != "missing") {
            QVERIFY(!root.writeFile("target", content).isEmpty());
        }

        QString error;
        const std::optional<QByteArray> data = SafeFile::readRegularFile(path, 64, &error);
        QCOMPARE(data.has_value(), readable);
        if (data)
            QCOMPARE(*data, content);
        else
            QVERIFY(!error.isEmpty());
    }

    void failedWriteKeepsTheOldFile()
    {
        TempRoot root;
        const QString path = root.writeFile("list.json", "old content");
        const QStringList before = entriesIn(root.path());
        QString error;
        {
            const FileSizeLimit fullDisk(8);
            QVERIFY(!SafeFile::writeAtomically(path, QByteArray(4096, 'n'), &error));
        }
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(path), QByteArray("old content"));
        QCOMPARE(entriesIn(root.path()), before);

        QVERIFY(SafeFile::writeAtomically(path, "new content", &error));
        QCOMPARE(readFile(path), QByteArray("new content"));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
