#pragma once

#include "TakeFolderIndex.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class AudioFile;

// A consistent view of one folder's take files for one import run: entries
// in name order and the positions of each name stem. Implicitly shared with
// the cache, so taking one is cheap.
struct TakeFolderSnapshot {
    QString folder;
    QVector<TakeFileEntry> entries;
    QHash<QString, QVector<int>> byStem;
};

// The store of folder indexes behind take grouping, so that an operation on
// many takes of one folder reads each file's header about once instead of
// once per take. Owned by whoever owns the take list (one per take session)
// and handed to every grouping call. Keeps the most recently used folders
// (8 by default). Thread-safe: every call runs under one mutex; results are
// copies.
class TakeFolderCache
{
public:
    TakeFolderCache() = default;
    TakeFolderCache(const TakeFolderCache&) = delete;
    TakeFolderCache& operator=(const TakeFolderCache&) = delete;

    // The listed files of folder whose name stem is stem, in name order, as
    // they are on disk now; files that do not open as takes are left out.
    // folder: absolute and clean.
    QVector<TakeCandidate> candidates(const QString& folder, const QString& stem);

    // Every listed take file of folder as it is on disk now, for one import
    // run. read: what TakeFolderIndex::entryOf() kept of files opened just
    // before opStartNs (their values are taken over instead of reading them
    // again, and their records need not stay open).
    TakeFolderSnapshot snapshot(const QString& folder, const QList<TakeFileEntry>& read,
                                qint64 opStartNs);

    void clear();
    void setTrust(TakeIndexPolicy::Trust trust);
    void setMaxFolders(int count);

    struct Counters {
        quint64 headerReads = 0; // files opened to read their headers
        quint64 listings = 0;    // folder listings
    };
    Counters counters() const;
    void resetCounters();

private:
    TakeFolderIndex& indexFor(const QString& folder);
    TakeIndexPolicy policy(qint64 opStartNs);

    mutable QMutex m_mutex;
    QHash<QString, std::shared_ptr<TakeFolderIndex>> m_indexes;
    QStringList m_recent; // most recently used first
    int m_maxFolders = 8;
    TakeIndexPolicy::Trust m_trust = TakeIndexPolicy::Trust::Auto;
    Counters m_counters;
};
