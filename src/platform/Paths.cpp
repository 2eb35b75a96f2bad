#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace norvelle {

namespace {

const QString kSupportRelative = QStringLiteral("Library/Application Support/Norvelle");
const QString kSettingsRelative = QStringLiteral(".config/Norvelle/Norvelle.conf");

QString defaultSupportFolder(const QString& home)
{
#if defined(Q_OS_MACOS)
    return home + u'/' + kSupportRelative;
#else
    // Elsewhere the same folder lives where the platform keeps application data.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? home + u'/' + kSupportRelative : data + QStringLiteral("/Norvelle");
#endif
}

bool exists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

} // namespace

Paths Paths::defaults()
{
    Paths p;
    p.applicationsFolder = QStringLiteral("/Applications");
    p.brewCandidates = {QStringLiteral("/opt/homebrew/bin/brew"), QStringLiteral("/usr/local/bin/brew")};
    p.masCandidates = {QStringLiteral("/opt/homebrew/bin/mas"), QStringLiteral("/usr/local/bin/mas")};
    p.caskroomFolders = {QStringLiteral("/opt/homebrew/Caskroom"), QStringLiteral("/usr/local/Caskroom")};
    p.homeFolder = QDir::homePath();
    p.desktopFolder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    p.supportFolder = defaultSupportFolder(p.homeFolder);
    p.caskCatalogueUrl = QUrl(QStringLiteral("https://formulae.brew.sh/api/cask.json"));
    p.iTunesLookupUrl = QUrl(QStringLiteral("https://itunes.apple.com/lookup"));
    return p;
}

Paths Paths::underRoot(const QString& root)
{
    const QString r = QDir::cleanPath(root);
    Paths p = defaults();
    p.applicationsFolder = r + QStringLiteral("/Applications");
    p.brewCandidates = {r + QStringLiteral("/opt/homebrew/bin/brew"),
                        r + QStringLiteral("/usr/local/bin/brew")};
    p.masCandidates = {r + QStringLiteral("/opt/homebrew/bin/mas"), r + QStringLiteral("/usr/local/bin/mas")};
    p.caskroomFolders = {r + QStringLiteral("/opt/homebrew/Caskroom"),
                         r + QStringLiteral("/usr/local/Caskroom")};
    p.homeFolder = r + QStringLiteral("/home");
    p.desktopFolder = p.homeFolder + QStringLiteral("/Desktop");
    p.supportFolder = p.homeFolder + u'/' + kSupportRelative;
    // A world under a root never shares the user's preferences.
    p.settingsFile = p.homeFolder + u'/' + kSettingsRelative;
    return p;
}

// Variables read, each optional:
//   NORVELLE_ROOT               start from underRoot(value) instead of the real locations
//   NORVELLE_APPLICATIONS_DIR   applicationsFolder
//   NORVELLE_BREW               brewCandidates (':'-separated)
//   NORVELLE_MAS                masCandidates (':'-separated)
//   NORVELLE_CASKROOM           caskroomFolders (':'-separated)
//   NORVELLE_HOME               homeFolder, and the Desktop and support folders and the
//                               settings file inside it
//   NORVELLE_DESKTOP_DIR        desktopFolder
//   NORVELLE_SUPPORT_DIR        supportFolder
//   NORVELLE_CASK_CATALOGUE_URL caskCatalogueUrl (http or https)
//   NORVELLE_ITUNES_LOOKUP_URL  iTunesLookupUrl (http or https)
//   NORVELLE_SETTINGS_FILE      settingsFile
//   NORVELLE_CA_FILE            caFile
Paths Paths::fromEnvironment(const QProcessEnvironment& env, QStringList* problems)
{
    const QString root = env.value(QStringLiteral("NORVELLE_ROOT"));
    Paths p = root.isEmpty() ? defaults() : underRoot(root);

    auto text = [&](const char* name, QString& target) {
        const QString value = env.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            target = value;
    };
    auto list = [&](const char* name, QStringList& target) {
        const QString value = env.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            target = value.split(u':', Qt::SkipEmptyParts);
    };
    auto url = [&](const char* name, QUrl& target) {
        const QString value = env.value(QString::fromLatin1(name));
        if (value.isEmpty())
            return;
        const QUrl parsed(value, QUrl::StrictMode);
        const QString scheme = parsed.scheme();
        if (parsed.isValid() && (scheme == u"http" || scheme == u"https") && !parsed.host().isEmpty())
            target = parsed;
        else if (problems)
            problems->append(QString::fromLatin1(name) + QStringLiteral(" is not an http(s) URL: ") + value);
    };

    text("NORVELLE_APPLICATIONS_DIR", p.applicationsFolder);
    list("NORVELLE_BREW", p.brewCandidates);
    list("NORVELLE_MAS", p.masCandidates);
    list("NORVELLE_CASKROOM", p.caskroomFolders);
    const QString home = env.value(QStringLiteral("NORVELLE_HOME"));
    if (!home.isEmpty()) {
        // A different home moves the folders that live inside it, unless named on their own.
        p.homeFolder = home;
        p.desktopFolder = home + QStringLiteral("/Desktop");
        p.supportFolder = home + u'/' + kSupportRelative;
        p.settingsFile = home + u'/' + kSettingsRelative;
    }
    text("NORVELLE_DESKTOP_DIR", p.desktopFolder);
    text("NORVELLE_SUPPORT_DIR", p.supportFolder);
    url("NORVELLE_CASK_CATALOGUE_URL", p.caskCatalogueUrl);
    url("NORVELLE_ITUNES_LOOKUP_URL", p.iTunesLookupUrl);
    text("NORVELLE_SETTINGS_FILE", p.settingsFile);
    text("NORVELLE_CA_FILE", p.caFile);
    return p;
}

std::optional<QString> Paths::firstExisting(const QStringList& candidates)
{
    for (const QString& candidate : candidates) {
        if (exists(candidate))
            return candidate;
    }
    return std::nullopt;
}

QString Paths::brewExecutable() const
{
    return firstExisting(brewCandidates).value_or(brewCandidates.isEmpty() ? QString() : brewCandidates.last());
}

bool Paths::hasBrew() const
{
    return firstExisting(brewCandidates).has_value();
}

std::optional<QString> Paths::masExecutable() const
{
    return firstExisting(masCandidates);
}

} // namespace norvelle
