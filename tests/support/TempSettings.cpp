#include "TempSettings.h"

namespace norvelle::test {

TempSettings::TempSettings() : m_store(std::make_unique<SettingsStore>(filePath())) {}

} // namespace norvelle::test
