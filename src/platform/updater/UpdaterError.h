#pragma once

#include "util/Error.h"

#include <QString>

namespace norvelle {

// Every failure of the appcast updater: a start-up check, a check cycle or an install.
// The description is a readable sentence a caller can show as it is.
class UpdaterError : public Error {
public:
    enum class Kind {
        invalidBundle,    // no readable bundle, or no bundle version
        invalidFeed,      // no feed address, or not an http(s) address
        invalidPublicKey, // "SUPublicEDKey" present but malformed
        feedFailed,       // the feed could not be fetched
        malformedAppcast, // the feed is not a readable appcast
        notInstallable,   // informational item, no download, unsupported format
        downloadFailed,
        signatureInvalid, // missing key, missing or wrong signature
        extractionFailed, // unreadable or hostile archive
        bundleInvalid,    // the update's bundle does not fit the installed one
        installFailed,    // the swap failed (the installed bundle stays)
        timedOut,         // the feed or the download stalled
    };

    UpdaterError(Kind kind, const QString& description) : Error(description), m_kind(kind) {}

    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace norvelle
