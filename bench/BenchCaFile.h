#pragma once

#include "FixtureServer.h"

#include <QFile>
#include <QString>
#include <QTemporaryFile>

namespace norvelle::bench {

// The system's trusted authorities plus the test one, so every handshake verifies against a
// store of the size users have rather than a single certificate. Falls back to the test
// authority alone when the bundle cannot be written.
inline QString systemSizedCaFile(QTemporaryFile& file)
{
    QFile system(QStringLiteral("/etc/ssl/certs/ca-certificates.crt"));
    QFile test(test::FixtureServer::testCaFile());
    if (!file.open() || !test.open(QIODevice::ReadOnly))
        return test::FixtureServer::testCaFile();
    if (system.open(QIODevice::ReadOnly))
        file.write(system.readAll());
    file.write(test.readAll());
    file.flush();
    return file.fileName();
}

} // namespace norvelle::bench
