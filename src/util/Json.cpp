#include "util/Json.h"

#include "util/JsonError.h"

#include <QJsonParseError>

namespace norvelle::json {

std::optional<QString> string(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<bool> boolean(const QJsonValue& value)
{
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<qint64> int64(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger answers its default for a value that is not a whole qint64; asking with two
    // different defaults tells such a value from one that equals the default.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return std::nullopt;
    return a;
}

std::optional<double> number(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<QJsonObject> object(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    return value.toObject();
}

std::optional<QJsonArray> array(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    return value.toArray();
}

std::optional<QStringList> stringList(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray items = value.toArray();
    QStringList result;
    result.reserve(items.size());
    for (const QJsonValue& item : items) {
        if (!item.isString())
            return std::nullopt;
        result.append(item.toString());
    }
    return result;
}

std::optional<QList<QJsonObject>> objectList(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray items = value.toArray();
    QList<QJsonObject> result;
    result.reserve(items.size());
    for (const QJsonValue& item : items) {
        if (!item.isObject())
            return std::nullopt;
        result.append(item.toObject());
    }
    return result;
}

std::optional<QString> string(const QJsonObject& o, QStringView key)
{
    return string(o.value(key));
}
std::optional<bool> boolean(const QJsonObject& o, QStringView key)
{
    return boolean(o.value(key));
}
std::optional<qint64> int64(const QJsonObject& o, QStringView key)
{
    return int64(o.value(key));
}
std::optional<double> number(const QJsonObject& o, QStringView key)
{
    return number(o.value(key));
}
std::optional<QJsonObject> object(const QJsonObject& o, QStringView key)
{
    return object(o.value(key));
}
std::optional<QJsonArray> array(const QJsonObject& o, QStringView key)
{
    return array(o.value(key));
}
std::optional<QStringList> stringList(const QJsonObject& o, QStringView key)
{
    return stringList(o.value(key));
}
std::optional<QList<QJsonObject>> objectList(const QJsonObject& o, QStringView key)
{
    return objectList(o.value(key));
}

std::optional<QJsonDocument> tryParse(QByteArrayView bytes, QString* errorText)
{
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        if (errorText)
            *errorText =
                error.error != QJsonParseError::NoError
                    ? error.errorString() + QStringLiteral(" at offset ") + QString::number(error.offset)
                    : QStringLiteral("no JSON value");
        return std::nullopt;
    }
    return document;
}

QJsonDocument parse(QByteArrayView bytes)
{
    QString errorText;
    auto document = tryParse(bytes, &errorText);
    if (!document)
        throw JsonError(QStringLiteral("The data couldn't be read because it isn't in the correct format: ") +
                        errorText);
    return *document;
}

std::optional<QJsonObject> parseObject(QByteArrayView bytes)
{
    auto document = tryParse(bytes);
    if (!document || !document->isObject())
        return std::nullopt;
    return document->object();
}

std::optional<QJsonArray> parseArray(QByteArrayView bytes)
{
    auto document = tryParse(bytes);
    if (!document || !document->isArray())
        return std::nullopt;
    return document->array();
}

} // namespace norvelle::json
