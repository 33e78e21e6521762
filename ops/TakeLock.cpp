#include "TakeLock.h"

#include "SafeFileOps.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

TakeLock::~TakeLock()
{
    release();
}

void TakeLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // drops the flock
    m_fd = -1;
    m_path.clear();
}

bool TakeLock::acquire(const QString& path, QString* error)
{
    release();
    const auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString take = SafeFileOps::resolvedPath(path);
    const QByteArray native = QFile::encodeName(take);
    FolderGuard guard(take);
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return refuse(SafeFileOps::lastErrorText());
        // Cut short between moving the take to its backup name and creating
        // the new file: the backup is the take.
        const QString leftover = backupProblem(take, SafeFileOps::backupPathFor(take));
        return refuse(leftover.isEmpty() ? QStringLiteral("no such file") : leftover);
    }
    struct stat held;
    if (::fstat(fd, &held) != 0) {
        const QString why = SafeFileOps::lastErrorText();
        ::close(fd);
        return refuse(why);
    }
    if (!S_ISREG(held.st_mode)) {
        ::close(fd);
        return refuse(S_ISDIR(held.st_mode) ? QStringLiteral("is a folder, not a take file")
                                            : QStringLiteral("not a regular file"));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        const QString why = SafeFileOps::lastErrorText();
        if (err == EWOULDBLOCK) {
            ::close(fd);
            return refuse(QStringLiteral("%1 is being saved by another process").arg(nameOf(take)));
        }
        // Some network file systems lock only files open for writing, and
        // some not at all: there the backup check below is what is left.
        if (err != EBADF && err != ENOLCK && err != EINVAL && err != EOPNOTSUPP) {
            ::close(fd);
            return refuse(QStringLiteral("cannot be locked: %1").arg(why));
        }
        const int rw = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (rw >= 0) {
            const bool busy = ::flock(rw, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            ::close(fd);
            fd = rw;
            if (busy) {
                ::close(fd);
                return refuse(
                    QStringLiteral("%1 is being saved by another process").arg(nameOf(take)));
            }
        }
    }
    // The lock is on the inode: the path must still name it. A saver that
    // does not use FolderGuard may have replaced it in between.
    struct stat now;
    if (::stat(native.constData(), &now) != 0 || now.st_dev != held.st_dev ||
        now.st_ino != held.st_ino) {
        ::close(fd);
        return refuse(QStringLiteral("%1 was replaced while it was being locked; try again")
                          .arg(nameOf(take)));
    }
    const QString leftover = backupProblem(take, SafeFileOps::backupPathFor(take));
    if (!leftover.isEmpty()) {
        ::close(fd);
        return refuse(leftover);
    }
    m_fd = fd;
    m_path = take;
    return true;
}

QString TakeLock::backupProblem(const QString& takePath, const QString& backupPath)
{
    const QByteArray native = QFile::encodeName(backupPath);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 && errno == ENOENT)
        return QString();
    // A saver keeps its lock on the take it moved to the backup name.
    bool busy = false;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        busy = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
    }
    if (busy)
        return QStringLiteral("%1 is being saved by another process").arg(nameOf(takePath));
    return QStringLiteral("%1 exists: an earlier save did not finish; check it and remove or "
                          "restore it")
        .arg(nameOf(backupPath));
}

TakeLock::FolderGuard::FolderGuard(const QString& pathInFolder)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(pathInFolder).absolutePath());
    m_fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        return; // an unreadable folder: the take locks alone must do
    for (int waited = 0; ::flock(m_fd, LOCK_EX | LOCK_NB) != 0; waited += 5) {
        if (errno != EWOULDBLOCK || waited >= kFolderWaitMs) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        QThread::msleep(5);
    }
}

TakeLock::FolderGuard::~FolderGuard()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
