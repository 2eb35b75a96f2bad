#include "FileSizeLimit.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "UpdaterFixture.h"
#include "platform/file/FolderLock.h"
#include "platform/updater/BundleInstaller.h"
#include "platform/updater/DiskSync.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/InstallStaging.h"
#include "platform/updater/UpdaterError.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

using namespace norvelle;
using norvelle::test::AsUser;
using norvelle::test::entriesIn;
using norvelle::test::FileSizeLimit;
using norvelle::test::LogCapture;
using norvelle::test::readFile;
using norvelle::test::UpdaterFixture;

// Removal steps this thread may still take, when counted: once none are left, every unlink (and,
// where renames count, every rename) fails and nothing changes any more, as if the process had been
// killed there.
static thread_local int t_stepsLeft = -1;
static thread_local bool t_renamesCount = false;
static thread_local bool t_killed = false; // a step was refused
// Called at this thread's first removal step that is taken once set, to look at what the removal meets.
static thread_local std::function<void()> t_atFirstStep;

static bool stepTaken()
{
    if (t_stepsLeft < 0 || (t_stepsLeft > 0 && t_stepsLeft--))
        return true;
    t_killed = true;
    errno = EIO;
    return false;
}

extern "C" int unlinkat(int folder, const char* name, int flags) noexcept
{
    static const auto real = reinterpret_cast<decltype(&unlinkat)>(dlsym(RTLD_NEXT, "unlinkat"));
    if (!stepTaken())
        return -1;
    if (const std::function<void()> first = std::exchange(t_atFirstStep, nullptr))
        first();
    return real(folder, name, flags);
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    static const auto real = reinterpret_cast<decltype(&rename)>(dlsym(RTLD_NEXT, "rename"));
    return !t_renamesCount || stepTaken() ? real(from, to) : -1;
}

// The file system this thread's removals meet: 0 one with every kind of rename, 1 one without
// RENAME_NOREPLACE (NFS, 9p, many FUSE file systems), 2 one without hard links either.
static thread_local int t_fileSystem = 0;

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned flags) noexcept
{
    static const auto real = reinterpret_cast<decltype(&renameat2)>(dlsym(RTLD_NEXT, "renameat2"));
    if (t_renamesCount && !stepTaken())
        return -1;
    if (t_fileSystem == 0 || !(flags & RENAME_NOREPLACE))
        return real(fromFolder, from, toFolder, to, flags);
    // As the kernel answers, before it asks the file system about the flag.
    struct stat found {};
    errno = ::fstatat(fromFolder, from, &found, AT_SYMLINK_NOFOLLOW) != 0 ? ENOENT
            : ::fstatat(toFolder, to, &found, AT_SYMLINK_NOFOLLOW) == 0   ? EEXIST
                                                                          : EINVAL;
    return -1;
}

extern "C" int link(const char* from, const char* to) noexcept
{
    static const auto real = reinterpret_cast<decltype(&link)>(dlsym(RTLD_NEXT, "link"));
    if (t_fileSystem < 2)
        return real(from, to);
    errno = EPERM;
    return -1;
}

namespace {

// Fails chosen renames (counted from 1) the way a full disk or a lock would.
class FailingInstaller : public BundleInstaller {
public:
    explicit FailingInstaller(QList<int> failing) : m_failing(std::move(failing)) {}
    QStringList renames;

protected:
    bool renamePath(const QString& from, const QString& to, QString* error) override
    {
        renames.append(QFileInfo(from).fileName() + " -> " + QFileInfo(to).fileName());
        if (m_failing.contains(renames.size())) {
            *error = QStringLiteral("Input/output error");
            return false;
        }
        return BundleInstaller::renamePath(from, to, error);
    }

private:
    QList<int> m_failing;
};

// Stands for the process dying at one step of the swap (a throw skips the rollback, and the
// bundle's lock goes as the kernel drops it), sweeps the folder there as another copy would, or
// quits there.
enum class Mode { kill, sweep, quit };

class InterruptedInstaller : public BundleInstaller {
public:
    struct Killed {};
    InterruptedInstaller(QString step, Mode mode) : m_step(std::move(step)), m_mode(mode) {}
    std::stop_source quitting;

protected:
    bool renamePath(const QString& from, const QString& to, QString* error) override
    {
        interrupt(QStringLiteral("rename %1").arg(++m_renames), QFileInfo(to).absolutePath());
        return BundleInstaller::renamePath(from, to, error);
    }
    bool removeTree(const QString& path, std::stop_token stop) override
    {
        interrupt("removal", QFileInfo(path).absolutePath());
        return BundleInstaller::removeTree(path, stop);
    }

private:
    void interrupt(const QString& step, const QString& folder)
    {
        if (step != m_step)
            return;
        if (m_mode == Mode::kill)
            throw Killed{};
        if (m_mode == Mode::quit)
            quitting.request_stop();
        else
            InstallRecovery::recoverFolder(folder);
    }
    QString m_step;
    Mode m_mode;
    int m_renames = 0;
};

} // namespace

class BundleInstallerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readsBundles();
    void findsTheUpdateBundle_data();
    void findsTheUpdateBundle();
    void replacesTheBundle();
    void failedSwapLeavesTheOldBundle_data();
    void failedSwapLeavesTheOldBundle();
    void failedRollbackSaysWhereTheOldBundleIs();
    void interruptedSwapIsPutRight_data();
    void interruptedSwapIsPutRight();
    void sweepsLeftovers_data();
    void sweepsLeftovers();
    void killedRemovalIsFinishedByTheSweep_data();
    void killedRemovalIsFinishedByTheSweep();
    void toldOfWhatComesBackOnceARestoreBegan(); // before any restore of this process
    void restoresBesideThisProcessSweep();
    void removalOfTheOldCopy_data();
    void removalOfTheOldCopy();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_installed;
    QString m_update;
    std::unique_ptr<InstallStaging> m_staging;
    QStringList siblings() const { return entriesIn(m_dir->filePath("Applications")); }
    void makeLeftovers(const QStringList& present, const QString& bundle, QString& newest);
    QStringList applicationsTree() const; // Applications, and what its Utilities folder holds
    // What is left once the install has ended, its staging folder removed unless left to the sweep.
    QStringList settled()
    {
        m_staging.reset();
        return siblings();
    }
};

void BundleInstallerTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_installed = UpdaterFixture::writeBundle(m_dir->filePath("Applications"), "Sample.app",
                                              UpdaterFixture::info("org.example.sample", "1.0"), "old");
    m_update = UpdaterFixture::writeBundle(m_dir->filePath("extracted"), "Sample.app",
                                           UpdaterFixture::info("org.example.sample", "1.1"), "new");
    m_staging = std::make_unique<InstallStaging>(m_installed);
    QVERIFY(m_staging->isValid());
}

void BundleInstallerTest::readsBundles()
{
    const std::optional<UpdaterBundle> bundle = UpdaterBundle::load(m_installed);
    QVERIFY(bundle);
    QCOMPARE(bundle->identifier(), "org.example.sample");
    QCOMPARE(bundle->version(), "1.0");

    const QString shortOnly = UpdaterFixture::writeBundle(
        m_dir->path(), "Short.app",
        {{"CFBundleShortVersionString", "2.5"}, {"CFBundleVersion", 7}, {"SUEnableAutomaticChecks", false}});
    const std::optional<UpdaterBundle> other = UpdaterBundle::load(shortOnly);
    QVERIFY(other);
    QCOMPARE(other->version(), "2.5"); // a number is no bundle version string
    QVERIFY(other->contains("CFBundleVersion"));
    QCOMPARE(other->boolean("SUEnableAutomaticChecks"), std::optional<bool>(false));

    const QString binary = UpdaterFixture::writeBundle(
        m_dir->path(), "Binary.app", UpdaterFixture::info("org.example.binary", "3.1"), "bin", true);
    QCOMPARE(UpdaterBundle::load(binary)->version(), "3.1");
    QCOMPARE(UpdaterBundle::load(binary)->identifier(), "org.example.binary");

    QVERIFY(!UpdaterBundle::load(m_dir->filePath("missing.app")));
    QDir().mkpath(m_dir->filePath("Broken.app/Contents"));
    QFile broken(m_dir->filePath("Broken.app/Contents/Info.plist"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<plist><array><string>x</string></array></plist>");
    broken.close();
    QVERIFY(!UpdaterBundle::load(m_dir->filePath("Broken.app")));
}

void BundleInstallerTest::findsTheUpdateBundle_data()
{
    QTest::addColumn<QStringList>("bundles"); // name=identifier=version
    QTest::addColumn<QString>("expected");    // the chosen bundle's name, or the error's start

    QTest::newRow("same name") << QStringList{"Sample.app=org.example.sample=1.1",
                                              "Helper.app=org.example.helper=9"}
                               << "Sample.app";
    QTest::newRow("renamed") << QStringList{"Sample Pro.app=org.example.sample=2.0"} << "Sample Pro.app";
    QTest::newRow("none") << QStringList{} << "The update contains no application";
    QTest::newRow("several") << QStringList{"A.app=org.example.sample=2", "B.app=org.example.sample=2"}
                             << "The update contains several applications";
    QTest::newRow("other identifier")
        << QStringList{"Sample.app=org.example.other=2.0"}
        << "The update's bundle identifier \"org.example.other\" does not match";
    QTest::newRow("same version") << QStringList{"Sample.app=org.example.sample=1.0"}
                                  << "The update's version 1.0 is not newer than the installed version 1.0";
    QTest::newRow("older version") << QStringList{"Sample.app=org.example.sample=1.0b1"}
                                   << "The update's version 1.0b1 is not newer";
}

void BundleInstallerTest::findsTheUpdateBundle()
{
    QFETCH(QStringList, bundles);
    QFETCH(QString, expected);
    const QString folder = m_dir->filePath("candidates");
    QDir().mkpath(folder);
    for (const QString& entry : bundles) {
        const QStringList parts = entry.split('=');
        UpdaterFixture::writeBundle(folder, parts[0], UpdaterFixture::info(parts[1], parts[2]));
    }
    QFile::link(m_update, folder + "/Link.app"); // links are never candidates

    try {
        const UpdaterBundle chosen =
            BundleInstaller().findUpdateBundle(folder, *UpdaterBundle::load(m_installed));
        QCOMPARE(QFileInfo(chosen.path()).fileName(), expected);
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::bundleInvalid);
        QVERIFY2(error.description().startsWith(expected), qPrintable(error.description()));
    }
}

void BundleInstallerTest::replacesTheBundle()
{
    BundleInstaller().replace(m_installed, m_update, *m_staging);
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "new");
    QVERIFY(!QFileInfo::exists(m_update));
    QCOMPARE(settled(), QStringList{"Sample.app"}); // the old version is gone
}

