#pragma once

#include <QString>
#include <optional>

namespace platform {

// Creates every missing folder of `path` readable by the owner only (0700); folders that
// exist are left as they are. False when a folder could not be made.
bool makePrivateFolder(const QString& path);

// Why the program must not write `path`: it is a symbolic link, not a regular file, or
// belongs to another user. Nothing when it does not exist or is the user's own file.
std::optional<QString> unsafeToWrite(const QString& path);

// Opens `path` for appending as the user's own regular file: created 0600 when missing,
// tightened to 0600 when others could read it. Never follows a symbolic link and never
// blocks (a FIFO or device is refused). Returns the descriptor, or -1 with `reason` set.
int openPrivateForAppend(const QString& path, QString* reason);

// Replaces `path` whole with `bytes`: written to a new 0600 file beside it, then renamed
// over it, so a reader sees the old or the new content and a link at `path` is replaced,
// never followed. False with `reason` set when it could not be done.
bool replacePrivateFile(const QString& path, const QByteArray& bytes, QString* reason);

// Appends `bytes` to `path` (opened as openPrivateForAppend opens it): written whole or not at
// all, so a full disk leaves the file as it was. False with `reason` set when it failed.
bool appendPrivateFile(const QString& path, const QByteArray& bytes, QString* reason);

// The bytes this process has written to private files so far (replaced and appended).
qint64 privateBytesWritten();

} // namespace platform
