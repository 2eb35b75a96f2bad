#include "CaskroomBuilder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace norvelle::test {

CaskroomBuilder::CaskroomBuilder(QString caskroomFolder) : m_folder(std::move(caskroomFolder)) {}

QString CaskroomBuilder::receiptPath(const QString& token) const
{
    return m_folder + u'/' + token + QStringLiteral("/.metadata/INSTALL_RECEIPT.json");
}

QString CaskroomBuilder::writeReceipt(const QString& token, const QByteArray& json) const
{
    const QString path = receiptPath(token);
    if (!QDir().mkpath(m_folder + u'/' + token + QStringLiteral("/.metadata")))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size())
        return {};
    return path;
}

QString CaskroomBuilder::writeReceipt(const QString& token, const QJsonObject& receipt) const
{
    return writeReceipt(token, QJsonDocument(receipt).toJson(QJsonDocument::Indented));
}

QString CaskroomBuilder::addVersionFolder(const QString& token, const QString& version) const
{
    const QString path = m_folder + u'/' + token + u'/' + version;
    QDir().mkpath(path);
    return path;
}

QJsonObject CaskroomBuilder::receipt(const QStringList& apps, const QStringList& trash)
{
    QJsonArray artifacts;
    if (!apps.isEmpty())
        artifacts.append(QJsonObject{{QStringLiteral("app"), QJsonArray::fromStringList(apps)}});
    if (!trash.isEmpty()) {
        const QJsonArray zap{QJsonObject{{QStringLiteral("trash"), QJsonArray::fromStringList(trash)}}};
        artifacts.append(QJsonObject{{QStringLiteral("zap"), zap}});
    }
    return QJsonObject{{QStringLiteral("uninstall_artifacts"), artifacts}};
}

} // namespace norvelle::test
