#include "TakeFolderIndex.h"

#include "AudioFile.h"
#include "KQHelper.h"
#include "TakeParallel.h"

#include <QDir>
#include <QFileInfo>

TakeFolderIndex::TakeFolderIndex(const QString& folder) : m_folder(folder) {}

bool TakeFolderIndex::reusable(const TakeFileStamp& stamp, qint64 readStartNs,
                               const TakeIndexPolicy& policy)
{
    switch (policy.trust) {
    case TakeIndexPolicy::Trust::Always:
        return true;
    case TakeIndexPolicy::Trust::Never:
        return readStartNs >= policy.opStartNs;
    case TakeIndexPolicy::Trust::Auto:
        break;
    }
    // Read during this operation, or read when the stamp had settled: a change
    // since then would show in the stamp.
    return readStartNs >= policy.opStartNs || stamp.settledAt(readStartNs, -1);
}

bool TakeFolderIndex::listingCurrent(const TakeIndexPolicy& policy)
{
    if (!m_listed)
        return false;
    if (m_dirCheckedAtNs >= policy.opStartNs)
        return true;
    const TakeFileStamp now = TakeFileStamp::of(m_folder);
    if (now != m_dirStamp || !reusable(m_dirStamp, m_listStartNs, policy))
        return false;
    m_dirCheckedAtNs = TakeFileStamp::nowNs();
    return true;
}

bool TakeFolderIndex::refreshListing(const TakeIndexPolicy& policy)
{
    if (!listingCurrent(policy))
        relist(policy);
    return m_dirStamp.exists;
}

void TakeFolderIndex::relist(const TakeIndexPolicy& policy)
{
    m_listStartNs = TakeFileStamp::nowNs();
    m_dirStamp = TakeFileStamp::of(m_folder);
    const QStringList names = m_dirStamp.exists ? KQHelper::takeFileNames(m_folder) : QStringList();
    m_dirCheckedAtNs = m_listStartNs;
    m_listed = true;
    if (policy.listings)
        ++*policy.listings;

    QVector<TakeFileEntry> old;
    old.swap(m_entries);
    const QHash<QString, int> oldByName = m_byName;
    m_byName.clear();
    m_byStem.clear();
    m_entries.reserve(names.size());
    const QString prefix = m_folder.endsWith(QLatin1Char('/')) ? m_folder : m_folder + '/';
    for (const QString& name : names) {
        const int was = oldByName.value(name, -1);
        if (was >= 0) {
            m_entries.append(old.at(was));
        } else {
            TakeFileEntry e;
            e.key.fileName = name;
            e.key.path = prefix + name;
            e.key.stem = KQHelper::nameStem(name);
            m_entries.append(e);
        }
        const int i = m_entries.size() - 1;
        m_byName.insert(name, i);
        m_byStem[m_entries.at(i).key.stem].append(i);
    }
}

void TakeFolderIndex::readEntry(TakeFileEntry& e)
{
    e.readStartNs = TakeFileStamp::nowNs();
    e.stamp = TakeFileStamp::of(e.key.path);
    e.checkedAtNs = e.readStartNs;
    e.read = true;
    e.tracks.clear();
    AudioFile file;
    e.readOk = e.stamp.exists && file.Open(e.key.path);
    // The names stay; the grouping values are the file's, or none.
    TakeCandidate values;
    if (e.readOk) {
        values.takeValuesOf(file);
        e.tracks = file.GetTracksInfo();
    }
    values.path = e.key.path;
    values.fileName = e.key.fileName;
    values.stem = e.key.stem;
    e.key = values;
}

bool TakeFolderIndex::needsRead(int i, const TakeIndexPolicy& policy)
{
    TakeFileEntry& e = m_entries[i];
    if (e.read && e.checkedAtNs >= policy.opStartNs)
        return false;
    if (e.read) {
        const TakeFileStamp now = TakeFileStamp::of(e.key.path);
        if (now == e.stamp && reusable(e.stamp, e.readStartNs, policy)) {
            e.checkedAtNs = TakeFileStamp::nowNs();
            return false;
        }
    }
    return true;
}

void TakeFolderIndex::readEntries(const QVector<int>& which, const TakeIndexPolicy& policy)
{
    // Each job writes its own entry only; the vector itself does not change.
    TakeFileEntry* entries = m_entries.data();
    TakeParallel::forEach(int(which.size()), [&](int k) { readEntry(entries[which.at(k)]); });
    if (policy.headerReads)
        *policy.headerReads += quint64(which.size());
}

void TakeFolderIndex::ensureCurrent(int i, const TakeIndexPolicy& policy)
{
    if (needsRead(i, policy))
        readEntries({i}, policy);
}

void TakeFolderIndex::ensureAllCurrent(const TakeIndexPolicy& policy)
{
    QVector<int> stale;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (needsRead(i, policy))
            stale.append(i);
    }
    readEntries(stale, policy);
}

int TakeFolderIndex::indexOfPath(const QString& path) const
{
    // Paths of listed files are the folder, '/' and the name: compared as
    // they are, without making them absolute again.
    const qsizetype folderLength = m_folder.size();
    if (path.size() > folderLength + 1 && path.startsWith(m_folder) &&
        path.at(folderLength) == QLatin1Char('/')) {
        const int i = indexOfName(path.mid(folderLength + 1));
        if (i >= 0 && m_entries.at(i).key.path == path)
            return i;
    }
    const QFileInfo fi(path);
    if (QDir::cleanPath(fi.absolutePath()) != m_folder)
        return -1;
    return indexOfName(fi.fileName());
}

TakeFileEntry TakeFolderIndex::entryOf(const AudioFile& file)
{
    TakeFileEntry e;
    e.key = TakeCandidate::fromFile(file);
    // The stamp of what the file read, not of the file now: a change since
    // the open shows at the next look.
    e.stamp = TakeFileStamp::ofOpened(file);
    e.tracks = file.GetTracksInfo();
    e.read = true;
    e.readOk = e.stamp.exists && quint64(e.stamp.size) == file.m_fileSize;
    return e;
}

void TakeFolderIndex::adopt(const AudioFile& file, const TakeIndexPolicy& policy)
{
    adopt(entryOf(file), policy);
}

void TakeFolderIndex::adopt(const TakeFileEntry& read, const TakeIndexPolicy& policy)
{
    if (!read.readOk)
        return;
    const int i = indexOfPath(read.key.path);
    if (i < 0)
        return;
    TakeFileEntry& e = m_entries[i];
    e.key.takeValuesOf(read.key);
    e.tracks = read.tracks;
    e.read = true;
    e.readOk = true;
    e.stamp = read.stamp;
    // The caller opened the file just before the operation began.
    e.readStartNs = policy.opStartNs;
    e.checkedAtNs = policy.opStartNs;
}
