#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace norvelle {

// Text that comes from outside (tool output, files, replies) is read strictly:
// bytes that are not valid UTF-8 give no text at all instead of replacement characters.

// The bytes as UTF-8, or none when any byte sequence is invalid, overlong, a surrogate,
// beyond U+10FFFF or cut off at the end. A leading byte-order mark is dropped.
std::optional<QString> decodeUtf8Strict(QByteArrayView bytes);

// Removes white space and line breaks (Unicode separators Z*, U+0009..U+000D, U+0085) at both ends.
QString trimWhitespaceAndNewlines(QStringView text);

// Removes white space without line breaks (Unicode space separators Zs and U+0009) at both ends.
QString trimSpacesAndTabs(QStringView text);

// True for the Unicode newline set: U+000A..U+000D, U+0085, U+2028, U+2029.
bool isUnicodeNewline(QChar c);

// Splits at every character of the Unicode newline set and drops the empty pieces;
// the pieces are not trimmed, so "a\r\nb" gives "a", "b".
QStringList splitAtNewlines(QStringView text);

// Tool output as lines: cut at every line feed byte, each piece decoded on its own with
// decodeUtf8Strict and then split with splitAtNewlines. A piece that is not valid UTF-8 is left out
// and counted in *invalidLines, so one bad byte costs one line, not the whole output.
QStringList decodeUtf8Lines(QByteArrayView bytes, qsizetype* invalidLines = nullptr);

// A base-10 integer: an optional "+" or "-" followed by one or more ASCII digits and nothing
// else, within the signed 64-bit range.
std::optional<qint64> parseInt64Strict(QStringView text);

} // namespace norvelle
