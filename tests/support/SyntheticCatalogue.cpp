#include "SyntheticCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace norvelle::test {

namespace {

const char* const kWords[] = {
    "acme",  "writer", "studio", "cloud", "note",  "pixel",    "sync",  "mail",  "code",
    "vault", "beam",   "orbit",  "paper", "flux",  "terminal", "photo", "music", "chart",
    "draw",  "pilot",  "shell",  "lens",  "forge", "spark",    "zen",   "drop",  "grid",
    "echo",  "nova",   "atlas",  "quill", "relay", "prism",    "tide",  "ember", "frame",
};
constexpr int kWordCount = int(sizeof(kWords) / sizeof(kWords[0]));

QString capitalised(const QString& word)
{
    return word.left(1).toUpper() + word.mid(1);
}

} // namespace

SyntheticCatalogue::SyntheticCatalogue(int caskCount, quint32 seed) : m_seed(seed)
{
    QRandomGenerator random(seed);
    QSet<QString> used;
    while (m_entries.size() < caskCount) {
        const int wordCount = 1 + int(random.bounded(3));
        QStringList words;
        for (int i = 0; i < wordCount; ++i)
            words.append(QString::fromLatin1(kWords[random.bounded(kWordCount)]));
        QString token = words.join(QLatin1Char('-'));
        const quint32 variant = random.bounded(100);
        if (variant < 8)
            token += QStringLiteral("@beta");
        else if (variant < 11)
            token += QStringLiteral("@") + QString::number(random.bounded(2, 9));
        else if (variant < 13)
            token.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (used.contains(token))
            token += QString::number(m_entries.size());
        used.insert(token);

        Entry entry;
        entry.token = token;
        QStringList titled;
        for (const QString& word : words)
            titled.append(capitalised(word));
        const quint32 appShape = random.bounded(100);
        if (appShape < 55)
            entry.appArtifacts = {titled.join(QLatin1Char(' ')) + QStringLiteral(".app")};
        else if (appShape < 75)
            entry.appArtifacts = {titled.join(QString()) + QStringLiteral(".app")};
        else if (appShape < 85)
            entry.appArtifacts = {titled.last() + QStringLiteral(".app")};
        else if (appShape < 92)
            entry.appArtifacts = {titled.join(QString()) + QStringLiteral(".app"),
                                  titled.first() + QStringLiteral(" Helper.app")};
        // the rest install no application (pkg, binaries, fonts)
        entry.deprecated = random.bounded(100) < 4;
        entry.disabled = random.bounded(100) < 2;
        m_entries.append(entry);
    }
}

