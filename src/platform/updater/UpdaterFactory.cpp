#include "platform/updater/UpdaterFactory.h"

#include "platform/updater/BundleInstaller.h"
#include "platform/updater/UpdaterEngine.h"

namespace norvelle {

UpdaterFactory::UpdaterFactory() = default;

UpdaterFactory::UpdaterFactory(Options options) : m_options(std::move(options)) {}

UpdaterFactory::~UpdaterFactory() = default;

std::unique_ptr<Updater> UpdaterFactory::create(const QString& bundlePath, UpdaterUserDriver& driver,
                                                UpdaterDelegate* delegate) const
{
    return std::make_unique<UpdaterEngine>(bundlePath, driver, delegate, m_options);
}

} // namespace norvelle
