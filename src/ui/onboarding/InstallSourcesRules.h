#pragma once

#include <QColor>
#include <QList>
#include <QString>

namespace norvelle {

// What the tool-installation sheet shows for the tools missing now: its texts, its benefit rows
// and which of its three pages is on screen.
class InstallSourcesRules {
public:
    enum class CommandType { brew, mas };
    enum class Page { allInstalled, refreshing, main };

    struct Benefit {
        QString icon;
        QColor iconColor;
        QString title;
        QString description;
    };

    static QString title(bool missingBrew, bool missingMAS);
    static QString subtitle(bool missingBrew, bool missingMAS);
    // The description of the mas entry, which depends on whether Homebrew is there to install it.
    static QString masDescription(bool missingBrew);
    static QList<Benefit> benefits(bool missingBrew, bool missingMAS);
    static Page page(bool missingBrew, bool missingMAS, bool isRefreshing);
    static QString alertTitle(CommandType type);
    static QString alertMessage(CommandType type);

private:
    InstallSourcesRules() = delete;
};

} // namespace norvelle
