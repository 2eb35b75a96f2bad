#pragma once

#include "platform/SettingsStore.h"

#include <QTemporaryDir>
#include <memory>

namespace norvelle::test {

// A SettingsStore on an INI file in a temporary folder, so a test never touches the user's
// settings nor depends on XDG_CONFIG_HOME. reopen() makes a second store on the same file,
// as a relaunch would.
class TempSettings {
public:
    TempSettings();

    SettingsStore& store() { return *m_store; }
    SettingsStore* operator->() { return m_store.get(); }
    QString filePath() const { return m_dir.path() + QStringLiteral("/settings.ini"); }
    std::unique_ptr<SettingsStore> reopen() const { return std::make_unique<SettingsStore>(filePath()); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

} // namespace norvelle::test