void BundleInstallerTest::failedSwapLeavesTheOldBundle_data()
{
    QTest::addColumn<int>("failingRename");
    QTest::addColumn<QString>("message");
    QTest::newRow("moving aside fails")
        << 1 << "The installed application could not be moved aside: Input/output error";
    QTest::newRow("moving in fails") << 2 << "The update could not be moved into place: Input/output error";
    // Nothing could put a swap right that its record does not name.
    QTest::newRow("the record cannot be written")
        << 0 << "The update's staging folder cannot be written: Is a directory";
}

void BundleInstallerTest::failedSwapLeavesTheOldBundle()
{
    QFETCH(int, failingRename);
    QFETCH(QString, message);
    FailingInstaller installer({failingRename});
    if (failingRename == 0) // a folder where the record's new version is written
        QVERIFY(QDir().mkdir(m_staging->filePath(".install-record.new")));
    try {
        installer.replace(m_installed, m_update, *m_staging);
        QFAIL("the swap succeeded");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::installFailed);
        QCOMPARE(error.description(), message);
    }
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "old");
    QCOMPARE(settled(), QStringList{"Sample.app"});
    QCOMPARE(readFile(m_update + "/Contents/MacOS/app"), "new"); // the update stays where it was
}

void BundleInstallerTest::failedRollbackSaysWhereTheOldBundleIs()
{
    FailingInstaller installer({2, 3});
    try {
        installer.replace(m_installed, m_update, *m_staging);
        QFAIL("the swap succeeded");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::installFailed);
        const QStringList left = settled();
        QCOMPARE(left.size(), 2); // the copy, and the record that names it
        QVERIFY(left[0].startsWith(".Sample.app.old-"));
        QVERIFY(left[1].startsWith(".Sample.app.update-"));
        QVERIFY2(error.description().endsWith("it is at " + m_dir->filePath("Applications/") + left[0]),
                 qPrintable(error.description()));
    }
    InstallRecovery::recoverFolder(m_dir->filePath("Applications")); // the next start
    QCOMPARE(siblings(), QStringList{"Sample.app"});
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "old");
}

void BundleInstallerTest::interruptedSwapIsPutRight_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("mode"); // kill, sweep (another copy sweeps there) or quit
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("logged");
    const QString putBack = "Updater put back ";
    const QString removed = "Updater removed what an interrupted update left at ";
    QTest::newRow("killed between the renames") << "rename 2" << int(Mode::kill) << "old" << putBack;
    QTest::newRow("killed before removing the old copy") << "removal" << int(Mode::kill) << "new" << removed;
    QTest::newRow("swept between the renames") << "rename 2" << int(Mode::sweep) << "new" << removed;
    QTest::newRow("swept before removing the old copy") << "removal" << int(Mode::sweep) << "new" << removed;
    // The old copy is left to the next start's sweep rather than waited for.
    QTest::newRow("quit between the renames") << "rename 2" << int(Mode::quit) << "new" << removed;
    QTest::newRow("quit while removing the old copy") << "removal" << int(Mode::quit) << "new" << removed;
}

void BundleInstallerTest::interruptedSwapIsPutRight()
{
    QFETCH(QString, step);
    QFETCH(int, mode);
    QFETCH(QString, expected);
    QFETCH(QString, logged);
    // A killed install's copy, still recorded, that a sweep while the install runs must not put back.
    if (Mode(mode) == Mode::sweep) {
        const QString older =
            UpdaterFixture::writeBundle(m_dir->filePath("built"), "Sample.app",
                                        UpdaterFixture::info("org.example.sample", "0.9"), "older");
        const QString aside = m_dir->filePath("Applications/.Sample.app.old-0123456789ab");
        InstallStaging killed(m_installed);
        QVERIFY(killed.recordAside(aside, nullptr) && QDir().rename(older, aside));
        killed.leaveToSweep();
    }
    LogCapture log;
    InterruptedInstaller installer(step, Mode(mode));
    try {
        installer.replace(m_installed, m_update, *m_staging, installer.quitting.get_token());
        QVERIFY(Mode(mode) != Mode::kill);
    } catch (const InterruptedInstaller::Killed&) {
        QVERIFY(Mode(mode) == Mode::kill);
        m_staging->leaveToSweep(); // the process is gone with its locks
    } catch (const UpdaterError& error) {
        QFAIL(qPrintable(error.description()));
    }
    QVERIFY(log.lines().isEmpty()); // a running swap is nobody's leftover
    // What is left for the sweep is found by the staging folder's record; one that sweeps while the
    // install runs leaves the killed install's alone.
    QCOMPARE(settled().filter(".Sample.app.update-").size(), 1);

    InstallRecovery::recoverFolder(m_dir->filePath("Applications")); // the next start
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), expected);
    QCOMPARE(siblings(), QStringList{"Sample.app"});
    if (!logged.isEmpty())
        QVERIFY2(log.containsPrefix(logged.startsWith("Updater put back") ? Logger::Level::warning
                                                                          : Logger::Level::info,
                                    logged),
                 qPrintable(log.lines().value(0).second));
}

