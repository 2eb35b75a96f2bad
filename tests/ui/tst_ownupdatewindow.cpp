#include "FixtureServer.h"
#include "RenderToPng.h"
#include "TestFiles.h"
#include "UpdaterFixture.h"
#include "UpdaterSigningKey.h"

#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterFactory.h"
#include "ui/app/OwnUpdateWindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;
using Reply = FixtureServer::Reply;
using Step = OwnUpdateWindow::Step;

Q_DECLARE_METATYPE(norvelle::OwnUpdateWindow::Step)

namespace {

const QByteArray kNotes = "<h2>What's new</h2><ul><li>Faster checks</li></ul>";

} // namespace

// The own-update window over the real updater and a loopback feed.
class TestOwnUpdateWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }

    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<FixtureServer>();
        m_installed = UpdaterFixture::writeBundle(
            m_root->filePath("Applications"), "Norvelle.app",
            UpdaterFixture::info("com.norvelle.Norvelle", "1.0",
                                 {{"SUFeedURL", m_server->url("/appcast.xml").toString()},
                                  {"SUPublicEDKey", m_key.publicKeyBase64()}}),
            "version one");
        m_window = std::make_unique<OwnUpdateWindow>(QStringLiteral("1.0"));
    }

    void cleanup()
    {
        m_updater.reset();
        m_window.reset();
        m_server.reset();
        m_root.reset();
    }

    // Found, installed, acknowledged: the bundle is the new one and the window goes away.
    void installsAnOfferedUpdate()
    {
        offerVersion("1.1");
        startCheck();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->step(), Step::found, 20000);
        QVERIFY(m_window->isVisible());
        QCOMPARE(text("ownUpdateTitle"), QStringLiteral("A new version of Norvelle is available!"));
        QCOMPARE(text("ownUpdateMessage"),
                 QStringLiteral("Norvelle 1.1 is now available—you have 1.0. Would you like to download it now?"));
        const auto* notes = m_window->findChild<QPlainTextEdit*>(QStringLiteral("ownUpdateNotes"));
        QVERIFY(notes->isVisible());
        QVERIFY(notes->toPlainText().contains(QStringLiteral("Faster checks")));
        QVERIFY(!notes->toPlainText().contains(QStringLiteral("<li>")));
        renderToPng(m_window.get(), QStringLiteral("own-update-found"));

        button("ownUpdatePrimaryButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->step(), Step::readyToInstall, 20000);
        button("ownUpdatePrimaryButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->step(), Step::installed, 20000);
        QVERIFY(text("ownUpdateMessage").startsWith(QStringLiteral("Norvelle was updated to 1.1.")));
        QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), QByteArray("version two"));

        button("ownUpdatePrimaryButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->step(), Step::idle, 20000);
        QVERIFY(!m_window->isVisible());
        QTRY_VERIFY(m_updater->canCheckForUpdates());
    }

    void everyStepCanBeLeft_data()
    {
        QTest::addColumn<QString>("feed");    // "newer", "same", "broken"
        QTest::addColumn<QString>("answer");  // the button pressed, or "close"
        QTest::addColumn<Step>("shown");
        QTest::addColumn<QString>("title");
        QTest::newRow("up to date") << "same" << "ownUpdatePrimaryButton" << Step::notFound
                                    << "You’re up to date!";
        QTest::newRow("feed missing") << "broken" << "ownUpdatePrimaryButton" << Step::failed << "Update Error!";
        QTest::newRow("remind me later") << "newer" << "ownUpdateSecondaryButton" << Step::found
                                         << "A new version of Norvelle is available!";
        QTest::newRow("skip this version") << "newer" << "ownUpdateTertiaryButton" << Step::found
                                           << "A new version of Norvelle is available!";
        QTest::newRow("window closed") << "newer" << "close" << Step::found
                                       << "A new version of Norvelle is available!";
        QTest::newRow("closed when up to date") << "same" << "close" << Step::notFound << "You’re up to date!";
    }

    // Whatever the window shows, its buttons or closing it end the cycle, and nothing is
    // installed unless the user asked for it.
    void everyStepCanBeLeft()
    {
        QFETCH(QString, feed);
        QFETCH(QString, answer);
        QFETCH(Step, shown);
        QFETCH(QString, title);
        if (feed == QLatin1String("newer"))
            offerVersion("1.1");
        else if (feed == QLatin1String("same"))
            offerVersion("1.0");
        else
            m_server->route("/appcast.xml", Reply{404, "gone"});

        startCheck();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->step(), shown, 20000);
        QCOMPARE(text("ownUpdateTitle"), title);
        if (shown == Step::failed)
            QVERIFY(!text("ownUpdateMessage").isEmpty());
        if (answer == QLatin1String("close"))
            m_window->reject();
        else
            button(answer)->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->step(), Step::idle, 20000);
        QVERIFY(!m_window->isVisible());
        QTRY_VERIFY(m_updater->canCheckForUpdates());
        QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), QByteArray("version one"));
    }

private:
    void offerVersion(const QString& version)
    {
        const QString name = "Norvelle-" + version + ".zip";
        const QString archive = UpdaterFixture::archiveBundle(
            m_root->filePath("publish"), "Norvelle.app", UpdaterFixture::info("com.norvelle.Norvelle", version),
            name, UpdaterArchiveBuilder::Format::zip, "version two");
        m_server->route("/downloads/" + name, Reply{200, readFile(archive)});
        UpdaterFixture::FeedItem item{version, version, "downloads/" + name, m_key.signFile(archive), 0};
        item.extra = QStringLiteral("<description><![CDATA[") + QString::fromUtf8(kNotes) +
                     QStringLiteral("]]></description>");
        m_server->route("/appcast.xml", Reply{200, UpdaterFixture::appcast({item})});
    }

    void startCheck()
    {
        UpdaterFactory::Options options;
        options.http.timeout = 10s;
        m_updater = UpdaterFactory(options).create(m_installed, *m_window, nullptr);
        m_updater->start();
        QVERIFY(m_updater->checkForUpdates());
    }

    QString text(const char* name) const
    {
        const auto* label = m_window->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QString();
    }

    QPushButton* button(const QString& name) const { return m_window->findChild<QPushButton*>(name); }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<FixtureServer> m_server;
    UpdaterSigningKey m_key;
    QString m_installed;
    std::unique_ptr<OwnUpdateWindow> m_window;
    std::unique_ptr<Updater> m_updater;
};

QTEST_MAIN(TestOwnUpdateWindow)
#include "tst_ownupdatewindow.moc"
