#pragma once

#include "sources/mas/AppStoreMetadata.h"
#include "platform/Logger.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <QUrl>
#include <optional>
#include <variant>

namespace norvelle {

// Validation of one iTunes lookup reply, kept apart from the request so every rule can be
// checked on plain bytes.
class AppStoreLookupReply {
public:
    // Why a reply gave no record: the line to log and its level.
    struct Rejection {
        Logger::Level level = Logger::Level::warning;
        QString message;

        bool operator==(const Rejection& other) const = default;
    };

    using Result = std::variant<AppStoreMetadata, Rejection>;

    // The record in the first result of a reply with this status and body, or the first check
    // it fails (status, JSON shape, result count, results array, required fields, in that order).
    // Optional fields that are missing or malformed are left absent.
    static Result read(int statusCode, QByteArrayView body, const QString& bundleIdentifier);

    // "currentVersionReleaseDate": an internet date-time with a zone and no fraction of a second.
    static std::optional<QDateTime> releaseDate(const QJsonValue& value);
    // "fileSizeBytes": a strictly base-10 integer text, else a JSON number with an exact
    // 64-bit integer value.
    static std::optional<qint64> fileSizeBytes(const QJsonValue& value);
    // "trackViewUrl": text forming a valid http or https address.
    static std::optional<QUrl> trackViewUrl(const QJsonValue& value);

private:
    AppStoreLookupReply() = delete;
};

} // namespace norvelle