void BundleInstallerTest::sweepsLeftovers_data()
{
    // Folders below Applications: "*" a bundle (as an install sets one aside), "~" one whose removal
    // had begun, "@" one whose Info.plist links into it, "%" one whose Contents links out of it, "^" a
    // link to a bundle elsewhere (any of them with "#<version>"), "+" a staging folder with an
    // install's record, naming the set-aside copy after ">" (after a second ">" the copy is to be
    // removed), newer than those before it ("&" written at the same moment as the one before), "-"
    // one whose record its removal had moved out beside it, "=" a file of the user's; else a plain
    // folder. A bundle put back must be the newest record's copy.
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("locked"); // held by a running install meanwhile
    // What Sample.app is: a bundle, gone, a link to a bundle, to nothing ("dangling link"), to a folder
    // without Info.plist ("partial link") or to the newest record's copy ("link to the copy"), a file, an
    // empty folder or one without Info.plist ("partial").
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QStringList>("expected"); // empty: all stays as it was

    const QString staging = ".Sample.app.update-Ab12Cd";
    const QString aside = ".Sample.app.old-0123456789ab";
    const QString otherAside = ".Other.app.old-0123456789ab";
    const QString otherStaging = ".Other.app.update-Zz99Yy";
    QTest::newRow("staging folders of killed installs")
        << QStringList{"+" + staging, staging + "/extracted/Sample.app/Contents", "+" + otherStaging}
        << QStringList{} << "bundle" << QStringList{"Sample.app"};
    QTest::newRow("set-aside copy without its bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "gone"
        << QStringList{"Sample.app"};
    // What a quit or a kill left of a copy's removal, where the user has removed the application since.
    QTest::newRow("set-aside copy whose removal had begun, without its bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside + ">", "Utilities"} << QStringList{} << "gone"
        << QStringList{"Utilities"};
    QTest::newRow("set-aside copy that is not whole, without its bundle")
        << QStringList{"~" + aside, "+" + staging + ">" + aside, "Utilities"} << QStringList{} << "gone"
        << QStringList{"Utilities"};
    // The older copy comes first by name: a killed install's, still being removed when the later
    // install was killed between its renames.
    const QString laterAside = ".Sample.app.old-ffffffffffff", laterStaging = ".Sample.app.update-Zz00Zz";
    const QStringList twoInstalls{"*" + aside, "+" + staging + ">" + aside, "*" + laterAside,
                                  "+" + laterStaging + ">" + laterAside};
    QTest::newRow("set-aside copies of two installs without their bundle")
        << twoInstalls << QStringList{} << "gone" << QStringList{"Sample.app"};
    QTest::newRow("set-aside copies of two installs, the later one not whole, without their bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside, "~" + laterAside,
                       "+" + laterStaging + ">" + laterAside, "Utilities"}
        << QStringList{} << "gone" << QStringList{"Utilities"};
    // The newest record decides, whatever it says: the application was in place after the older
    // install, and the user has removed it since.
    QTest::newRow(
        "an older install's whole copy, a later one's whose removal had begun, without their bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside, "~" + laterAside,
                       "+" + laterStaging + ">" + laterAside + ">", "Utilities"}
        << QStringList{} << "gone" << QStringList{"Utilities"};
    QTest::newRow("set-aside copies of two installs recorded at the same moment, the first by name not whole")
        << QStringList{"~" + aside, "+" + staging + ">" + aside, "*" + laterAside,
                       "&" + laterStaging + ">" + laterAside}
        << QStringList{} << "gone" << QStringList{"Sample.app"};
    // Whole as discovery and the update read it, through the link, also where it decides a tie.
    QTest::newRow("set-aside copies of two installs recorded at the same moment, the later by name whole "
                  "through a link")
        << QStringList{"~" + aside, "+" + staging + ">" + aside, "@" + laterAside,
                       "&" + laterStaging + ">" + laterAside}
        << QStringList{} << "gone" << QStringList{"Sample.app"};
    // Of two whole copies recorded at the same moment, the newer version, though its name sorts later.
    QTest::newRow("whole copies of two installs recorded at the same moment, the later by name newer")
        << QStringList{"*" + aside + "#1.9", "+" + staging + ">" + aside, "*" + laterAside + "#1.10",
                       "&" + laterStaging + ">" + laterAside}
        << QStringList{} << "gone" << QStringList{"Sample.app"};
    // Once one copy of a moment has come back, the others of that moment go, whatever came back.
    QTest::newRow("a whole copy and a set-aside link recorded at the same moment, without their bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside, "^" + laterAside + "#2",
                       "&" + laterStaging + ">" + laterAside}
        << QStringList{} << "gone" << QStringList{"Sample.app"};
    // The record that decides goes last: until the others have gone, it says that they are not to
    // come back.
    QTest::newRow("an older install's whole copy, a later one's link, the later first by name")
        << QStringList{"*" + laterAside, "+" + laterStaging + ">" + laterAside, "^" + aside,
                       "+" + staging + ">" + aside}
        << QStringList{} << "gone" << QStringList{"Sample.app"};
    // Nor after a failure: while a copy stays, so does the record that says it is not to come back.
    QTest::newRow("an older install's whole copy whose record cannot be rewritten, a later one's link")
        << QStringList{"*" + laterAside, "+" + laterStaging + ">" + laterAside,
                       laterStaging + "/.install-record.new", "^" + aside, "+" + staging + ">" + aside}
        << QStringList{} << "gone" << QStringList{laterAside, staging, laterStaging, "Sample.app"};
    // An application placed as a link is set aside as that link; nothing it points at is removed.
    QTest::newRow("set-aside link without its bundle")
        << QStringList{"^" + aside, "+" + staging + ">" + aside} << QStringList{} << "gone"
        << QStringList{"Sample.app"};
    QTest::newRow("set-aside link whose removal had begun, beside its bundle")
        << QStringList{"^" + aside, "+" + staging + ">" + aside + ">"} << QStringList{} << "bundle"
        << QStringList{"Sample.app"};
    QTest::newRow("set-aside copy whose Contents is a link, beside its bundle")
        << QStringList{"%" + aside, "+" + staging + ">" + aside} << QStringList{} << "bundle"
        << QStringList{"Sample.app"};
    QTest::newRow("set-aside copies of two installs beside a dangling link")
        << twoInstalls << QStringList{} << "dangling link"
        << QStringList{laterAside, laterStaging, "Sample.app"};
    QTest::newRow("set-aside copy beside its bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "bundle"
        << QStringList{"Sample.app"};
    // A link that leads to a whole application is that application, as discovery lists it.
    QTest::newRow("set-aside copy beside a link to a bundle")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "link"
        << QStringList{"Sample.app"};
    QTest::newRow("set-aside copy beside a link to it")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "link to the copy"
        << QStringList{};
    // No swap leaves another link or a file: the copy may be all there is of the application.
    QTest::newRow("set-aside copy beside a link to a folder without Info.plist")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "partial link"
        << QStringList{};
    QTest::newRow("set-aside copy beside a file")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "file" << QStringList{};
    // Only a whole application at the name is the application. An empty folder there holds nothing
    // to lose: the copy takes its place. Another is the user's, and the copy waits for the name.
    QTest::newRow("set-aside copy beside an empty folder")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "empty"
        << QStringList{"Sample.app"};
    QTest::newRow("set-aside copy beside a folder without Info.plist")
        << QStringList{"*" + aside, "+" + staging + ">" + aside} << QStringList{} << "partial"
        << QStringList{};
    QTest::newRow("in a folder of the applications folder")
        << QStringList{"*Utilities/.Tool.app.old-0123456789ab",
                       "+Utilities/.Tool.app.update-Ab12Cd>.Tool.app.old-0123456789ab"}
        << QStringList{} << "bundle" << QStringList{"Sample.app", "Utilities", "Utilities/Tool.app"};
    QTest::newRow("a running install's")
        << QStringList{"+" + staging, "*" + otherAside, "+" + otherStaging + ">" + otherAside}
        << QStringList{staging, otherStaging} << "bundle" << QStringList{};
    // A killed install's copy waits while another install of the bundle runs, which holds its
    // staging folder throughout and the copy it sets aside until that is gone: each tells alone.
    const QString runningAside = ".Sample.app.old-aaaaaaaaaaaa", runningStaging = ".Sample.app.update-Rr22Qq";
    QTest::newRow("a killed install's copy while another sets the bundle aside")
        << QStringList{"*" + aside, "+" + staging + ">" + aside, "*" + runningAside}
        << QStringList{runningAside} << "gone" << QStringList{};
    QTest::newRow("a killed install's copy while another downloads")
        << QStringList{"*" + aside, "+" + staging + ">" + aside, "+" + runningStaging}
        << QStringList{runningStaging} << "bundle" << QStringList{};
    // Shaped like an install's but without its record, or recording what is not its copy, or of
    // other shapes (the user's, another updater's).
    QTest::newRow("no record") << QStringList{"*" + aside, staging + "/keep", "*.Bar.app.old-0123456789ab"}
                               << QStringList{} << "gone" << QStringList{};
    // A removal moves the record out only once the folder is empty.
    QTest::newRow("record moved out beside a folder that is not empty")
        << QStringList{"-" + staging, staging + "/keep"} << QStringList{} << "bundle" << QStringList{};
    QTest::newRow("record moved out beside an empty folder a removal holds")
        << QStringList{"-" + staging} << QStringList{staging} << "bundle" << QStringList{};
    QTest::newRow("a user's file named as a moved-out record, beside an empty folder")
        << QStringList{staging, "=" + staging + ".install-record"} << QStringList{} << "bundle"
        << QStringList{};
    // Its removal must not replace the file to move its own record out; a later sweep finishes it.
    QTest::newRow("a user's file named as a staging folder's moved-out record")
        << QStringList{"+" + staging, "=" + staging + ".install-record"} << QStringList{} << "bundle"
        << QStringList{};
    QTest::newRow("record naming another bundle's copy")
        << QStringList{"*" + otherAside, "+" + staging + ">" + otherAside} << QStringList{} << "bundle"
        << QStringList{otherAside, "Sample.app"};
    QTest::newRow("not an update's") << QStringList{".Sample.app.old-",
                                                    "Sample.app.old-1",
                                                    ".notes.old-1",
                                                    ".Sample.app.updates",
                                                    "+.Sample.app.old-backup",
                                                    "+.Sample.app.update-mine",
                                                    "+.Sample.app.update-Ab12Cd9",
                                                    "+Utilities/.Font Shelf.app.update-mine"}
                                     << QStringList{} << "bundle" << QStringList{};
}

// Builds the folders a row of sweepsLeftovers names below Applications, with Sample.app as `bundle`
// says; newest is the set-aside copy that the newest record names.
void BundleInstallerTest::makeLeftovers(const QStringList& present, const QString& bundle, QString& newest)
{
    const QString applications = m_dir->filePath("Applications");
    m_staging.reset();
    if (bundle != "bundle")
        QVERIFY(QDir(m_installed).removeRecursively());
    // A folder of the user's at the name, or where a link there leads.
    const QString users = bundle == "partial link" ? m_dir->filePath("Partial.app") : m_installed;
    if (bundle == "empty" || bundle.startsWith("partial"))
        QVERIFY(QDir().mkpath(users + (bundle == "empty" ? "" : "/Contents/MacOS")));
    const QString linked = bundle == "link" ? m_update : bundle == "partial link" ? users : "Gone.app";
    QVERIFY(!bundle.endsWith("link") || QFile::link(linked, m_installed));
    if (bundle == "file") {
        QFile file(m_installed);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    time_t written = 0;
    int builds = 0;
    for (QString path : present) {
        if (QStringLiteral("*~@%^").contains(path.front())) { // a bundle renamed as an install sets it aside
            const QChar kind = path.front();
            const QString version = path.contains('#') ? path.section('#', 1) : "1";
            path = path.mid(1).section('#', 0, 0);
            const QString built =
                UpdaterFixture::writeBundle(m_dir->filePath("built"), QString("X%1.app").arg(++builds),
                                            UpdaterFixture::info("org.example.x", version), path.toUtf8());
            const QString plist = built + "/Contents/Info.plist", target = applications + "/" + path;
            QVERIFY(kind != '~' || QFile::remove(plist));
            QVERIFY(kind != '@' ||
                    (QDir().rename(plist, built + "/Contents/Info") && QFile::link("Info", plist)));
            QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
            if (kind == '^')
                QVERIFY(QFile::link(built, target));
            else if (kind == '%')
                QVERIFY(QDir().mkpath(target) && QFile::link(built + "/Contents", target + "/Contents"));
            else
                QVERIFY(QDir().rename(built, target));
        } else if (QStringLiteral("+-&").contains(path.front())) { // a killed install's staging folder
            const QStringList parts = path.mid(1).split('>');
            const QString folder = QFileInfo(applications + "/" + parts[0]).absolutePath();
            const QString bundleName = parts[0].section('/', -1).section(".app", 0, 0).mid(1) + ".app";
            QVERIFY(QDir().mkpath(folder));
            InstallStaging made(folder + "/" + bundleName);
            QVERIFY(made.isValid());
            if (parts.size() > 1) {
                QVERIFY(made.recordAside(folder + "/" + parts[1], nullptr));
                QVERIFY(parts.size() < 3 || made.recordRemoval(folder + "/" + parts[1], nullptr));
                newest = parts[1];
                // Written a second apart, whatever the file system's clock granularity.
                written = path.startsWith('&') ? written : 1'000'000'000 + present.indexOf(path);
                const timespec times[2] = {{0, UTIME_OMIT}, {written, 0}};
                QCOMPARE(::utimensat(AT_FDCWD,
                                     QFile::encodeName(made.filePath(".install-record")).constData(), times,
                                     0),
                         0);
            }
            made.leaveToSweep();
            if (path.startsWith('-'))
                QVERIFY(QDir().rename(made.filePath(".install-record"),
                                      applications + "/" + parts[0] + ".install-record"));
            QVERIFY(QDir().rename(made.path(), applications + "/" + parts[0]));
        } else if (path.startsWith('=')) {
            QFile file(applications + "/" + path.mid(1));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine") == 4);
        } else {
            QVERIFY(QDir().mkpath(applications + "/" + path));
        }
    }
    QVERIFY(bundle != "link to the copy" || QFile::link(newest, m_installed));
}

QStringList BundleInstallerTest::applicationsTree() const
{
    const QString applications = m_dir->filePath("Applications");
    QStringList found;
    for (const QString& entry : entriesIn(applications)) {
        found.append(entry);
        for (const QString& inner :
             entry == "Utilities" ? entriesIn(applications + "/Utilities") : QStringList())
            found.append("Utilities/" + inner);
    }
    found.sort();
    return found;
}

void BundleInstallerTest::sweepsLeftovers()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, locked);
    QFETCH(QString, bundle);
    QFETCH(QStringList, expected);
    // A start killed after each number of steps in turn, then the next start, which finishes it.
    // What is put back is put back before anything is removed.
    for (int steps = 0; t_killed || steps == 0; ++steps) {
        init();
        const QString applications = m_dir->filePath("Applications");
        QString newest;
        makeLeftovers(present, bundle, newest);
        if (QTest::currentTestFailed())
            return;
        std::list<FolderLock> locks;
        for (const QString& path : locked)
            QVERIFY(locks.emplace_back(applications + "/" + path).isHeld());
        const QStringList before = applicationsTree();

        bool missingAtFirstRemoval = false;
        t_atFirstStep = [&] { missingAtFirstRemoval = !QFileInfo::exists(m_installed); };
        t_killed = false;
        t_stepsLeft = steps;
        t_renamesCount = true;
        InstallRecovery::recoverApplications(applications);
        t_renamesCount = false;
        t_stepsLeft = -1;
        t_atFirstStep = nullptr;
        LogCapture log;
        InstallRecovery::recoverApplications(applications);

        const QString at = QString::number(steps) + " steps: ";
        QVERIFY2(applicationsTree() == (expected.isEmpty() ? before : expected),
                 qPrintable(at + applicationsTree().join(", ")));
        for (const QString& target : entriesIn(m_dir->filePath("built"))) // what links here point at stays
            QVERIFY(QFileInfo::exists(m_dir->filePath("built/" + target + "/Contents/Info.plist")));
        if ((bundle == "gone" || bundle == "empty") && QFileInfo::exists(m_installed)) {
            QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), newest.toUtf8());
            QVERIFY2(!missingAtFirstRemoval, qPrintable(at));
        }
        // A copy kept beside what is not the application says why.
        if (QStringList{"dangling link", "partial link", "file", "partial"}.contains(bundle) &&
            applicationsTree().contains(newest))
            QVERIFY2(log.containsPrefix(Logger::Level::warning, "Updater could not put back " + m_installed +
                                                                    ", which an interrupted update left at " +
                                                                    applications + "/" + newest),
                     qPrintable(at + log.lines().value(0).second));
    }
}

