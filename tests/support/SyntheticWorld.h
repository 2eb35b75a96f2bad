#pragma once

#include "FakeTool.h"
#include "FixtureServer.h"
#include "SyntheticCatalogue.h"
#include "TempRoot.h"
#include "platform/Paths.h"

#include <QByteArray>
#include <chrono>
#include <memory>

namespace norvelle::test {

// A whole synthetic Mac for benchmarks and demos: an applications folder of many bundles,
// Caskroom receipts, the fake `brew` and `mas`, a loopback server for the cask catalogue and
// the store lookups, and a TLS loopback server for the appcasts; every request is answered
// after a fixed latency.
//
// Of the bundles, a third are installed Homebrew casks (every third of them outdated), a
// tenth come from the App Store (every second outdated), a quarter name an https appcast
// that offers a newer version; about half of the rest carry the name of a catalogue cask
// that is not installed (adoption candidates). Every tenth bundle sits in a subfolder, and
// every other Info.plist is binary. Create it after the QCoreApplication.
class SyntheticWorld {
public:
    struct Options {
        int bundleCount = 1000;
        int catalogueCasks = 7500;
        std::chrono::milliseconds latency{50};
        quint32 seed = 1;
        // Serve the catalogue and the store lookups over TLS too, as the real hosts do.
        bool tlsEverywhere = false;
        // Keep connections open between requests, as the real hosts do.
        bool keepAlive = false;
        // Reached as real hosts are, through a relay at this port (the bench's world host): every
        // address then names a host of its own under hostDomain (feed-7.feeds.localhost), one TLS
        // server on serverThreads threads answers them all at once (the relay adds the latency),
        // and every appcast item links release notes on its feed's host.
        quint16 publicPort = 0;
        QString hostDomain = QStringLiteral("feeds.localhost");
        int serverThreads = 4;
        // Every feed's host answers 503, as when the network to them is down: one reason for
        // every feed application, while the catalogue and the store lookups answer as usual.
        bool feedsDown = false;
    };

    // A web request of the update check, and the one that follows its answer (none: empty).
    struct CheckRequest {
        QUrl url;
        QUrl followUp;
    };

    struct Counts {
        int bundles = 0;
        int homebrew = 0;
        int homebrewOutdated = 0;
        int appStore = 0;
        int appStoreOutdated = 0;
        int feeds = 0;
        int adoptionCandidates = 0;
        qint64 catalogueBytes = 0;
    };

    explicit SyntheticWorld(Options options);
    SyntheticWorld() : SyntheticWorld(Options{}) {}

    bool isValid() const { return m_valid; }
    // The applications folder, the fake tools, both Caskrooms and both service addresses.
    const Paths& paths() const { return m_paths; }
    const Counts& counts() const { return m_counts; }
    FixtureServer& server() { return *m_server; }
    FixtureServer& feedServer() { return *m_feedServer; }
    FakeTool& tool() { return m_tool; }
    // The requests an update check makes (the outdated App Store applications' lookups and every
    // appcast, each followed by its release notes where linked), in no particular order.
    const QList<CheckRequest>& checkRequests() const { return m_checkRequests; }

private:
    void build(const Options& options);
    void addBundle(const QString& folder, const QString& name, const QString& identifier,
                   const QString& version, const QVariantMap& extra, bool binary);
    // The address of a path on the given server, or on the named host behind the relay.
    QUrl address(const FixtureServer& server, const QString& host, const QString& path) const;

    Options m_options;
    TempRoot m_root;
    FakeTool m_tool;
    std::shared_ptr<FixtureServer> m_server;
    std::shared_ptr<FixtureServer> m_feedServer;
    QList<CheckRequest> m_checkRequests;
    Paths m_paths;
    Counts m_counts;
    bool m_valid = true;
};

} // namespace norvelle::test
