#pragma once

#include "TakeFolderCache.h"

#include <QSet>

// The files of one folder that an import run can still group into takes.
// A file that joins a take is claimed and leaves the pool, so that each take
// is added once however many of its files were selected. Owned by the import
// run that made it; not shared between threads.
class TakePool
{
public:
    TakePool() = default;
    explicit TakePool(TakeFolderSnapshot snapshot) : m_snapshot(std::move(snapshot)) {}

    const QString& folder() const { return m_snapshot.folder; }
    int count() const { return m_snapshot.entries.size(); }
    const TakeFileEntry& entry(int i) const { return m_snapshot.entries.at(i); }

    // The unclaimed files with name stem stem that opened as takes, in name order.
    QVector<TakeCandidate> unclaimed(const QString& stem) const;

    bool isClaimed(const QString& path) const { return m_claimed.contains(path); }
    void claim(const QString& path) { m_claimed.insert(path); }

    // The tracks read from the listed file at path; false when it is not listed.
    bool tracksOf(const QString& path, QList<QStringList>& tracks) const;

private:
    TakeFolderSnapshot m_snapshot;
    QSet<QString> m_claimed; // absolute clean paths
};