void BundleInstallerTest::killedRemovalIsFinishedByTheSweep_data()
{
    QTest::addColumn<int>("fileSystem");    // as t_fileSystem
    QTest::addColumn<bool>("removedSince"); // the user removed the application before the next start
    QTest::addColumn<bool>("bySweep");      // the install was killed before its clean-up, a sweep during it
    QTest::newRow("with every kind of rename") << 0 << false << false;
    QTest::newRow("without a rename that refuses to replace") << 1 << false << false;
    QTest::newRow("without that rename or hard links") << 2 << false << false;
    // What is left of the old copy is no application to put back.
    QTest::newRow("the application removed since") << 0 << true << false;
    QTest::newRow("the application removed since a sweep") << 0 << true << true;
}

// Whichever file an install's clean-up (the old copy, then its staging folder) had come to when
// the process died, the next start's sweep finishes it: the record that makes the staging folder
// ours must not go before the rest. The sweep removes with the same code, on any file system.
void BundleInstallerTest::killedRemovalIsFinishedByTheSweep()
{
    QFETCH(int, fileSystem);
    QFETCH(bool, removedSince);
    QFETCH(bool, bySweep);
    t_fileSystem = fileSystem;
    const auto restored = qScopeGuard([] { t_fileSystem = 0; });
    for (int steps = 0, left = 0; left == 0; ++steps) {
        init();
        if (bySweep) { // killed right after the swap
            const QString aside = InstallRecovery::asidePath(m_installed);
            QVERIFY(m_staging->recordAside(aside, nullptr) && QDir().rename(m_installed, aside) &&
                    QDir().rename(m_update, m_installed));
            m_staging->leaveToSweep();
            m_staging.reset();
        }
        t_stepsLeft = steps;
        if (bySweep)
            InstallRecovery::recoverFolder(m_dir->filePath("Applications"));
        else
            BundleInstaller().replace(m_installed, m_update, *m_staging);
        m_staging.reset();                     // the clean-up ends; killed after `steps` unlinks
        left = std::exchange(t_stepsLeft, -1); // more than none: the clean-up had ended
        // What makes a copy look whole goes first.
        for (const QString& copy : siblings().filter(".Sample.app.old-"))
            QVERIFY(steps == 0 ||
                    !QFileInfo::exists(m_dir->filePath("Applications/" + copy + "/Contents/Info.plist")));
        QVERIFY(!removedSince || QDir(m_installed).removeRecursively());
        InstallRecovery::recoverFolder(m_dir->filePath("Applications")); // the next start
        QVERIFY2(siblings() == (removedSince ? QStringList() : QStringList{"Sample.app"}),
                 qPrintable(QString::number(steps) + " steps: " + siblings().join(", ")));
        QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), removedSince ? "" : "new");
    }
}

