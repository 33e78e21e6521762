#pragma once

#include <QString>
#include <QtGlobal>

class AudioFile;

// What the file system says about one path: enough to tell whether a file's
// content may have changed since it was last read, without reading it.
// Times are nanoseconds since the epoch (file-system clock); size in bytes.
// Symbolic links are followed: the stamp describes the file that is read.
struct TakeFileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0; // status change; moves on every write, rename and link change
    quint64 device = 0;
    quint64 inode = 0;

    static TakeFileStamp of(const QString& path);
    // The stamp of what an open take file read: taken on its descriptor when
    // it was opened, or, for a record that did not come from its own open,
    // of(file.fileName()) now.
    static TakeFileStamp ofOpened(const AudioFile& file);

    // Wall-clock time now, in the same unit and epoch as the stamps.
    static qint64 nowNs();

    bool operator==(const TakeFileStamp& o) const
    {
        return exists == o.exists && size == o.size && mtimeNs == o.mtimeNs &&
               ctimeNs == o.ctimeNs && device == o.device && inode == o.inode;
    }
    bool operator!=(const TakeFileStamp& o) const { return !(*this == o); }

    // The later of the two times: a change made after this moment gets a
    // newer stamp, unless it falls within the file system's timestamp tick.
    qint64 latestNs() const { return qMax(mtimeNs, ctimeNs); }

    // The time, in nanoseconds, within which two changes may carry the same
    // stamp. File systems that store whole seconds (FAT, HFS+, ext3) give
    // stamps without a sub-second part: 2 s covers them; the others stamp
    // with the kernel's coarse clock, a few milliseconds per tick.
    qint64 granularityNs() const;

    // True when a later change of the file is sure to give a different stamp,
    // so that a read made at readStartNs (taken before the stamp) can be
    // reused while the stamp stays equal. windowNs < 0 chooses granularityNs().
    bool settledAt(qint64 readStartNs, qint64 windowNs) const;
};
