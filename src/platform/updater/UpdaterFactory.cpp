#include "platform/updater/UpdaterFactory.h"

#include "platform/updater/AppcastParser.h"
#include "platform/updater/AppcastSelector.h"
#include "platform/updater/BundleInstaller.h"
#include "platform/updater/UpdateCycle.h"
#include "platform/updater/UpdaterEngine.h"

namespace norvelle {

UpdaterFactory::UpdaterFactory() = default;

UpdaterFactory::UpdaterFactory(Options options) : m_options(std::move(options))
{
    if (m_options.client)
        m_feedClient = m_options.client;
    else if (m_options.http.engine)
        m_feedClient = std::make_shared<HttpClient>(m_options.http);
}

UpdaterFactory::~UpdaterFactory() = default;

std::shared_ptr<const HttpClient> UpdaterFactory::feedClient() const
{
    return m_feedClient;
}

std::optional<AppcastItem> UpdaterFactory::offeredItem(const UpdaterBundle& bundle, const QUrl& feedUrl,
                                                       const HttpResponse& feed) const
{
    UpdateCycle::Setup setup;
    setup.bundle = bundle;
    setup.feedUrl = feedUrl;
    setup.systemVersion = m_options.systemVersion;
    setup.machineArchitecture =
        m_options.machineArchitecture.value_or(AppcastSelector::currentMachineArchitecture());
    setup.language = m_options.language.value_or(AppcastParser::userLanguage());
    try {
        return UpdateCycle::offer(setup, feed);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::unique_ptr<Updater> UpdaterFactory::create(const QString& bundlePath, UpdaterUserDriver& driver,
                                                UpdaterDelegate* delegate) const
{
    return std::make_unique<UpdaterEngine>(bundlePath, driver, delegate, m_options);
}

} // namespace norvelle
