// Replacing a whole file so that a failed write is seen and never reported as success.
//
// The bytes go to a temporary file beside the target, written without a buffer so that every
// failing write (a full disk, a quota, a file size limit) shows at once; only a file written whole
// takes the target's name. On any failure the old file stays as it was.
#pragma once

#include <QByteArray>
#include <QString>

namespace torv {

// Writes `bytes` as the new contents of `path`. Returns false and puts the reason (in Russian,
// without the file name) into `reason` when the file could not be written.
bool ReplaceFileContents(const QString &path, const QByteArray &bytes, QString *reason);

}  // namespace torv