// A background sweep tells of what it put back only once a discovery may have looked, after a
// restore began here: the first discovery lists what comes back before.
void BundleInstallerTest::toldOfWhatComesBackOnceARestoreBegan()
{
    m_staging.reset();
    int told = 0;
    for (const bool restoreBegan : {false, true}) {
        if (restoreBegan)
            InstallRecovery::restoreApplications(m_dir->filePath("Applications"));
        auto killed = std::make_unique<InstallStaging>(m_installed); // between the swap's renames
        const QString aside = InstallRecovery::asidePath(m_installed);
        QVERIFY(killed->recordAside(aside, nullptr) && QDir().rename(m_installed, aside));
        killed->leaveToSweep();
        killed.reset(); // the process is gone with its lock
        InstallRecovery::sweepInBackground(m_dir->filePath("Applications"), {}, [&] { ++told; }, {}).join();
        QCOMPARE(told, restoreBegan ? 1 : 0);
    }
}

// This process's sweep removes an older install's copy while another install's swap is killed
// between its renames: a discovery's restore does not take the sweep for an install, and puts the
// application back at once.
void BundleInstallerTest::restoresBesideThisProcessSweep()
{
    const QString applications = m_dir->filePath("Applications");
    const QString olderAside = InstallRecovery::asidePath(m_installed); // its removal left to the sweep
    QVERIFY(m_staging->recordAside(olderAside, nullptr) && QDir().rename(m_update, olderAside));
    m_staging->leaveToSweep();
    m_staging.reset();
    bool restored = false;
    t_atFirstStep = [&] {
        {
            InstallStaging killed(m_installed);
            const QString aside = InstallRecovery::asidePath(m_installed);
            QVERIFY(killed.recordAside(aside, nullptr) && QDir().rename(m_installed, aside));
            killed.leaveToSweep();
        }
        InstallRecovery::restoreApplications(applications);
        restored = QFileInfo::exists(m_installed);
    };
    InstallRecovery::recoverFolder(applications);
    QVERIFY(restored);
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "old");
}

