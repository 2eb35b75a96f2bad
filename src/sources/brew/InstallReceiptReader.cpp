#include "sources/brew/InstallReceiptReader.h"

#include "platform/file/SafeFile.h"
#include "util/Json.h"
#include "platform/Logger.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <utility>

namespace norvelle {

namespace {

// Receipts are a few kilobytes; a large one is not read whole into memory.
constexpr qint64 maximumReceiptSize = 16 * 1024 * 1024;

} // namespace

InstallReceiptReader::InstallReceiptReader(QStringList caskroomRoots, QString applicationsFolder)
    : m_caskroomRoots(std::move(caskroomRoots)), m_applicationsFolder(std::move(applicationsFolder))
{
}

bool InstallReceiptReader::isUsableTrashString(const QString& trash)
{
    return trash.count(QLatin1Char('.')) >= 2;
}

std::optional<InstallReceiptReader::Contents>
InstallReceiptReader::contentsOf(const QJsonObject& receipt, const QString& applicationsFolder)
{
    const std::optional<QList<QJsonObject>> artifacts = json::objectList(receipt, u"uninstall_artifacts");
    if (!artifacts)
        return std::nullopt;

    Contents contents;
    QSet<QString> seenPaths;
    for (const QJsonObject& artifact : *artifacts) {
        if (const std::optional<QStringList> apps = json::stringList(artifact, u"app")) {
            for (const QString& name : *apps) {
                const QString candidate =
                    name.startsWith(QLatin1Char('/')) ? name : applicationsFolder + QLatin1Char('/') + name;
                if (!seenPaths.contains(candidate) && QFileInfo::exists(candidate)) {
                    seenPaths.insert(candidate);
                    contents.applicationPaths.append(candidate);
                }
            }
        }
        if (const std::optional<QList<QJsonObject>> zap = json::objectList(artifact, u"zap")) {
            for (const QJsonObject& entry : *zap) {
                const QJsonValue trash = entry.value(QLatin1StringView("trash"));
                if (trash.isString()) {
                    contents.trash.insert(trash.toString());
                } else if (const std::optional<QStringList> list = json::stringList(trash)) {
                    for (const QString& item : *list)
                        contents.trash.insert(item);
                }
            }
        }
    }
    return contents;
}

InstallReceiptReader::Contents InstallReceiptReader::read(const QString& token) const
{
    for (const QString& root : m_caskroomRoots) {
        const QString receiptPath =
            root + QLatin1Char('/') + token + QLatin1String("/.metadata/INSTALL_RECEIPT.json");
        if (!QFileInfo::exists(receiptPath))
            continue;

        const std::optional<QByteArray> data = SafeFile::readRegularFile(receiptPath, maximumReceiptSize);
        if (!data) {
            Logger::debug(QLatin1String("Failed to parse receipt for ") + token);
            continue;
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(*data, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            Logger::debug(QLatin1String("Failed to parse receipt for ") + token);
            continue;
        }
        std::optional<Contents> contents = contentsOf(document.object(), m_applicationsFolder);
        if (!contents) {
            Logger::debug(QLatin1String("No uninstall_artifacts found for ") + token);
            continue;
        }
        return std::move(*contents);
    }
    return {};
}

} // namespace norvelle
