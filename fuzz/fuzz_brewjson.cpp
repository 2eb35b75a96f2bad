// The Homebrew catalogue, `brew outdated --json` entries and Caskroom install receipts.
#include "FuzzInput.h"
#include "sources/brew/CaskParser.h"
#include "sources/brew/CatalogueReader.h"
#include "sources/brew/InstallReceiptReader.h"
#include "util/JsonError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

namespace {

void readObject(const QJsonObject& object)
{
    (void)CaskParser::parseCask(object, true);
    (void)CaskParser::parseCask(object, false);
    const bool sudo = CaskParser::determineRequiresSudo(object);
    (void)CaskParser::extractAppArtifacts(object);
    (void)CaskParser::parseOutdatedCask(object, sudo);
    // A path that does not exist keeps the receipt reader from asking the disk about real files.
    (void)InstallReceiptReader::contentsOf(object, QStringLiteral("/nonexistent-fuzz-root"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        (void)CatalogueReader::read(fuzz::bytes(data, size));
    } catch (const JsonError&) {
    }
    const QJsonDocument document = QJsonDocument::fromJson(fuzz::bytes(data, size));
    if (document.isObject()) {
        readObject(document.object());
    } else if (document.isArray()) {
        for (const QJsonValue& value : document.array())
            if (value.isObject())
                readObject(value.toObject());
    }
    return 0;
}
