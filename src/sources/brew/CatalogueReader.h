#pragma once

#include "model/Cask.h"

#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <optional>

namespace norvelle {

// Reads the cask catalogue document: every entry the cask parser accepts, by token, none marked
// installed; a later entry of a token replaces an earlier one, and entries that are empty or lack
// a "token" string are skipped. None when the top level is not an array made only of objects;
// throws JsonError when the text is not JSON.
class CatalogueReader {
public:
    static std::optional<QMap<QString, Cask>> read(QByteArrayView document);

private:
    CatalogueReader() = delete;
};

} // namespace norvelle
