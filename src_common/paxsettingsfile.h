#pragma once
// Rules shared by the ini files of the SDK and of the application: a byte-order mark dropped
// before reading, a file that does not parse set aside under a numbered ".damaged" name, and
// what counts as a usable stored folder.

#include <QString>
#include <QVariant>

namespace paxsettings {

// A file that begins with a UTF-8 byte-order mark is otherwise sound, but QSettings reports it as
// malformed: the mark is dropped from the file before it is read.
void dropByteOrderMark(const QString& path);

// The first free name of PATH.damaged, PATH.damaged.1, PATH.damaged.2, ...: a file set aside
// earlier is never replaced.
QString setAsideName(const QString& path);

// A stored folder must be an absolute path that is not a plain file; anything else is taken as
// missing.
bool usableFolder(const QVariant& value);

} // namespace paxsettings
