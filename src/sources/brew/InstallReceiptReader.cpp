#include "sources/brew/InstallReceiptReader.h"

#include "util/Logger.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <utility>

namespace norvelle {

namespace {

// Every element must be a string, else the list contributes nothing.
std::optional<QStringList> strings(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList result;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isString())
            return std::nullopt;
        result.append(element.toString());
    }
    return result;
}

// Every element must be an object, else the list counts as missing.
std::optional<QList<QJsonObject>> objects(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<QJsonObject> result;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isObject())
            return std::nullopt;
        result.append(element.toObject());
    }
    return result;
}

} // namespace

InstallReceiptReader::InstallReceiptReader(QStringList caskroomRoots, QString applicationsFolder)
    : m_caskroomRoots(std::move(caskroomRoots)), m_applicationsFolder(std::move(applicationsFolder))
{
}

bool InstallReceiptReader::isUsableTrashString(const QString& trash)
{
    return trash.count(QLatin1Char('.')) >= 2;
}

std::optional<InstallReceiptReader::Contents> InstallReceiptReader::contentsOf(const QJsonObject& receipt,
                                                                               const QString& applicationsFolder)
{
    const std::optional<QList<QJsonObject>> artifacts = objects(receipt.value(QLatin1StringView("uninstall_artifacts")));
    if (!artifacts)
        return std::nullopt;

    Contents contents;
    QSet<QString> seenPaths;
    for (const QJsonObject& artifact : *artifacts) {
        if (const std::optional<QStringList> apps = strings(artifact.value(QLatin1StringView("app")))) {
            for (const QString& name : *apps) {
                const QString candidate =
                    name.startsWith(QLatin1Char('/')) ? name : applicationsFolder + QLatin1Char('/') + name;
                if (!seenPaths.contains(candidate) && QFileInfo::exists(candidate)) {
                    seenPaths.insert(candidate);
                    contents.applicationPaths.append(candidate);
                }
            }
        }
        if (const std::optional<QList<QJsonObject>> zap = objects(artifact.value(QLatin1StringView("zap")))) {
            for (const QJsonObject& entry : *zap) {
                const QJsonValue trash = entry.value(QLatin1StringView("trash"));
                if (trash.isString()) {
                    contents.trash.insert(trash.toString());
                } else if (const std::optional<QStringList> list = strings(trash)) {
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
        const QString receiptPath = root + QLatin1Char('/') + token + QLatin1String("/.metadata/INSTALL_RECEIPT.json");
        if (!QFileInfo::exists(receiptPath))
            continue;

        QFile file(receiptPath);
        if (!file.open(QIODevice::ReadOnly)) {
            Logger::debug(QLatin1String("Failed to parse receipt for ") + token);
            continue;
        }
        const QByteArray data = file.readAll();
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
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
