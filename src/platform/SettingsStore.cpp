#include "platform/SettingsStore.h"

#include "platform/Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

namespace norvelle {

namespace {

struct KeyDefault {
    QLatin1String key;
    QVariant defaultValue;
};

// The one table of every settings key and its default.
const QList<KeyDefault>& table()
{
    static const QList<KeyDefault> entries = {
        {SettingsStore::Keys::hasAppManagementPermission, QVariant(false)},
        {SettingsStore::Keys::hasCompletedWelcomeTour, QVariant(false)},
        {SettingsStore::Keys::desktopLogFilesEnabled, QVariant(false)},
        {SettingsStore::Keys::selectedTheme, QVariant(QStringLiteral("Automatic"))},
    };
    return entries;
}

const KeyDefault* find(const QString& key)
{
    for (const KeyDefault& entry : table()) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

// Why the settings file at `path` could not be written. QSettings tells only the kind of
// failure, so its own test of the file is repeated here to learn the system's reason.
QString writeFailure(const QString& path, QSettings::Status status)
{
    if (status == QSettings::FormatError)
        return path + QStringLiteral(": the file is not in a form that can be read");
    const QFileInfo info(path);
    if (info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return path + QStringLiteral(": ") + file.errorString();
    } else if (!QDir().mkpath(info.absolutePath())) {
        return QStringLiteral("cannot create the folder ") + info.absolutePath();
    } else if (QTemporaryFile probe(path); !probe.open()) {
        return info.absolutePath() + QStringLiteral(": ") + probe.errorString();
    }
    return path + QStringLiteral(": the file could not be written");
}

} // namespace

SettingsStore::SettingsStore(QObject* parent)
    : SettingsStore([] { return std::make_unique<QSettings>(); }, parent)
{
}

SettingsStore::SettingsStore(const QString& filePath, QObject* parent)
    : SettingsStore([filePath] { return std::make_unique<QSettings>(filePath, QSettings::IniFormat); },
                    parent)
{
}

// A QSettings object is made for each load and write and dropped at once: a long-lived one
// would sync itself from the event loop of its own thread, racing with reads on others.
SettingsStore::SettingsStore(Factory factory, QObject* parent)
    : QObject(parent), m_factory(std::move(factory))
{
    const auto settings = m_factory();
    for (const KeyDefault& entry : table()) {
        const QString key = entry.key;
        if (!settings->contains(key))
            continue;
        if (auto value = normalise(key, settings->value(key)))
            m_values.insert(key, *value);
    }
}

SettingsStore::~SettingsStore() = default;

QStringList SettingsStore::knownKeys()
{
    QStringList keys;
    for (const KeyDefault& entry : table())
        keys.append(entry.key);
    return keys;
}

bool SettingsStore::isKnownKey(const QString& key)
{
    return find(key) != nullptr;
}

QVariant SettingsStore::defaultValue(const QString& key)
{
    const KeyDefault* entry = find(key);
    return entry ? entry->defaultValue : QVariant();
}

// Converts a value to the type of the key's default. INI files give back "true" and "false"
// as text, so booleans are read from text as well; other text is not a boolean.
std::optional<QVariant> SettingsStore::normalise(const QString& key, const QVariant& value)
{
    const KeyDefault* entry = find(key);
    if (!entry || !value.isValid())
        return std::nullopt;
    if (entry->defaultValue.typeId() == QMetaType::Bool) {
        if (value.typeId() == QMetaType::Bool)
            return value;
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString();
            if (text == u"true")
                return QVariant(true);
            if (text == u"false")
                return QVariant(false);
            return std::nullopt;
        }
        if (value.canConvert<bool>())
            return QVariant(value.toBool());
        return std::nullopt;
    }
    if (value.typeId() == QMetaType::QString)
        return value;
    if (value.canConvert<QString>())
        return QVariant(value.toString());
    return std::nullopt;
}

QVariant SettingsStore::value(const QString& key) const
{
    const KeyDefault* entry = find(key);
    if (!entry)
        return {};
    std::lock_guard lock(m_mutex);
    return m_values.value(key, entry->defaultValue);
}

bool SettingsStore::setValue(const QString& key, const QVariant& value)
{
    const auto normalised = normalise(key, value);
    if (!normalised)
        return false;
    bool changed = false;
    QString failure;
    {
        std::lock_guard lock(m_mutex);
        const auto settings = m_factory();
        settings->setValue(key, *normalised);
        settings->sync();
        if (settings->status() == QSettings::NoError) {
            changed = m_values.value(key, defaultValue(key)) != *normalised;
            m_values.insert(key, *normalised);
        } else {
            // Memory keeps what the file holds, so what is shown is what the next start finds.
            failure = writeFailure(settings->fileName(), settings->status());
            // QSettings keeps an unsaved change for the file's next write, by any object; it is
            // turned back into what is stored, or that write would save it after all.
            if (const auto stored = m_values.constFind(key); stored != m_values.cend())
                settings->setValue(key, *stored);
            else
                settings->remove(key);
        }
    }
    // Logged and told only after the lock is released: the logger itself reads this store.
    if (!failure.isEmpty()) {
        Logger::warning(QStringLiteral("Failed to save setting ") + key + QStringLiteral(": ") + failure);
        Q_EMIT writeFailed(key, failure);
        return false;
    }
    if (changed)
        Q_EMIT valueChanged(key);
    return true;
}

bool SettingsStore::hasAppManagementPermission() const
{
    return value(Keys::hasAppManagementPermission).toBool();
}
bool SettingsStore::setHasAppManagementPermission(bool v)
{
    return setValue(Keys::hasAppManagementPermission, v);
}
bool SettingsStore::hasCompletedWelcomeTour() const
{
    return value(Keys::hasCompletedWelcomeTour).toBool();
}
void SettingsStore::setHasCompletedWelcomeTour(bool v)
{
    setValue(Keys::hasCompletedWelcomeTour, v);
}
bool SettingsStore::desktopLogFilesEnabled() const
{
    return value(Keys::desktopLogFilesEnabled).toBool();
}
void SettingsStore::setDesktopLogFilesEnabled(bool v)
{
    setValue(Keys::desktopLogFilesEnabled, v);
}
QString SettingsStore::selectedTheme() const
{
    return value(Keys::selectedTheme).toString();
}
void SettingsStore::setSelectedTheme(const QString& v)
{
    setValue(Keys::selectedTheme, v);
}

} // namespace norvelle
