#include "platform/plist/PropertyList.h"

#include "platform/file/SafeFile.h"
#include "util/StrictText.h"

#include <QDateTime>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <plist/plist.h>

namespace norvelle {

namespace {

// Property-list dates count seconds from 2001-01-01T00:00:00Z.
constexpr qint64 kReferenceEpoch = 978307200;
// Values nested deeper than any real property list are left out rather than recursed into.
constexpr int kMaximumDepth = 256;

struct NodeDeleter {
    void operator()(plist_t node) const
    {
        if (node)
            plist_free(node);
    }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

// libplist 2.2 hands out malloc'ed strings that the caller frees.
struct CStringDeleter {
    void operator()(char* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, CStringDeleter>;

std::optional<QString> utf8(const char* text)
{
    if (!text)
        return std::nullopt;
    return decodeUtf8Strict(QByteArrayView(text, qsizetype(std::strlen(text))));
}

QVariant toVariant(plist_t node, int depth);

QVariant dictionaryToVariant(plist_t node, int depth)
{
    QVariantMap map;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    if (!it)
        return map;
    for (;;) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &rawKey, &value);
        CString key(rawKey);
        if (!value)
            break;
        const auto keyText = utf8(key.get());
        if (!keyText)
            continue;
        QVariant converted = toVariant(value, depth + 1);
        if (converted.isValid())
            map.insert(*keyText, converted);
    }
    std::free(it);
    return map;
}

QVariant arrayToVariant(plist_t node, int depth)
{
    QVariantList list;
    const uint32_t size = plist_array_get_size(node);
    for (uint32_t i = 0; i < size; ++i) {
        plist_t item = plist_array_get_item(node, i);
        if (!item)
            continue;
        QVariant converted = toVariant(item, depth + 1);
        if (converted.isValid())
            list.append(converted);
    }
    return list;
}

QVariant toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaximumDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_DICT:
        return dictionaryToVariant(node, depth);
    case PLIST_ARRAY:
        return arrayToVariant(node, depth);
    case PLIST_STRING: {
        // The pointer form: plist_get_string_val asserts on text holding a NUL character.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (!text || length > uint64_t(PropertyList::maximumSize))
            return {};
        const auto decoded = decodeUtf8Strict(QByteArrayView(text, qsizetype(length)));
        return decoded ? QVariant(*decoded) : QVariant();
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Property-list integers are signed 64-bit; libplist 2.2 hands them over as their bits.
        return QVariant(qint64(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const qint64 ms = (kReferenceEpoch + qint64(sec)) * 1000 + usec / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
    }
    case PLIST_DATA: {
        char* raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        CString data(raw);
        if (!data && length > 0)
            return {};
        return QVariant(QByteArray(data.get(), qsizetype(length)));
    }
    default:
        return {};
    }
}

plist_t fromVariant(const QVariant& value, int depth);

plist_t dictionaryFromVariant(const QVariantMap& map, int depth)
{
    plist_t dict = plist_new_dict();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        plist_t item = fromVariant(it.value(), depth + 1);
        if (!item) {
            plist_free(dict);
            return nullptr;
        }
        plist_dict_set_item(dict, it.key().toUtf8().constData(), item);
    }
    return dict;
}

plist_t fromVariant(const QVariant& value, int depth)
{
    if (depth > kMaximumDepth)
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
        return dictionaryFromVariant(value.toMap(), depth);
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        QVariantMap map;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), it.value());
        return dictionaryFromVariant(map, depth);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& element : value.toList()) {
            plist_t item = fromVariant(element, depth + 1);
            if (!item) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, item);
        }
        return array;
    }
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), uint64_t(data.size()));
    }
    case QMetaType::QDateTime: {
        const QDateTime time = value.toDateTime();
        if (!time.isValid())
            return nullptr;
        const qint64 ms = time.toMSecsSinceEpoch() - kReferenceEpoch * 1000;
        const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        if (sec < std::numeric_limits<int32_t>::min() || sec > std::numeric_limits<int32_t>::max())
            return nullptr;
        return plist_new_date(int32_t(sec), int32_t((ms - sec * 1000) * 1000));
    }
    default:
        return nullptr;
    }
}

