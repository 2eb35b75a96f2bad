#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace norvelle {

// Property lists (XML or binary, as in an application bundle's Contents/Info.plist) read into
// and written from QVariant values:
//   dict -> QVariantMap, array -> QVariantList, string -> QString, boolean -> bool,
//   integer -> qint64, real -> double, date -> QDateTime (UTC), data -> QByteArray.
// A dictionary entry or array element that cannot be read (a UID, text that is not UTF-8) is
// left out, as if absent.
class PropertyList {
public:
    enum class Format { xml, binary };

    // Largest property list read; Info.plist files are a few kilobytes.
    static constexpr qint64 maximumSize = 16 * 1024 * 1024;

    // The root value of XML or binary data, or none when the data is not a property list.
    static std::optional<QVariant> parse(QByteArrayView data);
    // The root dictionary, or none when the data is not a property list or its root is not a dictionary.
    static std::optional<QVariantMap> parseDictionary(QByteArrayView data);
    // parseDictionary over a whole file; none when it cannot be read or is larger than maximumSize.
    static std::optional<QVariantMap> readDictionaryFile(const QString& path);

    // The text under `key`, or none when missing or not text.
    static std::optional<QString> string(const QVariantMap& dictionary, const QString& key);

    // The value as a property list; none when it holds a type that has no property-list form.
    static std::optional<QByteArray> serialize(const QVariant& value, Format format);
    // serialize and write the file atomically; false on any failure.
    static bool writeFile(const QString& path, const QVariant& value, Format format);

private:
    PropertyList() = delete;
};

} // namespace norvelle