void BundleInstallerTest::removalOfTheOldCopy_data()
{
    QTest::addColumn<bool>("bySweep");   // else by the install's clean-up
    QTest::addColumn<bool>("locked");    // folders their owner cannot read, else a full disk
    QTest::addColumn<int>("updateMode"); // of the update's own folder as its archive gave it, if not -1
    QTest::newRow("full disk, by the install") << false << false << -1;
    QTest::newRow("full disk, by a sweep") << true << false << -1;
    QTest::newRow("folders their owner cannot read, by the install") << false << true << -1;
    QTest::newRow("folders their owner cannot read, by a sweep") << true << true << -1;
    // Moving a folder to another parent needs the right to change it.
    QTest::newRow("an update whose folder its owner cannot change") << false << true << 0555;
    QTest::newRow("an update whose folder its owner cannot read") << false << true << 0;
}

// A disk that takes the record's "aside" but not its "remove", a byte longer: the old copy stays
// (a kill during its removal would leave what comes back once the application is missing), and
// so does nothing of the record's unwritten next version. Folders their owner cannot read (mode
// 0000) or list (0300), in the old copy and in what the install extracted, are given the owner's
// rights and go with the rest.
void BundleInstallerTest::removalOfTheOldCopy()
{
    QFETCH(bool, bySweep);
    QFETCH(bool, locked);
    QFETCH(int, updateMode);
    for (const QString& in : locked ? QStringList{m_installed + "/Contents/Resources",
                                                  m_staging->filePath("extracted/Sample.app")}
                                    : QStringList{}) {
        for (const auto& [name, mode] : {std::pair("locked", 0), std::pair("unlisted", 0300)}) {
            const QString folder = in + "/" + name;
            QVERIFY(QDir().mkpath(folder + "/inner") && QFile(folder + "/file").open(QIODevice::WriteOnly));
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)), 0);
        }
    }
    const QString aside = InstallRecovery::asidePath(m_installed), staging = m_staging->path();
    QVERIFY(m_staging->recordAside(aside, nullptr));
    const auto limit = rlim_t(QFileInfo(m_staging->filePath(".install-record")).size());
    if (bySweep) { // killed right after the swap
        QVERIFY(QDir().rename(m_installed, aside) && QDir().rename(m_update, m_installed));
        m_staging->leaveToSweep();
        m_staging.reset();
    }
    std::optional<AsUser> user;
    QVERIFY(!locked || user.emplace(m_dir->path()).isValid());
    if (updateMode >= 0) { // as the extraction leaves it: synced, its folders readable and enterable
        QCOMPARE(::chmod(QFile::encodeName(m_update).constData(), mode_t(updateMode)), 0);
        QVERIFY(DiskSync::syncTree(m_update, nullptr));
    }
    {
        std::optional<FileSizeLimit> fullDisk;
        if (!locked)
            fullDisk.emplace(limit);
        if (bySweep)
            InstallRecovery::recoverFolder(m_dir->filePath("Applications"));
        else
            BundleInstaller().replace(m_installed, m_update, *m_staging);
    }
    if (locked) {
        QCOMPARE(settled(), QStringList{"Sample.app"});
        QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "new");
        struct stat installed {};
        QCOMPARE(::stat(QFile::encodeName(m_installed).constData(), &installed), 0);
        QCOMPARE(installed.st_mode & 0777, updateMode < 0 ? 0755u : mode_t(updateMode | 0500));
        ::chmod(QFile::encodeName(m_installed).constData(), 0755); // for the temporary folder's removal
        return;
    }
    QCOMPARE(settled().filter(".Sample.app.old-").size(), 1);
    QCOMPARE(entriesIn(staging), QStringList{".install-record"});
}

QTEST_GUILESS_MAIN(BundleInstallerTest)
#include "tst_updater_bundleinstaller.moc"