quint64 readBigEndian(const uchar* p, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | p[i];
    return value;
}

// libplist 2.2 aborts the process (a failed assert when a dictionary key is read) on a binary
// property list whose UTF-16 text holds a NUL character. Such files are refused before they
// reach it: every object of the offset table is visited, and UTF-16 strings are checked. A table
// that does not fit the data is refused too; libplist would refuse it anyway.
bool binaryIsSafeForLibplist(QByteArrayView data)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.data());
    const quint64 size = quint64(data.size());
    if (size < 8 + 32)
        return false;
    const uchar* trailer = bytes + size - 32;
    const int offsetSize = trailer[6];
    const quint64 objectCount = readBigEndian(trailer + 8, 8);
    const quint64 tableOffset = readBigEndian(trailer + 24, 8);
    const quint64 objectsEnd = size - 32;
    // The table must lie before the trailer; tested first, so that the subtraction below
    // cannot wrap around and let a table past the trailer through.
    if (offsetSize < 1 || offsetSize > 8 || objectCount > size || tableOffset > objectsEnd ||
        objectCount * quint64(offsetSize) > objectsEnd - tableOffset)
        return false;
    for (quint64 i = 0; i < objectCount; ++i) {
        const quint64 offset = readBigEndian(bytes + tableOffset + i * quint64(offsetSize), offsetSize);
        if (offset >= objectsEnd)
            return false;
        const uchar marker = bytes[offset];
        if ((marker >> 4) != 0x6)
            continue;
        quint64 count = marker & 0x0f;
        quint64 start = offset + 1;
        if (count == 0x0f) {
            if (start >= objectsEnd || (bytes[start] >> 4) != 0x1)
                return false;
            const int intSize = 1 << (bytes[start] & 0x0f);
            if (intSize > 8 || start + 1 + quint64(intSize) > objectsEnd)
                return false;
            count = readBigEndian(bytes + start + 1, intSize);
            start += 1 + quint64(intSize);
        }
        if (count > (objectsEnd - start) / 2)
            return false;
        for (quint64 k = 0; k < count; ++k) {
            if (bytes[start + 2 * k] == 0 && bytes[start + 2 * k + 1] == 0)
                return false;
        }
    }
    return true;
}

} // namespace

std::optional<QVariant> PropertyList::parse(QByteArrayView data)
{
    if (data.isEmpty() || data.size() > maximumSize)
        return std::nullopt;
    if (plist_is_binary(data.data(), uint32_t(data.size())) && !binaryIsSafeForLibplist(data))
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(data.data(), uint32_t(data.size()), &raw);
    NodePtr root(raw);
    if (!root)
        return std::nullopt;
    QVariant value = toVariant(root.get(), 0);
    if (!value.isValid())
        return std::nullopt;
    return value;
}

std::optional<QVariantMap> PropertyList::parseDictionary(QByteArrayView data)
{
    const auto value = parse(data);
    if (!value || value->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value->toMap();
}

std::optional<QVariantMap> PropertyList::readDictionaryFile(const QString& path)
{
    const std::optional<QByteArray> data = SafeFile::readRegularFile(path, maximumSize);
    if (!data)
        return std::nullopt;
    return parseDictionary(*data);
}

std::optional<QString> PropertyList::string(const QVariantMap& dictionary, const QString& key)
{
    const auto it = dictionary.constFind(key);
    if (it == dictionary.cend() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

std::optional<QByteArray> PropertyList::serialize(const QVariant& value, Format format)
{
    NodePtr root(fromVariant(value, 0));
    if (!root)
        return std::nullopt;
    char* out = nullptr;
    uint32_t length = 0;
    if (format == Format::xml)
        plist_to_xml(root.get(), &out, &length);
    else
        plist_to_bin(root.get(), &out, &length);
    CString buffer(out);
    if (!buffer)
        return std::nullopt;
    return QByteArray(buffer.get(), qsizetype(length));
}

bool PropertyList::writeFile(const QString& path, const QVariant& value, Format format)
{
    const auto bytes = serialize(value, format);
    if (!bytes)
        return false;
    return SafeFile::writeAtomically(path, *bytes);
}

} // namespace norvelle
