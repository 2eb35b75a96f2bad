#include "TestFiles.h"
#include "UpdaterFixture.h"
#include "platform/updater/BundleInstaller.h"
#include "platform/updater/UpdaterError.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace norvelle;
using norvelle::test::entriesIn;
using norvelle::test::readFile;
using norvelle::test::UpdaterFixture;

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

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_installed;
    QString m_update;
    QStringList siblings() const { return entriesIn(m_dir->filePath("Applications")); }
};

void BundleInstallerTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_installed = UpdaterFixture::writeBundle(m_dir->filePath("Applications"), "Sample.app",
                                              UpdaterFixture::info("org.example.sample", "1.0"), "old");
    m_update = UpdaterFixture::writeBundle(m_dir->filePath("extracted"), "Sample.app",
                                           UpdaterFixture::info("org.example.sample", "1.1"), "new");
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
    BundleInstaller().replace(m_installed, m_update);
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "new");
    QVERIFY(!QFileInfo::exists(m_update));
    QCOMPARE(siblings(), QStringList{"Sample.app"}); // the old version is gone
}

void BundleInstallerTest::failedSwapLeavesTheOldBundle_data()
{
    QTest::addColumn<int>("failingRename");
    QTest::addColumn<QString>("message");
    QTest::newRow("moving aside fails")
        << 1 << "The installed application could not be moved aside: Input/output error";
    QTest::newRow("moving in fails") << 2 << "The update could not be moved into place: Input/output error";
}

void BundleInstallerTest::failedSwapLeavesTheOldBundle()
{
    QFETCH(int, failingRename);
    QFETCH(QString, message);
    FailingInstaller installer({failingRename});
    try {
        installer.replace(m_installed, m_update);
        QFAIL("the swap succeeded");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::installFailed);
        QCOMPARE(error.description(), message);
    }
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "old");
    QCOMPARE(siblings(), QStringList{"Sample.app"});
    QCOMPARE(readFile(m_update + "/Contents/MacOS/app"), "new"); // the update stays where it was
}

void BundleInstallerTest::failedRollbackSaysWhereTheOldBundleIs()
{
    FailingInstaller installer({2, 3});
    try {
        installer.replace(m_installed, m_update);
        QFAIL("the swap succeeded");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::installFailed);
        const QStringList left = siblings();
        QCOMPARE(left.size(), 1);
        QVERIFY(left[0].startsWith(".Sample.app.old-"));
        QVERIFY2(error.description().endsWith("it is at " + m_dir->filePath("Applications/") + left[0]),
                 qPrintable(error.description()));
        QCOMPARE(readFile(m_dir->filePath("Applications/") + left[0] + "/Contents/MacOS/app"), "old");
    }
}

QTEST_GUILESS_MAIN(BundleInstallerTest)
#include "tst_updater_bundleinstaller.moc"
