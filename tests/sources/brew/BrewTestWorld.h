#pragma once

// A Homebrew world for the BrewService tests: a temporary root with Applications
// and both Caskrooms, the fake `brew`, a loopback catalogue server and a clock
// the test moves by hand.

#include "FakeTool.h"
#include "FixtureServer.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/http/HttpClient.h"
#include "sources/brew/BrewService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>
#include <mutex>

namespace norvelle::test {

class ManualClock : public Clock {
public:
    QDateTime now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void advance(qint64 seconds)
    {
        std::lock_guard lock(m_mutex);
        m_now = m_now.addSecs(seconds);
    }

private:
    mutable std::mutex m_mutex;
    QDateTime m_now = QDateTime(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);
};

class BrewTestWorld {
public:
    enum Caskroom { optHomebrew = 0, usrLocal = 1 };

    explicit BrewTestWorld(bool withBrew = true,
                           std::chrono::milliseconds httpTimeout = std::chrono::seconds(30))
    {
        paths = Paths::underRoot(root.path());
        // The fake tool lives elsewhere; the first candidate never exists, so the second is used.
        paths.brewCandidates = {root.path() + QStringLiteral("/opt/homebrew/bin/brew"),
                                withBrew ? tool.brewPath()
                                         : root.path() + QStringLiteral("/usr/local/bin/brew")};
        paths.caskCatalogueUrl = server.url(QStringLiteral("/api/cask.json"));
        QDir().mkpath(paths.applicationsFolder);
        service = std::make_unique<BrewService>(BrewService::Options{
            paths, std::make_shared<HttpClient>(HttpClient::Options{httpTimeout, {}, "Norvelle"}), clock,
            nullptr});
    }

    void listCasks(const QByteArray& output)
    {
        tool.respond(QStringLiteral("brew"), {QStringLiteral("list"), QStringLiteral("--cask")},
                     FakeTool::Response().withStandardOutput(output));
    }

    void serveCatalogue(const QJsonArray& casks, int status = 200)
    {
        server.route(QStringLiteral("/api/cask.json"),
                     FixtureServer::Reply{status, QJsonDocument(casks).toJson(QJsonDocument::Compact)});
    }
    void serveCatalogueBytes(const QByteArray& body, int status = 200)
    {
        server.route(QStringLiteral("/api/cask.json"), FixtureServer::Reply{status, body});
    }
    // Takes the fake `brew` away (and puts it back), as when the user uninstalls Homebrew.
    void setBrewPresent(bool present)
    {
        const QString away = tool.brewPath() + QStringLiteral(".away");
        if (present)
            QFile::rename(away, tool.brewPath());
        else
            QFile::rename(tool.brewPath(), away);
    }

    qsizetype catalogueRequests() const { return server.requests(QStringLiteral("/api/cask.json")).size(); }

    static QJsonObject entry(const QString& token, const QString& version = QStringLiteral("1.0"),
                             const QStringList& apps = {}, const QJsonObject& extra = {})
    {
        QJsonObject object = extra;
        object.insert(QStringLiteral("token"), token);
        object.insert(QStringLiteral("version"), version);
        if (!apps.isEmpty())
            object.insert(QStringLiteral("artifacts"),
                          QJsonArray{QJsonObject{{QStringLiteral("app"), QJsonArray::fromStringList(apps)}}});
        return object;
    }

    // Creates an application bundle folder and gives its path.
    QString addApplication(const QString& bundleName)
    {
        const QString path = paths.applicationsFolder + QLatin1Char('/') + bundleName;
        QDir().mkpath(path + QStringLiteral("/Contents"));
        return path;
    }

    void writeReceipt(Caskroom caskroom, const QString& token, const QByteArray& bytes)
    {
        const QString folder =
            paths.caskroomFolders.at(caskroom) + QLatin1Char('/') + token + QStringLiteral("/.metadata");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/INSTALL_RECEIPT.json"));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    // A receipt whose uninstall artifacts name these apps and zap these trash strings.
    void writeReceipt(Caskroom caskroom, const QString& token, const QStringList& apps,
                      const QJsonValue& trash = QJsonValue())
    {
        QJsonArray artifacts;
        if (!apps.isEmpty())
            artifacts.append(QJsonObject{{QStringLiteral("app"), QJsonArray::fromStringList(apps)}});
        if (!trash.isNull())
            artifacts.append(QJsonObject{
                {QStringLiteral("zap"), QJsonArray{QJsonObject{{QStringLiteral("trash"), trash}}}}});
        writeReceipt(caskroom, token,
                     QJsonDocument(QJsonObject{{QStringLiteral("uninstall_artifacts"), artifacts}}).toJson());
    }

    // Alpha.app, installed by the cask "alpha" and the only cask listed; gives its path.
    QString installAlpha()
    {
        const QString app = addApplication(QStringLiteral("Alpha.app"));
        writeReceipt(optHomebrew, QStringLiteral("alpha"), {QStringLiteral("Alpha.app")});
        listCasks("alpha\n");
        return app;
    }

    // Acme.app, installed by the cask "acme", with a loaded catalogue that knows it
    // (and any further casks); gives the app's path.
    QString installAcme(const QString& catalogueVersion, const QJsonObject& catalogueExtra = {},
                        const QJsonArray& furtherCasks = {})
    {
        const QString app = addApplication(QStringLiteral("Acme.app"));
        writeReceipt(optHomebrew, QStringLiteral("acme"), {QStringLiteral("Acme.app")});
        listCasks("acme\n");
        QJsonArray casks{
            entry(QStringLiteral("acme"), catalogueVersion, {QStringLiteral("Acme.app")}, catalogueExtra)};
        for (const QJsonValue& cask : furtherCasks)
            casks.append(cask);
        serveCatalogue(casks);
        service->loadInstalledCasks();
        return app;
    }

    void answerUpgrade(const QString& token)
    {
        tool.respond(
            QStringLiteral("brew"),
            {QStringLiteral("upgrade"), QStringLiteral("--cask"), token, QStringLiteral("--verbose")},
            FakeTool::Response());
    }

    QTemporaryDir root;
    FakeTool tool;
    FixtureServer server;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    Paths paths;
    std::unique_ptr<BrewService> service;
};

} // namespace norvelle::test
