#pragma once

#include "TakeCandidate.h"
#include "TakeFileStamp.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class AudioFile;

// What the index knows about one listed take file.
struct TakeFileEntry {
    TakeCandidate key;         // path, fileName and stem always; the rest when readOk
    bool read = false;         // the header was read (or taken over) at least once
    bool readOk = false;       // the file opened as a take at the last read
    TakeFileStamp stamp;       // taken just before the last read
    qint64 readStartNs = 0;    // when the last read began
    qint64 checkedAtNs = 0;    // when the stamp was last found unchanged (or read)
    QList<QStringList> tracks; // AudioFile::GetTracksInfo() at the last read
};

// How far an index may trust what it read earlier.
struct TakeIndexPolicy {
    enum class Trust {
        Auto,   // reuse while the stamp is unchanged and was settled when read
        Always, // reuse while the stamp is unchanged (tests)
        Never,  // reuse only within the operation that read it (tests)
    };
    Trust trust = Trust::Auto;
    qint64 opStartNs = 0;           // start of the current operation; what was read or
                                    // checked since then is current without another look
    quint64* headerReads = nullptr; // counts AudioFile opens, when set
    quint64* listings = nullptr;    // counts folder listings, when set
};

// The take files of one folder (one level, the import's name filters, sorted
// by name) with the grouping values and tracks of each, read once and reused
// while the file system shows the file unchanged. A changed listing (files
// added, removed, renamed) is noticed through the folder's own stamp; a
// changed file through its stamp (size, times, inode).
// Not thread-safe: TakeFolderCache serialises all use.
class TakeFolderIndex
{
public:
    // folder: absolute and clean (QDir::cleanPath).
    explicit TakeFolderIndex(const QString& folder);

    const QString& folder() const { return m_folder; }

    // Lists the folder again unless the listing is known to be current.
    // Entries of names still listed keep what was read. Returns false when the
    // folder does not exist (the index is then empty).
    bool refreshListing(const TakeIndexPolicy& policy);

    // Makes entry i current: reads the file's header again when the file may
    // have changed since it was read.
    void ensureCurrent(int i, const TakeIndexPolicy& policy);
    void ensureAllCurrent(const TakeIndexPolicy& policy);

    // Takes over the values of file, which the caller opened just before the
    // operation began, instead of opening it again, with the stamp taken when
    // it was opened (TakeFileStamp::ofOpened). Ignored when the file is not
    // listed here or, for a record that did not come from its own open, its
    // size on disk differs from what it read.
    void adopt(const AudioFile& file, const TakeIndexPolicy& policy);
    // The same from what entryOf() kept of such a file; ignored unless readOk.
    void adopt(const TakeFileEntry& read, const TakeIndexPolicy& policy);
    // What adopt() takes over from file (key.path: the name it was opened
    // with); readOk is false when its size on disk differs from what it read.
    static TakeFileEntry entryOf(const AudioFile& file);

    int count() const { return m_entries.size(); }
    const TakeFileEntry& entry(int i) const { return m_entries.at(i); }
    const QVector<TakeFileEntry>& entries() const { return m_entries; }
    int indexOfName(const QString& fileName) const { return m_byName.value(fileName, -1); }
    // The entry of the file at path (relative paths against the working
    // folder), or -1 when it is not listed here.
    int indexOfPath(const QString& path) const;
    // Positions of the entries whose name stem is stem, in name order.
    QVector<int> withStem(const QString& stem) const { return m_byStem.value(stem); }
    const QHash<QString, QVector<int>>& stems() const { return m_byStem; }

private:
    bool listingCurrent(const TakeIndexPolicy& policy);
    void relist(const TakeIndexPolicy& policy);
    // True when entry i must be read again (checks its stamp).
    bool needsRead(int i, const TakeIndexPolicy& policy);
    // Reads the given entries, several at a time.
    void readEntries(const QVector<int>& which, const TakeIndexPolicy& policy);
    static void readEntry(TakeFileEntry& e);
    static bool reusable(const TakeFileStamp& stamp, qint64 readStartNs,
                         const TakeIndexPolicy& policy);

    QString m_folder;
    bool m_listed = false;
    TakeFileStamp m_dirStamp; // taken just before the last listing
    qint64 m_listStartNs = 0; // when the last listing began
    qint64 m_dirCheckedAtNs = 0;
    QVector<TakeFileEntry> m_entries; // name order
    QHash<QString, int> m_byName;
    QHash<QString, QVector<int>> m_byStem;
};
