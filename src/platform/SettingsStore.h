#pragma once

#include <QHash>
#include <QLatin1String>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QSettings;

namespace norvelle {

// The user's preferences, kept in QSettings. Every key the system stores is listed here with
// its default; a key not listed is refused. Reads come from an in-memory copy and may happen
// on any thread; each write goes to disk at once. valueChanged is emitted, on the writer's
// thread and after the store's lock is released, only when a key's value really changes.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    struct Keys {
        static constexpr QLatin1String hasAppManagementPermission{"hasAppManagementPermission"};
        static constexpr QLatin1String hasCompletedWelcomeTour{"hasCompletedWelcomeTour"};
        static constexpr QLatin1String desktopLogFilesEnabled{"desktopLogFilesEnabled"};
        static constexpr QLatin1String selectedTheme{"selectedTheme"};
    };

    // The application's own settings (QSettings with the application's organisation and name).
    explicit SettingsStore(QObject* parent = nullptr);
    // Settings kept in the INI file at `filePath` (tests, the demo world).
    explicit SettingsStore(const QString& filePath, QObject* parent = nullptr);
    ~SettingsStore() override;

    // Every known key, in a fixed order.
    static QStringList knownKeys();
    static bool isKnownKey(const QString& key);
    // The value a known key has while nothing is stored; invalid for an unknown key.
    static QVariant defaultValue(const QString& key);

    // The stored value converted to the type of the key's default, or the default when absent.
    // Invalid for an unknown key.
    QVariant value(const QString& key) const;
    // Stores the value (converted to the key's type). Returns false for an unknown key or a
    // value that cannot be converted, and for a write that fails (writeFailed says why); nothing
    // is stored then, and value() goes on giving what the file holds.
    bool setValue(const QString& key, const QVariant& value);

    bool hasAppManagementPermission() const;
    // False when the write failed: the stored value stays.
    bool setHasAppManagementPermission(bool value);
    bool hasCompletedWelcomeTour() const;
    void setHasCompletedWelcomeTour(bool value);
    bool desktopLogFilesEnabled() const;
    void setDesktopLogFilesEnabled(bool value);
    QString selectedTheme() const;
    void setSelectedTheme(const QString& value);

Q_SIGNALS:
    void valueChanged(const QString& key);
    // A write of `key` did not reach the file; `reason` says why, for the user.
    void writeFailed(const QString& key, const QString& reason);

private:
    using Factory = std::function<std::unique_ptr<QSettings>()>;
    explicit SettingsStore(Factory factory, QObject* parent);
    static std::optional<QVariant> normalise(const QString& key, const QVariant& value);

    Factory m_factory;
    mutable std::mutex m_mutex;
    QHash<QString, QVariant> m_values; // only keys that are stored, already normalised
};

} // namespace norvelle
