#pragma once

#include "model/Application.h"
#include "model/EnvironmentStatus.h"
#include "model/SourceFailure.h"

#include <QList>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <stop_token>

namespace norvelle {

class BrewService;
class MASService;
class SparkleService;

// Finds the installed applications and builds one Application for each, with its installed
// version, its update sources and what each source knows about it. Nothing is kept between
// calls: every call scans and builds afresh.
//
// Thread-safe and blocking; call it from worker threads. A full discovery has the Homebrew and
// App Store adapters load their tables (in parallel) while it scans the folder and reads the
// bundles' Info.plists, then builds the records in parallel on the I/O pool, reading the
// adapters' tables.
class DiscoveryService {
public:
    struct Options {
        QString applicationsFolder; // default: the real applications folder
        QString refusedFeedDomain;  // a feed containing this text is never used; default kRefusedFeedDomain
        std::optional<QLocale> sortLocale; // default: defaultSortLocale()
    };

    // The vendor's internal corporate domain: appcasts there are not reachable from outside.
    static constexpr const char* kRefusedFeedDomain = "corp.apple.com";
    static constexpr const char* kFeedKeys[] = {"SUFeedURL", "SUUpdateServer", "SUAppcastURL", "SPUFeedURL"};

    // sparkleService is held for the wiring only; the feed rule needs nothing of it.
    DiscoveryService(std::shared_ptr<BrewService> brewService, std::shared_ptr<MASService> masService,
                     std::shared_ptr<SparkleService> sparkleService, QSet<QString> filteredBundleIdentifiers,
                     Options options = {});
    virtual ~DiscoveryService();
    DiscoveryService(const DiscoveryService&) = delete;
    DiscoveryService& operator=(const DiscoveryService&) = delete;

    // Every accepted bundle, sorted by name. Fails only when the applications folder cannot be
    // listed; a bundle or subfolder that cannot be read is skipped with a warning. A load that
    // fails costs only what its source knows: it is logged and, when `failures` is given,
    // appended there.
    virtual QList<std::shared_ptr<Application>>
    discoverApplications(const EnvironmentStatus& environment, QList<SourceFailure>* failures = nullptr);

    // One bundle, built from the tables the adapters hold from their last load; null when the
    // bundle is not accepted. Throws when its Info.plist exists but cannot be read or parsed.
    virtual std::shared_ptr<Application> discoverApplication(const QUrl& url, bool hasHomebrew, bool hasMAS);

    // The version the bundle at `url` holds now, when it is still the application named by
    // `bundleIdentifier`; none when it is gone, unreadable or another one. Never throws.
    virtual std::optional<QString> versionOnDisk(const QUrl& url, const QString& bundleIdentifier) const;

    // The identifiers never listed: Safari, this application, Feedback Assistant.
    static QSet<QString> defaultFilteredBundleIdentifiers(const QString& ownBundleIdentifier);

    // The user's locale, or en_US when the process runs in the "C" locale.
    static QLocale defaultSortLocale();

    // The decision rules, on an Info.plist dictionary.
    static QString installedVersion(const QVariantMap& info);
    static std::optional<QUrl> feedURL(const QVariantMap& info, const QString& refusedDomain);
    static QList<Application::Source> sourceList(bool appStore, bool homebrew, bool sparkle);
    // Finder order: case-insensitive, digit runs by value; stable for equal names.
    static void sortByName(QList<std::shared_ptr<Application>>& applications, const QLocale& locale);
    // The bundle's name as shown: its file name without a trailing ".app".
    static QString displayName(const QString& bundlePath);

    const QSet<QString>& filteredBundleIdentifiers() const { return m_filteredBundleIdentifiers; }
    // The locale the applications are sorted in.
    const QLocale& sortLocale() const { return m_sortLocale; }

private:
    // What a bundle's Info.plist says, read before the adapters' tables are needed.
    struct Bundle {
        QString name;
        QString bundleIdentifier;
        QString version;
        std::optional<QUrl> feed;
    };
    struct ReadBundles;

    QList<SourceFailure> loadTables(const EnvironmentStatus& environment);
    // None when the bundle is not accepted; throws as discoverApplication does.
    std::optional<Bundle> readBundle(const QString& path) const;
    ReadBundles readBundles(std::stop_token stop) const;
    std::shared_ptr<Application> buildApplication(const QUrl& url, const Bundle& bundle, bool hasHomebrew,
                                                  bool hasMAS) const;

    const std::shared_ptr<BrewService> m_brewService;
    const std::shared_ptr<MASService> m_masService;
    const std::shared_ptr<SparkleService> m_sparkleService;
    const QSet<QString> m_filteredBundleIdentifiers;
    const QString m_applicationsFolder;
    const QString m_refusedFeedDomain;
    const QLocale m_sortLocale;
};

} // namespace norvelle
