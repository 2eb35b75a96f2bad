#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace norvelle {

// An application bundle as the updater sees it: its path and the top-level values of
// its Contents/Info.plist (XML or binary).
class UpdaterBundle {
public:
    UpdaterBundle() = default;

    // None when the folder has no readable Info.plist holding a dictionary.
    static std::optional<UpdaterBundle> load(const QString& bundlePath);

    QString path() const { return m_path; }

    bool contains(const QString& key) const { return m_values.contains(key); }
    // The value of a key when it is a string, else empty.
    QString string(const QString& key) const;
    // The value of a key when it is a boolean, else none.
    std::optional<bool> boolean(const QString& key) const;

    QString identifier() const { return string(QStringLiteral("CFBundleIdentifier")); }
    // "CFBundleVersion", else "CFBundleShortVersionString": what updates are compared with.
    QString version() const;

private:
    UpdaterBundle(QString path, QVariantMap values) : m_path(std::move(path)), m_values(std::move(values)) {}

    QString m_path;
    QVariantMap m_values;
};

} // namespace norvelle
