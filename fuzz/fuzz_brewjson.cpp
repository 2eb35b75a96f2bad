// The Homebrew catalogue, `brew outdated --json` entries and Caskroom install receipts.
#include "FuzzInput.h"
#include "sources/brew/CaskParser.h"
#include "sources/brew/CatalogueReader.h"
#include "sources/brew/CatalogueStream.h"
#include "sources/brew/InstallReceiptReader.h"
#include "util/JsonError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

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
    const QByteArray bytes = fuzz::bytes(data, size);
    std::optional<QMap<QString, Cask>> read;
    try {
        read = CatalogueReader::read(bytes);
    } catch (const JsonError&) {
    }
    // Read while it arrives, in three pieces and small batches: the same casks, or nothing.
    CatalogueStream stream(64);
    const qsizetype third = bytes.size() / 3;
    stream.append(QByteArrayView(bytes).first(third));
    stream.append(QByteArrayView(bytes).sliced(third, third));
    stream.append(QByteArrayView(bytes).sliced(2 * third));
    if (const std::optional<QMap<QString, Cask>> streamed = stream.finish(bytes))
        if (!read || !(*streamed == *read))
            std::abort();
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
