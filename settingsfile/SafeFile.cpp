#include "settingsfile/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qzr::settingsfile {

namespace {

// Attempts at a free temporary name before giving up.
constexpr int kNameAttempts = 64;
// The size of the probe file that tells whether a folder takes a write.
constexpr qint64 kProbeBytes = 4096;

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString folderOf(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// A new file beside `target`, created exclusively (never through a link),
// readable as a plain new file would be (0666 less the umask). Its name goes
// to *created; -1 with errno set on failure.
int createBeside(const QString &target, QByteArray *created)
{
    const QString folder = folderOf(target);
    const QString base = QFileInfo(target).fileName();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString name = QStringLiteral("%1/.%2.%3.tmp")
                                 .arg(folder, base)
                                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        *created = nativePath(name);
        const int fd = ::open(created->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Flushes a folder's entries (the rename) to the disk; file systems that
// cannot do it for folders are no failure.
int syncFolder(const QString &folder)
{
    const int fd = ::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        error = errno;
    ::close(fd);
    return error;
}

QString writeFailure(const QString &path, int error)
{
    return QStringLiteral("Cannot write file %1: %2").arg(path, systemErrorText(error));
}

} // namespace

bool writeAllBytes(int fd, const QByteArray &bytes)
{
    return writeAll(fd, bytes.constData(), bytes.size());
}

QString systemErrorText(int error)
{
    return QString::fromStdString(std::error_code(error, std::generic_category()).message());
}

QString refusedFilePlace(const QString &path)
{
    struct stat status {};
    if (::lstat(nativePath(path).constData(), &status) != 0)
        return QString();
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("%1 is a symbolic link; the tool writes only plain files and does not follow links "
                              "(remove it or choose another name)")
            .arg(path);
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("%1 is not a plain file; the tool does not write there").arg(path);
    return QString();
}

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QString refused = refusedFilePlace(path);
    if (!refused.isEmpty())
        return QStringLiteral("Cannot write file %1: %2").arg(path, refused);

    QByteArray temporary;
    const int fd = createBeside(path, &temporary);
    if (fd < 0)
        return QStringLiteral("Cannot create file %1: %2").arg(path, systemErrorText(errno));
    int error = 0;
    if (!writeAll(fd, bytes.constData(), bytes.size()))
        error = errno;
    // The data must be on the disk before the name points at it.
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), nativePath(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return writeFailure(path, error);
    }
    if (const int syncError = syncFolder(folderOf(path)))
        return writeFailure(path, syncError);
    return QString();
}

QString unsafeFolder(const QString &dir)
{
    struct stat status {};
    if (::stat(nativePath(dir).constData(), &status) != 0)
        return QString();
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("%1 is not a folder").arg(dir);
    if (status.st_uid != ::geteuid())
        return QStringLiteral("the folder %1 belongs to another user (uid %2); the tool writes only into folders of "
                              "its own user")
            .arg(dir)
            .arg(status.st_uid);
    if ((status.st_mode & S_IWOTH) && !(status.st_mode & S_ISVTX))
        return QStringLiteral("the folder %1 may be written by any user (mode %2) without the sticky bit; "
                              "make it private (chmod o-w) first")
            .arg(dir)
            .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return QString();
}

namespace {

// Why the folder takes no file of about bytesNeeded; empty when it does.
QString folderRefusal(const QString &dir, qint64 bytesNeeded)
{
    struct statvfs space {};
    if (::statvfs(nativePath(dir).constData(), &space) != 0)
        return systemErrorText(errno);
    if (space.f_flag & ST_RDONLY)
        return systemErrorText(EROFS);

    // Creating, writing and flushing a file finds missing permission and a
    // full disk as the real files would meet them.
    QByteArray probe;
    const int fd = createBeside(dir + QStringLiteral("/qzr-write-check"), &probe);
    if (fd < 0)
        return systemErrorText(errno);
    int error = 0;
    const QByteArray filler(int(kProbeBytes), '\n');
    if (!writeAll(fd, filler.constData(), filler.size()) || ::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    ::unlink(probe.constData());
    if (error != 0)
        return systemErrorText(error);

    const qint64 freeBytes = qint64(space.f_bavail) * qint64(space.f_frsize);
    if (freeBytes < bytesNeeded)
        return QStringLiteral("%1 (about %2 KiB needed, %3 KiB free)")
            .arg(systemErrorText(ENOSPC))
            .arg((bytesNeeded + 1023) / 1024)
            .arg(freeBytes / 1024);
    return QString();
}

} // namespace

QString folderWriteProblem(const QString &dir, qint64 bytesNeeded)
{
    const QString reason = folderRefusal(dir, bytesNeeded);
    return reason.isEmpty() ? reason : QStringLiteral("Cannot write to folder %1: %2").arg(dir, reason);
}

QString fileWriteProblem(const QString &path, qint64 bytesNeeded)
{
    const QString refused = refusedFilePlace(path);
    if (!refused.isEmpty())
        return QStringLiteral("Cannot create file %1: %2").arg(path, refused);
    const QString folder = folderOf(path);
    const QString reason = folderRefusal(folder, bytesNeeded);
    return reason.isEmpty() ? reason
                            : QStringLiteral("Cannot create file %1: %2 (folder %3)").arg(path, reason, folder);
}

} // namespace qzr::settingsfile
