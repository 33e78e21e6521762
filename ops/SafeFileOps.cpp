#include "SafeFileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace
{

// Write bits of the mode (not WriteUser, which reflects the caller's access
// and is set for a privileged user whatever the mode says).
constexpr QFile::Permissions kAnyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;

bool sameInode(const QString& a, const QString& b)
{
    struct stat sa, sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Attributes that say who may read the take or that other programs rely on:
// a rewrite that cannot keep them must not happen.
bool mustKeep(const char* name)
{
    return std::strncmp(name, "user.", 5) == 0 || std::strncmp(name, "system.posix_acl_", 17) == 0;
}

// Copies every extended attribute of the file at from onto fd.
bool copyAttributes(const QByteArray& from, int fd, QString* why)
{
    QByteArray names;
    for (;;) {
        const ssize_t len = ::listxattr(from.constData(), nullptr, 0);
        if (len < 0) {
            if (errno == ENOTSUP || errno == ENOSYS)
                return true; // a file system without attributes: nothing to keep
            *why = QStringLiteral("its extended attributes cannot be read: %1")
                       .arg(SafeFileOps::lastErrorText());
            return false;
        }
        names = QByteArray(qsizetype(len), '\0');
        const ssize_t got = len ? ::listxattr(from.constData(), names.data(), size_t(len)) : 0;
        if (got >= 0) {
            names.truncate(qsizetype(got));
            break;
        }
        if (errno != ERANGE) { // ERANGE: the list grew meanwhile
            *why = QStringLiteral("its extended attributes cannot be read: %1")
                       .arg(SafeFileOps::lastErrorText());
            return false;
        }
    }
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value;
        ssize_t got = -1;
        for (int attempt = 0; attempt < 3 && got < 0; ++attempt) {
            const ssize_t len = ::getxattr(from.constData(), name.constData(), nullptr, 0);
            if (len < 0)
                break;
            value = QByteArray(qsizetype(len), '\0');
            got = ::getxattr(from.constData(), name.constData(), value.data(), size_t(len));
        }
        const bool copied =
            got >= 0 && ::fsetxattr(fd, name.constData(), value.constData(), size_t(got), 0) == 0;
        if (!copied && mustKeep(name.constData())) {
            *why = QStringLiteral("its extended attribute %1 cannot be kept: %2")
                       .arg(QString::fromUtf8(name), SafeFileOps::lastErrorText());
            return false;
        }
    }
    return true;
}

} // namespace

QString SafeFileOps::lastErrorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool SafeFileOps::renameNoReplace(const QString& from, const QString& to, QString* error)
{
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        if (error)
            *error =
                errno == EEXIST ? QStringLiteral("%1 already exists").arg(to) : lastErrorText();
        return false;
    }
    // A file system without the atomic form: a hard link fails just as
    // atomically when the name is taken; then the old name goes.
    if (::link(f.constData(), t.constData()) == 0) {
        if (::unlink(f.constData()) == 0)
            return true;
        if (error)
            *error = lastErrorText();
        ::unlink(t.constData());
        return false;
    }
    if (errno == EEXIST) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(to);
        return false;
    }
    // Nor hard links (FAT and some network file systems): check, then rename.
    struct stat st;
    if (::lstat(t.constData(), &st) == 0) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(to);
        return false;
    }
    if (::rename(f.constData(), t.constData()) != 0) {
        if (error)
            *error = lastErrorText();
        return false;
    }
    return true;
}

