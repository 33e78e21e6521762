#include "cFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool cFile::OpenRegularForReading(quint64* size, QString* why)
{
    const QString path = fileName();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot be opened: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("not a regular file");
        return false;
    }
    // Regular files ignore O_NONBLOCK; it is cleared so that the descriptor
    // behaves like any other once handed on.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!QFile::open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = QStringLiteral("cannot be opened: %1").arg(errorString());
        return false;
    }
    m_nameWhileOpen = path;
    m_path.clear();
    *size = quint64(st.st_size);
    constexpr qint64 kNsPerSec = 1000000000LL;
    m_statAtOpen.valid = true;
    m_statAtOpen.size = qint64(st.st_size);
    m_statAtOpen.mtimeNs = qint64(st.st_mtim.tv_sec) * kNsPerSec + st.st_mtim.tv_nsec;
    m_statAtOpen.ctimeNs = qint64(st.st_ctim.tv_sec) * kNsPerSec + st.st_ctim.tv_nsec;
    m_statAtOpen.device = quint64(st.st_dev);
    m_statAtOpen.inode = quint64(st.st_ino);
    return true;
}

void cFile::Close()
{
    if (isOpen())
        QFile::close();
    m_transferBuffer = QByteArray();
    if (!m_nameWhileOpen.isEmpty()) {
        setFileName(m_nameWhileOpen);
        m_nameWhileOpen.clear();
    }
}

bool cFile::Seek(quint64 offset, bool fromStart)
{
    const quint64 target = fromStart ? offset : quint64(QFile::pos()) + offset;
    // A reader walking chunks often "seeks" to where it already is; that
    // costs a system call and drops nothing. A writable file always seeks,
    // which also flushes what it buffered.
    if (isOpen() && !isWritable() && qint64(target) == QFile::pos())
        return true;
    return QFile::seek(qint64(target));
}
