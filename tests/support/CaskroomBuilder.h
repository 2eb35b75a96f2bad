#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace norvelle::test {

// Writes Homebrew Caskroom contents under one Caskroom folder:
// "<caskroom>/<token>/.metadata/INSTALL_RECEIPT.json" and "<caskroom>/<token>/<version>/".
class CaskroomBuilder {
public:
    explicit CaskroomBuilder(QString caskroomFolder);

    // The receipt with exactly these bytes (also broken JSON); returns its path, empty on failure.
    QString writeReceipt(const QString& token, const QByteArray& json) const;
    QString writeReceipt(const QString& token, const QJsonObject& receipt) const;
    // Creates the version folder "<caskroom>/<token>/<version>"; returns its path.
    QString addVersionFolder(const QString& token, const QString& version) const;

    QString receiptPath(const QString& token) const;

    // A receipt in Homebrew's shape: {"uninstall_artifacts": [{"app": apps}, {"zap": [{"trash": trash}]}]};
    // the "app" entry is left out when `apps` is empty, the "zap" entry when `trash` is empty.
    static QJsonObject receipt(const QStringList& apps, const QStringList& trash = {});

private:
    QString m_folder;
};

} // namespace norvelle::test
