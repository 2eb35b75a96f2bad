#pragma once

#include "platform/http/HttpClient.h"
#include "platform/updater/AppcastItem.h"
#include "platform/updater/Updater.h"
#include "platform/updater/UpdaterBundle.h"

#include <QString>
#include <memory>
#include <optional>

namespace norvelle {

class BundleInstaller;
class UpdaterDelegate;
class UpdaterUserDriver;

// Creates updaters. Users hold a factory and tests replace it with one that makes
// fake updaters playing scripted callback sequences.
class UpdaterFactory {
public:
    struct Options {
        HttpClient::Options http;                   // idle timeout, CA file, user agent
        std::shared_ptr<const HttpClient> client;   // replaces a client made from `http`
        std::optional<QString> systemVersion;       // none on Linux: system limits of items ignored
        std::optional<QString> machineArchitecture; // "arm64", "x86_64"; none: this machine's
        std::optional<QString> language;            // release notes' language; none: the user's
        std::shared_ptr<BundleInstaller> installer; // replaces the standard installer
    };

    UpdaterFactory();
    explicit UpdaterFactory(Options options);
    virtual ~UpdaterFactory();

    // An updater for the bundle at bundlePath. The driver, and the delegate when
    // given, must outlive it. Call on the main thread.
    virtual std::unique_ptr<Updater> create(const QString& bundlePath, UpdaterUserDriver& driver,
                                            UpdaterDelegate* delegate) const;

    const Options& options() const { return m_options; }

    // The client the updaters fetch their feeds with; none when each updater would make its own
    // (no client nor engine given), so that nobody else shares its connections and answers.
    std::shared_ptr<const HttpClient> feedClient() const;

    // The item a check of the bundle (with no extra channels) offers for the feed's answer;
    // none when nothing is newer or the answer is no appcast.
    std::optional<AppcastItem> offeredItem(const UpdaterBundle& bundle, const QUrl& feedUrl,
                                           const HttpResponse& feed) const;

private:
    Options m_options;
    std::shared_ptr<const HttpClient> m_feedClient;
};

} // namespace norvelle
