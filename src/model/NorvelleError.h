#pragma once

#include "util/Error.h"

namespace norvelle {

// The error thrown by the update sources and the update service: one fixed
// user-facing message per case; two cases carry a text appended to it, and
// failedToParseBrewOutput may carry the specific reason of a refusal, which is
// then its message. A subclass may describe its failure in its own words instead.
class NorvelleError : public Error {
public:
    enum class Case {
        directoryNotFound,
        updateFailed,
        brewNotInstalled,
        brewCommandFailed,
        masCommandFailed,
        failedToParseBrewOutput,
        invalidAppID,
        productNotFound,
        userCancelled,
        purchasePending,
        unknownPurchaseResult,
        sparkleNotFound,
        sparkleUpdateFailed,
        noUpdateAvailable,
        missingCaskInfo,
        missingMASInfo,
        unsupportedUpdateSource,
        updateAlreadyInProgress,
        failedToLoadBundle,
    };

    explicit NorvelleError(Case c, const QString& text = {});

    Case errorCase() const { return m_case; }
    QString text() const { return m_text; }
    // What the failed tool wrote to standard error, decoded and trimmed; empty when it wrote
    // nothing readable. Not part of the description: a caller that can use the tool's own words
    // picks them from here.
    QString toolOutput() const { return m_toolOutput; }
    NorvelleError& withToolOutput(const QString& output)
    {
        m_toolOutput = output;
        return *this;
    }

    static QString message(Case c, const QString& text = {});

    static NorvelleError directoryNotFound(const QString& text) { return NorvelleError(Case::directoryNotFound, text); }
    static NorvelleError updateFailed(const QString& text) { return NorvelleError(Case::updateFailed, text); }
    static NorvelleError brewNotInstalled() { return NorvelleError(Case::brewNotInstalled); }
    static NorvelleError brewCommandFailed() { return NorvelleError(Case::brewCommandFailed); }
    static NorvelleError masCommandFailed() { return NorvelleError(Case::masCommandFailed); }
    static NorvelleError failedToParseBrewOutput(const QString& reason = {})
    {
        return NorvelleError(Case::failedToParseBrewOutput, reason);
    }
    static NorvelleError invalidAppID() { return NorvelleError(Case::invalidAppID); }
    static NorvelleError productNotFound() { return NorvelleError(Case::productNotFound); }
    static NorvelleError userCancelled() { return NorvelleError(Case::userCancelled); }
    static NorvelleError purchasePending() { return NorvelleError(Case::purchasePending); }
    static NorvelleError unknownPurchaseResult() { return NorvelleError(Case::unknownPurchaseResult); }
    static NorvelleError sparkleNotFound() { return NorvelleError(Case::sparkleNotFound); }
    static NorvelleError sparkleUpdateFailed() { return NorvelleError(Case::sparkleUpdateFailed); }
    static NorvelleError noUpdateAvailable() { return NorvelleError(Case::noUpdateAvailable); }
    static NorvelleError missingCaskInfo() { return NorvelleError(Case::missingCaskInfo); }
    static NorvelleError missingMASInfo() { return NorvelleError(Case::missingMASInfo); }
    static NorvelleError unsupportedUpdateSource() { return NorvelleError(Case::unsupportedUpdateSource); }
    static NorvelleError updateAlreadyInProgress() { return NorvelleError(Case::updateAlreadyInProgress); }
    static NorvelleError failedToLoadBundle() { return NorvelleError(Case::failedToLoadBundle); }

protected:
    NorvelleError(Case c, const QString& text, const QString& description);

private:
    Case m_case;
    QString m_text;
    QString m_toolOutput;
};

} // namespace norvelle
