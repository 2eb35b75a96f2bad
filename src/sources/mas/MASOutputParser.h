#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace norvelle {

// One line of `mas list`: the store identifier and the name as the tool prints them.
// The service resolves the name to a bundle identifier separately.
struct MASListEntry {
    QString appID;
    QString appName;

    bool operator==(const MASListEntry& other) const = default;
};

// One line of `mas outdated`.
struct MASOutdated {
    QString appID;
    QString installedVersion;
    QString storeVersion;

    bool operator==(const MASOutdated& other) const = default;
};

// Reads the plain-text listings of the `mas` tool. Lines that do not have the expected
// shape give nothing; nothing here logs.
class MASOutputParser {
public:
    // The tool's output as lines: strict UTF-8 line by line (a line that does not decode is left
    // out and counted in *invalidLines), cut at every Unicode line break, empty pieces left out,
    // nothing trimmed.
    static QStringList splitLines(QByteArrayView output, qsizetype* invalidLines = nullptr);

    // "<id> <name> (<version>)", the identifier all ASCII digits. The last "(" opens the version,
    // so a name may itself hold parentheses; odd spacing around the name is tolerated.
    static std::optional<MASListEntry> parseListLine(QStringView line);
    // Whether the line is an application's line of `mas list`.
    static bool isListLine(QStringView line);

    // "<id> <name> (<installed> -> <store>)". The first " (" and the first ")" bound the
    // versions, so a name holding " (" or ")" makes the line unreadable.
    static std::optional<MASOutdated> parseOutdatedLine(QStringView line);

private:
    MASOutputParser() = delete;
};

} // namespace norvelle
