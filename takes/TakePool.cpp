#include "TakePool.h"

#include "KQHelper.h"

QVector<TakeCandidate> TakePool::unclaimed(const QString& stem) const
{
    QVector<TakeCandidate> out;
    const auto it = m_snapshot.byStem.constFind(stem);
    if (it == m_snapshot.byStem.constEnd())
        return out;
    for (int i : *it) {
        const TakeFileEntry& e = m_snapshot.entries.at(i);
        if (e.readOk && !m_claimed.contains(e.key.path))
            out.append(e.key);
    }
    return out;
}

bool TakePool::tracksOf(const QString& path, QList<QStringList>& tracks) const
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const auto it = m_snapshot.byStem.constFind(KQHelper::nameStem(path.mid(slash + 1)));
    if (it == m_snapshot.byStem.constEnd())
        return false;
    for (int i : *it) {
        const TakeFileEntry& e = m_snapshot.entries.at(i);
        if (e.key.path == path) {
            if (!e.readOk)
                return false;
            tracks = e.tracks;
            return true;
        }
    }
    return false;
}
