#include "RemoteWorld.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace norvelle::bench {

namespace {

// Long enough for the longest session the benchmarks run; the host leaves by itself after it.
constexpr int hostLifetimeSeconds = 1800;

QString readLine(FILE* stream)
{
    char* line = nullptr;
    size_t capacity = 0;
    const ssize_t length = ::getline(&line, &capacity, stream);
    QString text = length > 0 ? QString::fromUtf8(line, length).trimmed() : QString();
    std::free(line);
    return text;
}

QString describe(const cpu_set_t& set)
{
    QStringList cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set))
            cpus.append(QString::number(cpu));
    return cpus.join(u',');
}

} // namespace

QString takeHostCpus(QStringList& arguments)
{
    const QString prefix = QStringLiteral("--host-cpus=");
    QString cpus;
    for (qsizetype i = arguments.size() - 1; i >= 0; --i) {
        if (arguments.at(i).startsWith(prefix)) {
            if (cpus.isEmpty())
                cpus = arguments.at(i).mid(prefix.size());
            arguments.removeAt(i);
        }
    }
    return cpus;
}

RemoteWorld::RemoteWorld(int bundleCount, std::chrono::milliseconds roundTrip, const QString& hostCpus,
                         bool feedsDown)
{
    // By default the host gets every core this process may not use, so neither slows the other.
    QString cpus = hostCpus;
    if (cpus.isEmpty()) {
        cpu_set_t ours;
        cpu_set_t others;
        CPU_ZERO(&ours);
        CPU_ZERO(&others);
        sched_getaffinity(0, sizeof ours, &ours);
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        for (int cpu = 0; cpu < online && cpu < CPU_SETSIZE; ++cpu)
            if (!CPU_ISSET(cpu, &ours))
                CPU_SET(cpu, &others);
        if (CPU_COUNT(&others) > 0)
            cpus = describe(others);
    }

    int toHost[2];
    int fromHost[2];
    if (::pipe2(toHost, O_CLOEXEC) != 0)
        return;
    if (::pipe2(fromHost, O_CLOEXEC) != 0) {
        ::close(toHost[0]);
        ::close(toHost[1]);
        return;
    }
    // Everything the child needs is made before fork: after it only system calls are safe.
    std::vector<QByteArray> arguments{QByteArray(NORVELLE_WORLD_HOST), QByteArray::number(bundleCount),
                                      QByteArray::number(qint64(roundTrip.count())),
                                      QByteArray::number(hostLifetimeSeconds)};
    if (!cpus.isEmpty())
        arguments.push_back(cpus.toLatin1());
    if (feedsDown)
        arguments.push_back(QByteArrayLiteral("--feeds-down"));
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
        ::dup2(toHost[0], STDIN_FILENO);
        ::dup2(fromHost[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(toHost[0]);
    ::close(fromHost[1]);
    if (m_pid < 0) {
        ::close(toHost[1]);
        ::close(fromHost[0]);
        return;
    }
    m_toHost = ::fdopen(toHost[1], "w");
    m_fromHost = ::fdopen(fromHost[0], "r");
    m_valid = m_toHost && m_fromHost && readDescription();
}

RemoteWorld::~RemoteWorld()
{
    // A closed standard input asks the host to remove its world and leave.
    if (m_toHost)
        std::fclose(m_toHost);
    if (m_pid > 0) {
        int status = 0;
        pid_t ended = 0;
        for (int i = 0; i < 200 && (ended = ::waitpid(m_pid, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (ended == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
    }
    if (m_fromHost)
        std::fclose(m_fromHost);
}

bool RemoteWorld::readDescription()
{
    QProcessEnvironment environment;
    QString planFile;
    bool ready = false;
    while (!ready) {
        const QString line = readLine(m_fromHost);
        if (line.isEmpty())
            return false; // the host ended before it was ready
        if (line == QLatin1String("ready")) {
            ready = true;
        } else if (line.startsWith(QLatin1String("NORVELLE_"))) {
            environment.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
        } else if (line.startsWith(QLatin1String("cpus "))) {
            m_hostCpus = line.mid(5);
        } else if (line.startsWith(QLatin1String("plan "))) {
            planFile = line.mid(5);
        } else if (line.startsWith(QLatin1String("counts "))) {
            const QStringList n = line.split(u' ');
            if (n.size() != 9)
                return false;
            m_counts = {n[1].toInt(), n[2].toInt(), n[3].toInt(), n[4].toInt(),
                        n[5].toInt(), n[6].toInt(), n[7].toInt(), n[8].toLongLong()};
        }
    }
    QStringList problems;
    m_paths = Paths::fromEnvironment(environment, &problems);
    QFile plan(planFile);
    if (!problems.isEmpty() || !plan.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : plan.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 2)
            m_checkRequests.append({QUrl::fromEncoded(fields[0]), QUrl::fromEncoded(fields[1])});
    }
    return true;
}

QString RemoteWorld::ask(const char* command)
{
    std::lock_guard lock(m_mutex);
    if (!m_valid || std::fprintf(m_toHost, "%s\n", command) < 0 || std::fflush(m_toHost) != 0)
        return {};
    return readLine(m_fromHost);
}

qsizetype RemoteWorld::requestCount()
{
    const QString line = ask("requests");
    return line.startsWith(QLatin1String("requests ")) ? line.mid(9).toLongLong() : 0;
}

void RemoteWorld::markActivity()
{
    ask("mark");
}

double RemoteWorld::activitySeconds()
{
    const QString line = ask("span");
    return line.startsWith(QLatin1String("span ")) ? line.mid(5).toDouble() : 0.0;
}

} // namespace norvelle::bench
