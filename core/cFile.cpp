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
    *size = quint64(st.st_size);
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
    return QFile::seek(qint64(target));
}
