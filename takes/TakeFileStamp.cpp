#include "TakeFileStamp.h"

#include "AudioFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <time.h>
#endif

namespace
{
constexpr qint64 kNsPerSec = 1000000000LL;
constexpr qint64 kCoarseWindowNs = 2 * kNsPerSec;
constexpr qint64 kFineWindowNs = 50 * 1000000LL; // 50 ms, many kernel ticks
} // namespace

TakeFileStamp TakeFileStamp::of(const QString& path)
{
    TakeFileStamp s;
#ifdef Q_OS_UNIX
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = qint64(st.st_size);
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
#if defined(Q_OS_DARWIN)
    s.mtimeNs = qint64(st.st_mtimespec.tv_sec) * kNsPerSec + st.st_mtimespec.tv_nsec;
    s.ctimeNs = qint64(st.st_ctimespec.tv_sec) * kNsPerSec + st.st_ctimespec.tv_nsec;
#else
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * kNsPerSec + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * kNsPerSec + st.st_ctim.tv_nsec;
#endif
#else
    const QFileInfo fi(path);
    if (!fi.exists())
        return s;
    s.exists = true;
    s.size = fi.size();
    s.mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000LL;
    s.ctimeNs = fi.metadataChangeTime().toMSecsSinceEpoch() * 1000000LL;
#endif
    return s;
}

TakeFileStamp TakeFileStamp::ofOpened(const AudioFile& file)
{
    const cFile::StatAtOpen& st = file.statAtOpen();
    if (!st.valid)
        return of(file.fileName());
    TakeFileStamp s;
    s.exists = true;
    s.size = st.size;
    s.mtimeNs = st.mtimeNs;
    s.ctimeNs = st.ctimeNs;
    s.device = st.device;
    s.inode = st.inode;
    return s;
}

qint64 TakeFileStamp::nowNs()
{
#ifdef Q_OS_UNIX
    struct timespec ts;
    if (::clock_gettime(CLOCK_REALTIME, &ts) == 0)
        return qint64(ts.tv_sec) * kNsPerSec + ts.tv_nsec;
#endif
    return QDateTime::currentMSecsSinceEpoch() * 1000000LL;
}

qint64 TakeFileStamp::granularityNs() const
{
    const bool wholeSeconds = (mtimeNs % kNsPerSec) == 0 && (ctimeNs % kNsPerSec) == 0;
    return wholeSeconds ? kCoarseWindowNs : kFineWindowNs;
}

bool TakeFileStamp::settledAt(qint64 readStartNs, qint64 windowNs) const
{
    if (!exists)
        return false;
    const qint64 window = windowNs < 0 ? granularityNs() : windowNs;
    return latestNs() + window < readStartNs;
}
