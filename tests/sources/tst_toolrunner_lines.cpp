#include "sources/OutputLineReader.h"
#include "sources/ToolRunner.h"

#include "LogCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using norvelle::test::LogCapture;

using Family = ToolRunner::Family;
using Lines = QList<QPair<QString, double>>;
Q_DECLARE_METATYPE(Lines)
Q_DECLARE_METATYPE(norvelle::ToolRunner::Family)

class TestToolRunnerLines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each family reads its own keywords: the same words can mean different progress.
    void keywords_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("fraction");
        const auto brew = [](const char* name, const QString& line, double fraction) {
            QTest::newRow(qPrintable(QStringLiteral("brew ") + name)) << Family::brew << line << fraction;
        };
        const auto mas = [](const char* name, const QString& line, double fraction) {
            QTest::newRow(qPrintable(QStringLiteral("mas ") + name)) << Family::mas << line << fraction;
        };
        brew("arrow downloading", "==> Downloading https://example.com/a.dmg", 0.3);
        brew("installing and downloading", "Installing while Downloading", 0.3);
        brew("lower-case downloading", "downloading", 0.0);
        brew("downloaded", "==> Downloaded to cache", 0.5);
        brew("installing", "==> Installing Cask firefox", 0.7);
        brew("moving", "==> Moving App 'Firefox.app'", 0.9);
        brew("linking", "==> Linking Binary 'x'", 0.9);
        brew("successfully", "firefox was successfully upgraded!", 1.0);
        brew("complete", "Upgrade complete", 1.0);
        brew("installed only", "Installed", 0.0);
        brew("nothing", "==> Purging files", 0.0);
        brew("empty", "", 0.0);
        mas("downloading", "==> Downloading Xcode", 0.3);
        mas("lower-case downloading", "downloading", 0.3);
        mas("downloaded and download", "Downloaded the download", 0.3);
        mas("downloaded", "==> Downloaded Xcode", 0.5);
        mas("installing", "==> Installing Xcode", 0.7);
        mas("lower-case installed", "installed", 0.7);
        mas("capital Installed", "==> Installed Xcode", 0.0);
        mas("complete", "Upgrade complete", 1.0);
        mas("successfully", "Upgraded successfully", 1.0);
        mas("nothing", "Warning: something", 0.0);
    }
    void keywords()
    {
        QFETCH(Family, family);
        QFETCH(QString, line);
        QFETCH(double, fraction);
        QCOMPARE(family == Family::brew ? ToolRunner::brewProgressForOutputLine(line)
                                        : ToolRunner::masProgressForOutputLine(line),
                 fraction);
        QCOMPARE(ToolRunner(family).progressForOutputLine(line), fraction);
    }

    void lineReader_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<Lines>("expected");
        QTest::newRow("lf") << QList<QByteArray>{"a\nb\n"} << Lines{{"a", 0.0}, {"b", 0.0}};
        QTest::newRow("crlf") << QList<QByteArray>{"==> Installing x\r\nb\r\n"}
                              << Lines{{"==> Installing x", 0.7}, {"b", 0.0}};
        QTest::newRow("partial lines across chunks")
            << QList<QByteArray>{"Down", "loading x\nIns", "talling", "\n"}
            << Lines{{"Downloading x", 0.3}, {"Installing", 0.7}};
        QTest::newRow("character split across chunks")
            << QList<QByteArray>{"caf\xC3", "\xA9\n"} << Lines{{QString::fromUtf8("caf\xC3\xA9"), 0.0}};
        QTest::newRow("invalid utf-8 dropped")
            << QList<QByteArray>{"ok\n\xFF\xFE\nx\xC3\nnext\n"} << Lines{{"ok", 0.0}, {"next", 0.0}};
        QTest::newRow("blank lines dropped") << QList<QByteArray>{"   \n\t\r\n\n"} << Lines{};
        QTest::newRow("trimmed both ends")
            << QList<QByteArray>{"\xC2\xA0 x y \xE2\x80\xA8\t\n"} << Lines{{"x y", 0.0}};
        QTest::newRow("trailing text gets 1.0")
            << QList<QByteArray>{"a\n", "Downloading x"} << Lines{{"a", 0.0}, {"Downloading x", 1.0}};
        QTest::newRow("trailing blank ignored") << QList<QByteArray>{"a\n \r"} << Lines{{"a", 0.0}};
        QTest::newRow("trailing invalid ignored") << QList<QByteArray>{"a\n\xE2\x82"} << Lines{{"a", 0.0}};
        QTest::newRow("nothing") << QList<QByteArray>{} << Lines{};
    }
    void lineReader()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(Lines, expected);
        LogCapture log;
        Lines got;
        OutputLineReader reader(QStringLiteral("Brew output: "), &ToolRunner::brewProgressForOutputLine,
                                [&got](const QString& line, double fraction) {
                                    got.append({line, fraction});
                                });
        for (const QByteArray& chunk : chunks)
            reader.feed(chunk);
        reader.finish();
        reader.feed("late\n");
        reader.finish();
        QCOMPARE(got, expected);
        QStringList debugLines;
        for (const auto& [level, message] : log.lines())
            if (level == Logger::Level::debug)
                debugLines.append(message);
        QStringList expectedLog;
        for (const auto& [line, fraction] : expected)
            expectedLog.append(QStringLiteral("Brew output: ") + line);
        QCOMPARE(debugLines, expectedLog);
    }

    void executableSelection()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath("opt/brew");
        const QString second = dir.filePath("usr/brew");
        const QStringList candidates{first, second};
        QCOMPARE(ToolRunner::brewExecutable(candidates), second);
        QCOMPARE(ToolRunner::masExecutable(candidates), std::nullopt);
        QVERIFY(QDir().mkpath(dir.filePath("usr")));
        QVERIFY(touch(second));
        QCOMPARE(ToolRunner::masExecutable(candidates), std::optional<QString>(second));
        // Tested afresh on every call: a tool that appears later is found.
        QVERIFY(QDir().mkpath(dir.filePath("opt")));
        QVERIFY(touch(first));
        QCOMPARE(ToolRunner::brewExecutable(candidates), first);
        QCOMPARE(ToolRunner::masExecutable(candidates), std::optional<QString>(first));
        QVERIFY(QFile::remove(first));
        QCOMPARE(ToolRunner::brewExecutable(candidates), second);
        QCOMPARE(ToolRunner::brewExecutable({}), QString());
    }

private:
    static bool touch(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    }
};

QTEST_GUILESS_MAIN(TestToolRunnerLines)
#include "tst_toolrunner_lines.moc"
