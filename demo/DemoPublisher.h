#pragma once

#include "DemoApplications.h"
#include "UpdaterSigningKey.h"

#include <QString>
#include <QUrl>

namespace norvelle::demo {

// Writes what the demo's web services publish into one folder, as files named after the paths
// they are served at: the cask catalogue (api/cask.json), the store lookups
// (lookup/<bundle identifier>.json), the appcasts (appcasts/<slug>.xml), HTML release notes
// (notes/<slug>-<version>.html) and update archives signed with a key of its own
// (downloads/<slug>-<version>.zip). `base` is the server's address. Casks of a tap are left out
// of the catalogue and written to taps/<user>/<repo>.json, where the stand-in for brew finds them.
class DemoPublisher {
public:
    DemoPublisher(QString folder, QUrl base);

    QUrl feedUrl(const DemoApplication& app) const;
    QString publicKey() const { return m_key.publicKeyBase64(); }

    bool publish(QString* error) const;
    // Where the casks of `tap` ("user/repo") are written.
    QString tapFile(const QString& tap) const;

private:
    QByteArray catalogue() const;
    bool publishTaps(QString* error) const;
    bool publishFeed(const DemoApplication& app, QString* error) const;
    QUrl url(const QString& path) const;
    QString file(const QString& path) const { return m_folder + u'/' + path; }

    QString m_folder;
    QUrl m_base;
    test::UpdaterSigningKey m_key;
};

} // namespace norvelle::demo
