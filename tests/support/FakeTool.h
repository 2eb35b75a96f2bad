#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace norvelle::test {

// A scripted stand-in for the `brew` and `mas` command-line tools.
//
// The constructor copies tests/support/fake-tool (a Python 3 script) into a fresh temporary
// folder as two executables, `brew` and `mas`. Point the code under test at brewPath() and
// masPath() (or at directory() + "/<name>" for other names added with installAs). Before running
// the code, tell the tool how to answer with respond(); afterwards read what the code ran with
// calls(). Every call is recorded, including calls that hang, crash or match no response
// (those write "fake-tool: no response for <tool> <args>" to standard error and exit with 97).
//
//     FakeTool tool;
//     tool.respond("brew", {"list", "--cask"}, FakeTool::Response().withStandardOutput("firefox\n"));
//     tool.respond("brew", {"upgrade", "--cask", "firefox", "--verbose"},
//                  FakeTool::Response()
//                      .withLine("==> Downloading x\n")
//                      .withLine("==> Installing y\n", false, 0.05)); // after 50 ms
//     ... run code with tool.brewPath() ...
//     QCOMPARE(tool.calls("brew").size(), 2);
//     QCOMPARE(tool.calls().first().environment.value("HOMEBREW_NO_AUTO_UPDATE"), "1");
//
// Descendants started through Response::descendantSeconds are killed when the FakeTool goes.
class FakeTool {
public:
    // Bytes written as they are: add the "\n" yourself, leave it out for a partial line.
    struct Line {
        QByteArray text;
        bool toStandardError = false;
        double delaySeconds = 0; // pause before this line
    };

    // What one call does, in this order: read standard input (if asked), start the descendant
    // (if asked), wait delaySeconds, write standardOutput, then standardError, then each line,
    // then crash, hang, or exit with exitCode. Build it with the chainable setters:
    //     FakeTool::Response().withStandardOutput("x\n").withExitCode(2)
    struct Response {
        QByteArray standardOutput;
        QByteArray standardError;
        QList<Line> lines;
        int exitCode = 0;
        double delaySeconds = 0;
        int crashSignal = 0;          // non-zero: the tool kills itself with this signal
        bool hang = false;            // never exits by itself
        double descendantSeconds = 0; // non-zero: a child sleeping this long keeps both pipes open
        bool readStandardInput = false;

        Response& withStandardOutput(const QByteArray& bytes)
        {
            standardOutput = bytes;
            return *this;
        }
        Response& withStandardError(const QByteArray& bytes)
        {
            standardError = bytes;
            return *this;
        }
        Response& withLine(const QByteArray& text, bool toStandardError = false, double delay = 0)
        {
            lines.append(Line{text, toStandardError, delay});
            return *this;
        }
        Response& withExitCode(int code)
        {
            exitCode = code;
            return *this;
        }
        Response& withDelay(double seconds)
        {
            delaySeconds = seconds;
            return *this;
        }
        Response& withCrash(int signalNumber)
        {
            crashSignal = signalNumber;
            return *this;
        }
        Response& withHang()
        {
            hang = true;
            return *this;
        }
        Response& withDescendant(double seconds)
        {
            descendantSeconds = seconds;
            return *this;
        }
        Response& withStandardInputRead()
        {
            readStandardInput = true;
            return *this;
        }
    };

    // One recorded call.
    struct Call {
        QString tool;
        QStringList arguments;
        qint64 pid = 0;
        bool sessionLeader = false; // the tool ran in a session of its own
        bool stdinIsTerminal = false;
        QMap<QString, QString> environment;      // the recorded variables that were set, with values
        std::optional<QByteArray> standardInput; // what it read, when readStandardInput was set
        qint64 descendantPid = 0;
    };

    FakeTool();
    ~FakeTool();
    FakeTool(const FakeTool&) = delete;
    FakeTool& operator=(const FakeTool&) = delete;

    bool isValid() const { return m_valid; }
    QString directory() const { return m_dir.path(); }
    QString brewPath() const { return path(QStringLiteral("brew")); }
    QString masPath() const { return path(QStringLiteral("mas")); }
    QString path(const QString& tool) const { return m_dir.path() + QLatin1Char('/') + tool; }

    // Installs one more copy under another name (for example a second brew location).
    bool installAs(const QString& tool);

    // Answers calls of `tool` with exactly these arguments. Earlier responses win over later ones;
    // exact responses win over respondToAnyArguments.
    void respond(const QString& tool, const QStringList& arguments, const Response& response);
    void respondToAnyArguments(const QString& tool, const Response& response);
    void clearResponses();

    // The environment variables each call records (default: the three HOMEBREW_NO_* variables).
    void setRecordedEnvironment(const QStringList& names);

    QList<Call> calls() const;
    QList<Call> calls(const QString& tool) const;
    void clearCalls();

private:
    struct Entry {
        QString tool;
        std::optional<QStringList> arguments;
        Response response;
    };

    void writeScript() const;

    QTemporaryDir m_dir;
    bool m_valid = false;
    QList<Entry> m_exact;
    QList<Entry> m_any;
    QStringList m_recordedEnvironment;
};

} // namespace norvelle::test
