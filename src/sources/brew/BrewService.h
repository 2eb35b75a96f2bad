#pragma once

#include "model/Cask.h"
#include "model/Update.h"
#include "platform/Paths.h"
#include "sources/OutputLineReader.h"
#include "sources/brew/InstallReceiptReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle {

class AdoptionMatcher;
class Clock;
class HttpClient;
class ToolRunner;
struct CatalogueMaps;

// Everything the system knows from Homebrew: which casks are installed and which
// application bundles they own, the cask catalogue, the outdated casks, and the
// upgrade, adoption and custom-cask runs of `brew`.
//
// Thread-safe; every operation blocks and is meant for worker threads. The maps
// sit behind one mutex that is never held while `brew` runs, a request is in
// flight or a caller's handler runs, so lookups stay answerable during long runs.
class BrewService {
public:
    struct Options {
        Paths paths = Paths::defaults();          // brew candidates, Caskroom folders, catalogue URL
        std::shared_ptr<HttpClient> http;         // default: a client with a 30-second idle timeout
        std::shared_ptr<Clock> clock;             // default: the system clock
        std::shared_ptr<const ToolRunner> runner; // default: the brew family with its time limits
    };

    static constexpr double cacheValidityDuration = 300.0; // seconds
    // The catalogue is some 13 MB of JSON today; the limit leaves it room to grow.
    static constexpr qint64 maxCatalogueBytes = qint64(128) << 20;
    static constexpr std::chrono::seconds catalogueTimeout{30};

    BrewService();
    explicit BrewService(Options options);
    virtual ~BrewService();
    BrewService(const BrewService&) = delete;
    BrewService& operator=(const BrewService&) = delete;

    // Installed casks and the catalogue.
    virtual bool isHomebrewInstalled() const;
    // Throws the listing's error when `brew list --cask` fails, and CatalogueError when only the
    // catalogue could not be read: the casks are mapped then, with the last catalogue's facts.
    virtual void loadInstalledCasks();
    // Sends the catalogue request of the next loadInstalledCasks now, when that load will need a
    // download, so the request is out before the rest of a discovery competes for the processor.
    // The load takes the download over; a load that needs none drops it.
    void startCatalogueDownload();
    virtual void fetchAllCasksFromAPI(const QSet<QString>& installedTokens);

    // Outdated casks and the per-application lookups (the lookups never throw).
    virtual void loadOutdatedCasks();
    virtual bool hasCask(const QString& path) const;
    // None only for a path no installed cask owns; a cask the catalogue lacks (unread, or from a
    // tap) is answered by its token alone, adopted.
    virtual std::optional<Cask> caskInfo(const QString& path) const;
    virtual bool matchCaskByTrash(const QString& path, const QString& bundleIdentifier);
    virtual std::optional<Update> checkUpdate(const QString& path, const QString& currentVersion) const;

    // Installing.
    virtual QStringList upgradeCask(const QString& token, const LineHandler& progress);
    virtual std::optional<Cask> findAdoptableCask(const QString& name, const QString& path) const;
    virtual void adoptCask(const QString& token, const LineHandler& handler);
    virtual Cask verifyCustomCask(const QString& caskName, const std::optional<QString>& tapName,
                                  const QString& applicationPath);

    // The `brew` runs (captured output is returned as raw bytes) and their keyword table.
    virtual QByteArray runBrewCommand(const QString& executable, const QStringList& arguments);
    virtual void runBrewCommandStreaming(const QString& executable, const QStringList& arguments,
                                         const LineHandler& handler);
    static double progressForOutputLine(const QString& line);

    // Pure pieces of the catalogue and receipt readers.
    static std::optional<Cask> parseCask(const QJsonObject& object, bool installed);
    static bool determineRequiresSudo(const QJsonObject& object);
    static QStringList extractAppArtifacts(const QJsonObject& object);
    std::optional<Cask> parseOutdatedCask(const QJsonObject& entry) const;
    using ReceiptContents = InstallReceiptReader::Contents;
    ReceiptContents readInstallReceipt(const QString& token) const;

    // What a typed cask name or tap piece must look like before it reaches `brew`.
    static bool isAcceptableUserArgument(const QString& text);

private:
    QString brewPath() const;
    std::optional<QString> tokenForPathLocked(const QString& path) const;
    void mapPathLocked(const QString& path, const QString& token);
    struct CatalogueDownload;
    // Null when the pool is full, unless it may run on the calling thread then (and end there).
    std::shared_ptr<CatalogueDownload> beginDownload(const QUrl& url, bool orHere) const;
    // Why the answer could not be used, when it came but was no catalogue; throws when none came
    // or it was no JSON.
    std::optional<QString> fetchCatalogue(const QSet<QString>& installedTokens, CatalogueDownload* download);
    bool hasFreshCatalogue(const QDateTime& now) const;
    void installCatalogueMaps(CatalogueMaps&& maps, const QSet<QString>& installedTokens);
    void reuseParsedCatalogue(const QSet<QString>& installedTokens);
    void rebuildFromStaleCatalogue(const QSet<QString>& installedTokens);
    void clearCatalogueCache();

    const Options m_options;

    // Sent by startCatalogueDownload and not yet taken by a load.
    std::mutex m_earlyMutex;
    std::shared_ptr<CatalogueDownload> m_earlyDownload;

    mutable std::mutex m_mutex;
    QMap<QString, QString> m_pathToCaskMap;
    // Case-folded path -> the first key of m_pathToCaskMap that folds to it, so a lookup that
    // misses on case costs one hash probe rather than a pass over every installed path.
    QHash<QString, QString> m_foldedPaths;
    QHash<QString, Cask> m_caskMetadata;
    QHash<QString, Cask> m_outdatedCasks;
    QHash<QString, QSet<QString>> m_caskTrashStrings;
    QMap<QString, Cask> m_allAvailableCasks;
    // Null until a catalogue has been read; built from m_allAvailableCasks.
    std::shared_ptr<const AdoptionMatcher> m_adoptionMatcher;
    // The catalogue is stored as the casks read from it (m_allAvailableCasks), not as its JSON:
    // nothing reads the document again, and its parsed form would hold tens of megabytes.
    // The time of the download they came from; none while no download is stored.
    std::optional<QDateTime> m_cacheTimestamp;
    // The installed tokens m_allAvailableCasks was last marked for, and its installed casks: a
    // load that finds the same casks and the same catalogue has nothing to rebuild.
    QSet<QString> m_mapsInstalledTokens;
    QHash<QString, Cask> m_installedCatalogueCasks;
    // Two loads may overlap (a discovery's and an adoption's): the maps follow the listing asked
    // for last, whichever ends last, so an older listing never undoes a newer cask's mapping.
    quint64 m_listingsAsked = 0;
    quint64 m_listingInPlace = 0;
    QStringList m_listedTokens;
};

} // namespace norvelle
