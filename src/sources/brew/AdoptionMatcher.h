#pragma once

#include "model/Cask.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

namespace norvelle {

// Finds the catalogue cask that most likely installed an application the user
// put in place by hand. The keys are prepared once per catalogue load, so each
// application costs two hash lookups instead of a walk over every cask.
//
// Ranking: a match on an application artifact (its file name without ".app",
// ignoring case) scores 1000, a match of the normalised token on the normalised
// name 500; a deprecated cask loses 5000; a token holding "@" (a versioned or
// beta variant) loses 2000, any other gains 200. Ties go to the cask met first
// in token order. Disabled casks never match.
class AdoptionMatcher {
public:
    struct Match {
        Cask cask; // as the catalogue has it
        bool isExactArtifact = false;
        qint64 priority = 0;
    };

    AdoptionMatcher() = default;
    explicit AdoptionMatcher(const QMap<QString, Cask>& catalogue);

    // The best candidate for the application name among casks that are not installed.
    std::optional<Match> find(const QString& applicationName,
                              const std::function<bool(const QString& token)>& isInstalled) const;

    bool isEmpty() const { return m_casks.isEmpty(); }

    static QString normalisedToken(const QString& token);
    static QString normalisedApplicationName(const QString& name);
    static QString artifactKey(const QString& artifact);
    static qint64 priorityFor(const Cask& cask, bool isExactArtifact);

private:
    QList<Cask> m_casks; // walk order: ascending token
    QHash<QString, QList<qsizetype>> m_byArtifact;
    QHash<QString, QList<qsizetype>> m_byToken;
};

} // namespace norvelle
