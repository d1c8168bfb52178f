#pragma once
// Files the tool writes for the user (settings files, a site's index, its
// reports and journal): written whole or not at all, every write, flush and
// rename checked, never through a symbolic link, and the folder checked
// before any camera is read.
#include <QByteArray>
#include <QString>

namespace qzr::settingsfile {

// Writes bytes to path whole or not at all: a file created beside it (under
// a name nobody else can have taken) is written, flushed to the disk and
// renamed into place, then the folder is flushed. On any failure the file
// that stood there is left as it was and the new one is removed. A path
// that is a symbolic link, or anything but a plain file, is refused.
// Returns an empty text on success, else "Cannot write file PATH: REASON"
// (REASON as the system names it, "No space left on device").
QString writeFileAtomically(const QString &path, const QByteArray &bytes);

// Why the tool will not create or replace a file at path: a symbolic link
// stands there, or something that is not a plain file. Empty when path is
// missing or a plain file.
QString refusedFilePlace(const QString &path);

// Why an existing folder is not safe to write into, as ssh judges a key's
// folder: it belongs to another user, or others may write into it without
// the sticky bit (so they could plant links there). Empty when it is safe
// or missing.
QString unsafeFolder(const QString &dir);

// Whether about bytesNeeded can be written into the existing folder dir:
// a read-only file system, missing permission or too little free space is
// named ("Cannot write to folder DIR: Read-only file system"). A small file
// is created, written, flushed and removed to find out. Empty when fine.
QString folderWriteProblem(const QString &dir, qint64 bytesNeeded);

// Whether a file of about bytesNeeded can be created or replaced at path:
// refusedFilePlace, then the check of folderWriteProblem for its folder
// ("Cannot create file PATH: No space left on device (folder DIR)"). Empty
// when fine.
QString fileWriteProblem(const QString &path, qint64 bytesNeeded);

// Writes all bytes to a file descriptor, going on after a signal and a
// short write; false with errno set when the system refuses.
bool writeAllBytes(int fd, const QByteArray &bytes);

// The system's text for an errno value ("No space left on device").
QString systemErrorText(int error);

} // namespace qzr::settingsfile
