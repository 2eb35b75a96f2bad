#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

class QJsonObject;

namespace norvelle {

// Reads Homebrew's install receipt of one cask (<Caskroom>/<token>/.metadata/
// INSTALL_RECEIPT.json) from the first Caskroom that holds a usable one, and
// gives the application bundles that exist and the zap trash strings it names.
class InstallReceiptReader {
public:
    struct Contents {
        QStringList applicationPaths; // only bundles that exist
        QSet<QString> trash;
    };

    InstallReceiptReader(QStringList caskroomRoots, QString applicationsFolder);

    // Never throws; logs and moves on to the next Caskroom when a receipt is unusable.
    Contents read(const QString& token) const;

    // The receipt's facts, given its parsed object; none when it has no
    // "uninstall_artifacts" list made only of objects.
    static std::optional<Contents> contentsOf(const QJsonObject& receipt, const QString& applicationsFolder);

    // Trash strings with at least two "." characters: enough to be a bundle-identifier-like path.
    static bool isUsableTrashString(const QString& trash);

private:
    QStringList m_caskroomRoots;
    QString m_applicationsFolder;
};

} // namespace norvelle