bool SafeFileOps::writeAll(QFile& file, const char* data, qint64 size, QString* error)
{
    while (size > 0) {
        const qint64 n = file.write(data, size);
        if (n <= 0) {
            if (error)
                *error = file.errorString();
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool SafeFileOps::copyBytes(QFile& src, quint64 srcPos, QFile& dst, quint64 dstPos, qint64 size,
                            QByteArray& buffer, bool& kernelCopy, bool startWriteback,
                            QString* error)
{
    const quint64 rangeStart = dstPos;
    const qint64 total = size;
    while (size > 0 && kernelCopy) {
        loff_t in = loff_t(srcPos), out = loff_t(dstPos);
        const ssize_t n = ::copy_file_range(src.handle(), &in, dst.handle(), &out, size_t(size), 0);
        if (n > 0) {
            srcPos += quint64(n);
            dstPos += quint64(n);
            size -= n;
        } else if (n == 0) {
            if (error)
                *error = QStringLiteral("read failed: %1: the file ends early").arg(src.fileName());
            return false;
        } else if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                   errno == ETXTBSY) {
            kernelCopy = false; // this pair of file systems: through the buffer
        } else if (errno != EINTR) {
            const bool full = errno == EFBIG || errno == ENOSPC || errno == EDQUOT;
            if (error)
                *error =
                    (full ? QStringLiteral("write failed: ") : QStringLiteral("copy failed: ")) +
                    lastErrorText();
            return false;
        }
    }
    while (size > 0) {
        const qint64 want = qMin<qint64>(size, buffer.size());
        const qint64 got = src.seek(qint64(srcPos)) ? src.read(buffer.data(), want) : -1;
        if (got != want) {
            if (error)
                *error = QStringLiteral("read failed: %1: %2")
                             .arg(src.fileName(), got < 0 ? src.errorString()
                                                          : QStringLiteral("the file ends early"));
            return false;
        }
        QString why;
        if (!dst.seek(qint64(dstPos)) || !writeAll(dst, buffer.constData(), got, &why) ||
            !flush(dst, &why)) {
            if (error)
                *error =
                    QStringLiteral("write failed: ") + (why.isEmpty() ? dst.errorString() : why);
            return false;
        }
        srcPos += quint64(got);
        dstPos += quint64(got);
        size -= got;
    }
    if (startWriteback && total > 0)
        ::sync_file_range(dst.handle(), loff_t(rangeStart), loff_t(total), SYNC_FILE_RANGE_WRITE);
    return true;
}

bool SafeFileOps::flush(QFile& file, QString* error)
{
    errno = 0;
    if (file.flush())
        return true;
    const int code = errno;
    if (error)
        *error = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : file.errorString();
    return false;
}

bool SafeFileOps::syncFile(QFile& file, QString* error)
{
    if (!flush(file, error))
        return false;
    if (::fsync(file.handle()) != 0) {
        if (error)
            *error = lastErrorText();
        return false;
    }
    return true;
}

bool SafeFileOps::syncFolderOf(const QString& path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems refuse fsync on a folder; the file itself is synced.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

QString SafeFileOps::fileWriteProblem(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("no such file") : lastErrorText();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("is a folder, not a take file");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    const QFileInfo fi(path);
    if (!fi.isWritable() || !(fi.permissions() & kAnyWrite))
        return QStringLiteral("the file is read-only");
    return QString();
}

QString SafeFileOps::folderWriteProblem(const QString& path)
{
    const QFileInfo dir(QFileInfo(path).absolutePath());
    if (!dir.exists())
        return QStringLiteral("the folder %1 does not exist").arg(dir.filePath());
    if (!dir.isWritable() || !(dir.permissions() & kAnyWrite))
        return QStringLiteral("the folder %1 is not writable").arg(dir.filePath());
    return QString();
}

bool SafeFileOps::samePath(const QString& a, const QString& b)
{
    if (QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
        QDir::cleanPath(QFileInfo(b).absoluteFilePath()))
        return true;
    return sameInode(a, b);
}

QString SafeFileOps::backupPathFor(const QString& path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot <= slash)
        return path + QStringLiteral("_updatebackup");
    return path.left(dot) + QStringLiteral("_updatebackup") + path.mid(dot);
}

QString SafeFileOps::resolvedPath(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.isSymLink())
        return path;
    const QString target = fi.canonicalFilePath();
    return target.isEmpty() ? path : target;
}

bool SafeFileOps::createLike(const QString& newPath, const QString& like, QString* error)
{
    const QByteArray from = QFile::encodeName(like);
    const QByteArray to = QFile::encodeName(newPath);
    struct stat st;
    if (::stat(from.constData(), &st) != 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(like, lastErrorText());
        return false;
    }
    // Private until it has the take's own mode.
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = errno == EEXIST
                         ? QStringLiteral("%1 already exists").arg(newPath)
                         : QStringLiteral("%1 cannot be created: %2").arg(newPath, lastErrorText());
        return false;
    }
    QString why;
    struct stat made;
    bool ok = ::fstat(fd, &made) == 0;
    if (ok && (made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
        ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        ok = false;
        why = QStringLiteral("its owner and group (%1:%2) cannot be kept: %3")
                  .arg(st.st_uid)
                  .arg(st.st_gid)
                  .arg(lastErrorText());
    }
    // After fchown, which may clear the set-id bits.
    if (ok && ::fchmod(fd, st.st_mode & 07777) != 0) {
        ok = false;
        why = QStringLiteral("its mode cannot be kept: %1").arg(lastErrorText());
    }
    if (ok)
        ok = copyAttributes(from, fd, &why);
    ::close(fd);
    if (!ok) {
        ::unlink(to.constData());
        if (error)
            *error = QStringLiteral("%1: %2").arg(newPath, why);
    }
    return ok;
}

QString SafeFileOps::partialPathFor(const QString& outputPath)
{
    return outputPath + QStringLiteral(".velmora-partial");
}
