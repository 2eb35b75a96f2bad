#pragma once

#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Typed reading of outside JSON: a member that is missing, null or of another type than the
// one asked for is absent; lists whose elements must all have one type are rejected whole
// when any element has another.
namespace norvelle::json {

std::optional<QString> string(const QJsonValue& value);
std::optional<bool> boolean(const QJsonValue& value);
// A number with a whole value that a signed 64-bit integer holds exactly (5 and 5.0, not 5.5).
std::optional<qint64> int64(const QJsonValue& value);
std::optional<double> number(const QJsonValue& value);
std::optional<QJsonObject> object(const QJsonValue& value);
std::optional<QJsonArray> array(const QJsonValue& value);
std::optional<QStringList> stringList(const QJsonValue& value);
std::optional<QList<QJsonObject>> objectList(const QJsonValue& value);

std::optional<QString> string(const QJsonObject& object, QStringView key);
std::optional<bool> boolean(const QJsonObject& object, QStringView key);
std::optional<qint64> int64(const QJsonObject& object, QStringView key);
std::optional<double> number(const QJsonObject& object, QStringView key);
std::optional<QJsonObject> object(const QJsonObject& object, QStringView key);
std::optional<QJsonArray> array(const QJsonObject& object, QStringView key);
std::optional<QStringList> stringList(const QJsonObject& object, QStringView key);
std::optional<QList<QJsonObject>> objectList(const QJsonObject& object, QStringView key);

// Parses a whole JSON text (object or array at the top). Throws JsonError with the parser's
// description when the text is not valid JSON.
QJsonDocument parse(QByteArrayView bytes);
// The same without throwing: none for invalid JSON; `errorText` (when given) gets the description.
std::optional<QJsonDocument> tryParse(QByteArrayView bytes, QString* errorText = nullptr);
// None unless the text is valid JSON with an object at the top.
std::optional<QJsonObject> parseObject(QByteArrayView bytes);
// None unless the text is valid JSON with an array at the top.
std::optional<QJsonArray> parseArray(QByteArrayView bytes);

} // namespace norvelle::json
