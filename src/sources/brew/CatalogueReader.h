#pragma once

#include "model/Cask.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <optional>

namespace norvelle {

// Reads the cask catalogue document: every entry the cask parser accepts, by token, none marked
// installed; a later entry of a token replaces an earlier one, and entries that are empty or lack
// a "token" string are skipped. None when the top level is not an array made only of objects
// (a lone value such as null included); throws JsonError when the text is not JSON.
//
// The document is some 13 MB, and Qt's parser spent most of a discovery on it: simdjson parses it
// and the members CaskParser reads are taken from its tree directly, by the same rules (a member
// of another type, null included, is absent; of a repeated member the last counts). Text that
// simdjson refuses goes to Qt's parser, so what is accepted and the error's description stay
// util/Json's.
class CatalogueReader {
public:
    static std::optional<QMap<QString, Cask>> read(QByteArrayView document);
    // The same, reading a document it may extend in place rather than copy.
    static std::optional<QMap<QString, Cask>> read(QByteArray&& document);

    // The same through Qt's parser and CaskParser alone: the reference the fast path must equal.
    static std::optional<QMap<QString, Cask>> readWithQt(QByteArrayView document);

private:
    CatalogueReader() = delete;
    // data must stay readable for simdjson's padding past size.
    static std::optional<QMap<QString, Cask>> readPadded(const char* data, size_t size,
                                                         QByteArrayView document);
};

} // namespace norvelle
