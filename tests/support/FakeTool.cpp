#include "FakeTool.h"

#include "TestConfig.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <signal.h>

namespace norvelle::test {

namespace {

const QString kScriptName = QStringLiteral("fake-tool.json");
const QString kLogName = QStringLiteral("calls.jsonl");

QJsonObject toJson(const QString& tool, const std::optional<QStringList>& arguments,
                   const FakeTool::Response& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("tool"), tool);
    if (arguments)
        o.insert(QStringLiteral("args"), QJsonArray::fromStringList(*arguments));
    o.insert(QStringLiteral("stdoutBase64"), QString::fromLatin1(r.standardOutput.toBase64()));
    o.insert(QStringLiteral("stderrBase64"), QString::fromLatin1(r.standardError.toBase64()));
    QJsonArray lines;
    for (const FakeTool::Line& line : r.lines) {
        QJsonObject l;
        l.insert(QStringLiteral("base64"), QString::fromLatin1(line.text.toBase64()));
        l.insert(QStringLiteral("stream"),
                 line.toStandardError ? QStringLiteral("stderr") : QStringLiteral("stdout"));
        l.insert(QStringLiteral("delay"), line.delaySeconds);
        lines.append(l);
    }
    o.insert(QStringLiteral("lines"), lines);
    o.insert(QStringLiteral("exit"), r.exitCode);
    o.insert(QStringLiteral("delay"), r.delaySeconds);
    if (r.crashSignal != 0)
        o.insert(QStringLiteral("crash"), r.crashSignal);
    o.insert(QStringLiteral("hang"), r.hang);
    o.insert(QStringLiteral("descendant"), r.descendantSeconds);
    o.insert(QStringLiteral("readStdin"), r.readStandardInput);
    return o;
}

// A recorded descendant pid is only signalled while it still is our sleeping child, never a
// process that reused the number.
bool isOurDescendant(qint64 pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return !QFile::exists(QStringLiteral("/proc/self"));
    return cmdline.readAll().contains("time.sleep");
}

} // namespace

FakeTool::FakeTool()
    : m_recordedEnvironment{QStringLiteral("HOMEBREW_NO_AUTO_UPDATE"),
                            QStringLiteral("HOMEBREW_NO_INSTALL_CLEANUP"),
                            QStringLiteral("HOMEBREW_NO_ENV_HINTS")}
{
    m_valid = m_dir.isValid() && installAs(QStringLiteral("brew")) && installAs(QStringLiteral("mas"));
    writeScript();
}

FakeTool::~FakeTool()
{
    for (const Call& call : calls())
        if (call.descendantPid > 0 && isOurDescendant(call.descendantPid))
            ::kill(static_cast<pid_t>(call.descendantPid), SIGKILL);
}

bool FakeTool::installAs(const QString& tool)
{
    const QString target = path(tool);
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(NORVELLE_TEST_SUPPORT_DIR "/fake-tool"), target))
        return false;
    return QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                             QFile::ExeOther);
}

void FakeTool::respond(const QString& tool, const QStringList& arguments, const Response& response)
{
    m_exact.append({tool, arguments, response});
    writeScript();
}

void FakeTool::respondToAnyArguments(const QString& tool, const Response& response)
{
    m_any.append({tool, std::nullopt, response});
    writeScript();
}

void FakeTool::clearResponses()
{
    m_exact.clear();
    m_any.clear();
    writeScript();
}

void FakeTool::setRecordedEnvironment(const QStringList& names)
{
    m_recordedEnvironment = names;
    writeScript();
}

void FakeTool::writeScript() const
{
    QJsonArray responses;
    for (const Entry& e : m_exact)
        responses.append(toJson(e.tool, e.arguments, e.response));
    for (const Entry& e : m_any)
        responses.append(toJson(e.tool, e.arguments, e.response));
    QJsonObject script;
    script.insert(QStringLiteral("log"), m_dir.filePath(kLogName));
    script.insert(QStringLiteral("recordEnvironment"), QJsonArray::fromStringList(m_recordedEnvironment));
    script.insert(QStringLiteral("responses"), responses);
    // Written atomically: a tool started by an earlier test step may still be reading it.
    QSaveFile file(m_dir.filePath(kScriptName));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(script).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

QList<FakeTool::Call> FakeTool::calls() const
{
    QList<Call> result;
    QFile log(m_dir.filePath(kLogName));
    if (!log.open(QIODevice::ReadOnly))
        return result;
    const QList<QByteArray> lines = log.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        Call call;
        call.tool = o.value(QStringLiteral("tool")).toString();
        for (const QJsonValue& a : o.value(QStringLiteral("args")).toArray())
            call.arguments.append(a.toString());
        call.pid = o.value(QStringLiteral("pid")).toInteger();
        call.sessionLeader = o.value(QStringLiteral("sessionLeader")).toBool();
        call.stdinIsTerminal = o.value(QStringLiteral("stdinIsTerminal")).toBool();
        const QJsonObject env = o.value(QStringLiteral("environment")).toObject();
        for (auto it = env.begin(); it != env.end(); ++it)
            if (it.value().isString())
                call.environment.insert(it.key(), it.value().toString());
        if (o.contains(QStringLiteral("stdin")))
            call.standardInput =
                QByteArray::fromBase64(o.value(QStringLiteral("stdin")).toString().toLatin1());
        call.descendantPid = o.value(QStringLiteral("descendantPid")).toInteger();
        result.append(call);
    }
    return result;
}

QList<FakeTool::Call> FakeTool::calls(const QString& tool) const
{
    QList<Call> result;
    for (const Call& call : calls())
        if (call.tool == tool)
            result.append(call);
    return result;
}

void FakeTool::clearCalls()
{
    QFile::remove(m_dir.filePath(kLogName));
}

} // namespace norvelle::test
