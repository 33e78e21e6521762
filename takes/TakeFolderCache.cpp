#include "TakeFolderCache.h"

#include "AudioFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

TakeIndexPolicy TakeFolderCache::policy(qint64 opStartNs)
{
    TakeIndexPolicy p;
    p.trust = m_trust;
    p.opStartNs = opStartNs;
    p.headerReads = &m_counters.headerReads;
    p.listings = &m_counters.listings;
    return p;
}

TakeFolderIndex& TakeFolderCache::indexFor(const QString& folder)
{
    m_recent.removeOne(folder);
    m_recent.prepend(folder);
    while (m_recent.size() > m_maxFolders)
        m_indexes.remove(m_recent.takeLast());
    auto& slot = m_indexes[folder];
    if (!slot)
        slot = std::make_shared<TakeFolderIndex>(folder);
    return *slot;
}

QVector<TakeCandidate> TakeFolderCache::candidates(const QString& folder, const QString& stem)
{
    QMutexLocker lock(&m_mutex);
    const TakeIndexPolicy p = policy(TakeFileStamp::nowNs());
    TakeFolderIndex& index = indexFor(folder);
    QVector<TakeCandidate> out;
    if (!index.refreshListing(p))
        return out;
    const QVector<int> members = index.withStem(stem);
    out.reserve(members.size());
    for (int i : members) {
        index.ensureCurrent(i, p);
        const TakeFileEntry& e = index.entry(i);
        if (e.readOk)
            out.append(e.key);
    }
    return out;
}

TakeFolderSnapshot TakeFolderCache::snapshot(const QString& folder,
                                             const QList<TakeFileEntry>& read, qint64 opStartNs)
{
    QMutexLocker lock(&m_mutex);
    const TakeIndexPolicy p = policy(opStartNs);
    TakeFolderIndex& index = indexFor(folder);
    TakeFolderSnapshot s;
    s.folder = folder;
    if (!index.refreshListing(p))
        return s;
    for (const TakeFileEntry& e : read)
        index.adopt(e, p);
    index.ensureAllCurrent(p);
    s.entries = index.entries();
    s.byStem = index.stems();
    return s;
}

void TakeFolderCache::clear()
{
    QMutexLocker lock(&m_mutex);
    m_indexes.clear();
    m_recent.clear();
}

void TakeFolderCache::setTrust(TakeIndexPolicy::Trust trust)
{
    QMutexLocker lock(&m_mutex);
    m_trust = trust;
}

void TakeFolderCache::setMaxFolders(int count)
{
    QMutexLocker lock(&m_mutex);
    m_maxFolders = qMax(1, count);
    while (m_recent.size() > m_maxFolders)
        m_indexes.remove(m_recent.takeLast());
}

TakeFolderCache::Counters TakeFolderCache::counters() const
{
    QMutexLocker lock(&m_mutex);
    return m_counters;
}

void TakeFolderCache::resetCounters()
{
    QMutexLocker lock(&m_mutex);
    m_counters = Counters();
}