QByteArray SyntheticCatalogue::json() const
{
    QRandomGenerator random(m_seed ^ 0x5eedU);
    // Written cask by cask so that making a full-size document costs little more than its text.
    QByteArray document;
    document.reserve(qsizetype(m_entries.size()) * 1700);
    document.append('[');
    for (const Entry& entry : m_entries) {
        const QString base = entry.token.section(QLatin1Char('@'), 0, 0);
        const QString version = QStringLiteral("%1.%2.%3")
                                    .arg(random.bounded(1, 30))
                                    .arg(random.bounded(20))
                                    .arg(random.bounded(100));
        const QString url =
            QStringLiteral("https://downloads.example.com/%1/%2/%1-%2-universal.dmg").arg(base, version);
        const QString bundleId = QStringLiteral("com.example.") + base.toLower().remove(QLatin1Char('-'));

        QJsonArray artifacts;
        artifacts.append(QJsonObject{{QStringLiteral("uninstall"),
                                      QJsonArray{QJsonObject{{QStringLiteral("quit"), bundleId},
                                                             {QStringLiteral("signal"), QJsonArray{}}}}}});
        if (!entry.appArtifacts.isEmpty())
            artifacts.append(
                QJsonObject{{QStringLiteral("app"), QJsonArray::fromStringList(entry.appArtifacts)}});
        const quint32 extra = random.bounded(100);
        if (extra < 6)
            artifacts.append(QJsonObject{{QStringLiteral("pkg"), QJsonArray{base + QStringLiteral(".pkg")}}});
        else if (extra < 8)
            artifacts.append(QJsonObject{
                {QStringLiteral("installer"),
                 QJsonArray{QJsonObject{{QStringLiteral("manual"), QStringLiteral("Install.app")}}}}});
        else if (extra < 14)
            artifacts.append(
                QJsonObject{{QStringLiteral("binary"),
                             QJsonArray{QStringLiteral("$APPDIR/%1.app/Contents/MacOS/%1").arg(base),
                                        QJsonObject{{QStringLiteral("target"), base}}}}});
        QJsonArray trash;
        for (const char* place : {"Library/Application Support/", "Library/Caches/", "Library/Preferences/"})
            trash.append(QStringLiteral("~/") + QLatin1String(place) + bundleId + QStringLiteral(".plist"));
        artifacts.append(
            QJsonObject{{QStringLiteral("zap"), QJsonArray{QJsonObject{{QStringLiteral("trash"), trash}}}}});

        QJsonObject cask{
            {QStringLiteral("token"), entry.token},
            {QStringLiteral("full_token"), entry.token},
            {QStringLiteral("old_tokens"), QJsonArray{}},
            {QStringLiteral("tap"), QStringLiteral("homebrew/cask")},
            {QStringLiteral("name"), QJsonArray{base}},
            {QStringLiteral("desc"), random.bounded(10) == 0 ? QJsonValue()
                                                             : QJsonValue(QStringLiteral("Tool for ") + base +
                                                                          QStringLiteral(" work and play"))},
            {QStringLiteral("homepage"), QStringLiteral("https://www.example.com/") + base},
            {QStringLiteral("url"), url},
            {QStringLiteral("url_specs"),
             QJsonObject{{QStringLiteral("verified"), QStringLiteral("downloads.example.com/")}}},
            {QStringLiteral("version"), version},
            {QStringLiteral("installed"), QJsonValue()},
            {QStringLiteral("installed_time"), QJsonValue()},
            {QStringLiteral("bundle_version"), QJsonValue()},
            {QStringLiteral("bundle_short_version"), QJsonValue()},
            {QStringLiteral("outdated"), false},
            {QStringLiteral("sha256"), QString::number(random.generate64(), 16).repeated(4).left(64)},
            {QStringLiteral("artifacts"), artifacts},
            {QStringLiteral("caveats"),
             random.bounded(100) < 7
                 ? QJsonValue(QStringLiteral("This requires Administrator rights to install.\n"))
                 : QJsonValue()},
            {QStringLiteral("depends_on"),
             QJsonObject{{QStringLiteral("macos"),
                          QJsonObject{{QStringLiteral(">="), QJsonArray{QStringLiteral("12")}}}}}},
            {QStringLiteral("conflicts_with"), QJsonValue()},
            {QStringLiteral("container"), QJsonValue()},
            {QStringLiteral("auto_updates"), random.bounded(2) == 1},
            {QStringLiteral("deprecated"), entry.deprecated},
            {QStringLiteral("deprecation_date"),
             entry.deprecated ? QJsonValue(QStringLiteral("2024-01-01")) : QJsonValue()},
            {QStringLiteral("deprecation_reason"),
             entry.deprecated ? QJsonValue(QStringLiteral("discontinued")) : QJsonValue()},
            {QStringLiteral("disabled"), entry.disabled},
            {QStringLiteral("disable_date"), QJsonValue()},
            {QStringLiteral("disable_reason"), QJsonValue()},
            {QStringLiteral("tap_git_head"), QStringLiteral("0123456789abcdef0123456789abcdef01234567")},
            {QStringLiteral("languages"), QJsonArray{}},
            {QStringLiteral("ruby_source_path"), QStringLiteral("Casks/") + entry.token.left(1) +
                                                     QStringLiteral("/") + entry.token +
                                                     QStringLiteral(".rb")},
            {QStringLiteral("ruby_source_checksum"),
             QJsonObject{
                 {QStringLiteral("sha256"), QString::number(random.generate64(), 16).repeated(4).left(64)}}},
        };
        // Architecture and OS variations make up much of the real document's size.
        QJsonObject variations;
        for (const char* system : {"arm64_sequoia", "sonoma"}) {
            variations.insert(
                QLatin1String(system),
                QJsonObject{{QStringLiteral("url"),
                             QString(url).replace(QStringLiteral("universal"), QLatin1String(system))},
                            {QStringLiteral("sha256"),
                             QString::number(random.generate64(), 16).repeated(4).left(64)}});
        }
        cask.insert(QStringLiteral("variations"), variations);
        if (document.size() > 1)
            document.append(',');
        document.append(QJsonDocument(cask).toJson(QJsonDocument::Compact));
    }
    document.append(']');
    return document;
}

QStringList SyntheticCatalogue::probeNames() const
{
    QStringList names;
    QRandomGenerator random(m_seed ^ 0xabcdU);
    for (const Entry& entry : m_entries) {
        for (const QString& artifact : entry.appArtifacts)
            names.append(QString(artifact).remove(QStringLiteral(".app")));
        QString spaced = entry.token.section(QLatin1Char('@'), 0, 0);
        spaced.replace(QLatin1Char('-'), QLatin1Char(' '));
        names.append(random.bounded(2) ? spaced.toUpper() : spaced);
    }
    names.append(
        {QStringLiteral("Nothing Like It"), QString(), QStringLiteral(".app"), QStringLiteral("acme.app")});
    return names;
}

} // namespace norvelle::test
