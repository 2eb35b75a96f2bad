#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace norvelle::test {

// A cask catalogue shaped like Homebrew's real one (about 1.6 KB of JSON per cask,
// with url specs, zap trash, variations and the other members the service ignores),
// generated deterministically from a seed. Names repeat on purpose: versioned
// "@beta" variants, casks sharing an application, deprecated and disabled ones,
// pkg installers and caveats that ask for a password.
class SyntheticCatalogue {
public:
    struct Entry {
        QString token;
        QStringList appArtifacts; // the bundle names of the "app" artifact
        bool deprecated = false;
        bool disabled = false;
    };

    explicit SyntheticCatalogue(int caskCount = 7500, quint32 seed = 1);

    const QList<Entry>& entries() const { return m_entries; }

    // The catalogue as the JSON document the API serves.
    QByteArray json() const;

    // Application names worth asking the adoption search about: artifact names,
    // token spellings with spaces and capitals, and names that match nothing.
    QStringList probeNames() const;

private:
    QList<Entry> m_entries;
    quint32 m_seed;
};

} // namespace norvelle::test
