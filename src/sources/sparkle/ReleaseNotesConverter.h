#pragma once

#include <QString>
#include <optional>

namespace norvelle {

// Turns the HTML release notes of an appcast item into the small Markdown dialect that the detail pane
// renders: "#" headings, "**bold**", "*italic*", `code`, [text](target) links, "• " list items and
// paragraphs separated by one empty line.
//
// This is deliberately not an HTML parser: a fixed sequence of substitutions converts a handful of tags,
// drops every other tag and keeps the text between them. Both functions are stateless and thread-safe,
// and their cost grows linearly with the input, whatever its shape.
class ReleaseNotesConverter {
public:
    ReleaseNotesConverter() = delete;

    // The Markdown text, or none when the input is empty or nothing but white space remains.
    static std::optional<QString> convertHTMLToMarkdown(const QString& html);

    // Replaces the common named character references and the decimal ("&#65;") and hexadecimal
    // ("&#x41;") ones in a single left-to-right pass, so an escaped ampersand ("&amp;lt;") yields the
    // literal reference text ("&lt;") instead of being decoded a second time. Numeric references outside
    // the Unicode range, or naming a surrogate, stay as they are.
    static QString decodeHTMLEntities(const QString& text);
};

} // namespace norvelle
