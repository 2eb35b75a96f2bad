#pragma once

#include "platform/updater/InstallRecord.h"

#include <QDir>
#include <QSet>
#include <QString>
#include <QStringList>

// What a sweep asks of the set-aside copies that installs' records name: which may be all there is
// of an application, and which record decides what becomes of a bundle's copies. Internal to
// platform/updater.
namespace norvelle::installrecord {

// Whether the copy at path is a whole application: a removal that was cut short may have left any
// part of one. Whole as discovery and the update see it: its Info.plist can be read as a file, a
// link to one or not.
bool isWholeBundle(const QString& path);

// Whether the set-aside copy at path may be all there is of the application, as the record says of
// it. An application that is a link (as some installers place one) is set aside as that link,
// which no removal takes apart: the link is what comes back.
bool mayComeBack(const QString& path, const Record& record);

// Of the staging folders named in dir, those whose records decide what becomes of each bundle's
// set-aside copies: of all records naming copies of one bundle the newest, by when it was written,
// whatever it says (a newer removal means the application was in place after the older install).
// Of records written at the same moment (a coarse clock, or one set back) the one whose copy a sweep
// chose to put back, whether it is back yet or not: once it is, the others of that moment go. Else
// one whose copy may come back, as a missing application's whole copy may be all there is of it; of
// two such the newer version's, and where the versions rank alike the one first in names.
QSet<QString> decidingRecords(const QDir& dir, const QStringList& names);

} // namespace norvelle::installrecord
