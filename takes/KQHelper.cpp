#include "KQHelper.h"

#include "AudioFile.h"
#include "TakeColumns.h"
#include "TakeFolderCache.h"
#include "TakePool.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <numeric>

#include <dirent.h>
#include <sys/stat.h>

namespace
{
// The suffixes of take files, compared without regard to letter case.
const QLatin1String kTakeSuffixes[] = {QLatin1String("wav"), QLatin1String("bwf")};

} // namespace

QString KQHelper::nameStem(const QString& fileName)
{
    int end = fileName.lastIndexOf(QLatin1Char('_'));
    if (end < 0)
        end = fileName.lastIndexOf(QLatin1Char('.'));
    return end < 0 ? fileName : fileName.left(end);
}

QString KQHelper::takeName(const QString& fileName, int fileCount)
{
    return fileCount <= 1 ? fileName : TakeColumns::groupName(fileName);
}

QStringList KQHelper::takeFileNames(const QString& folder)
{
    if (folder.isEmpty())
        return QStringList();
    // Read with readdir rather than QDir: the entry types come with the
    // names, so only symbolic links (and file systems that give no type)
    // cost a stat, and no file information object is built per entry.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return QStringList();
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    QStringList names;
    while (const struct dirent* e = ::readdir(dir)) {
        // Hidden names (and "." and "..") are never listed.
        if (e->d_name[0] == '.')
            continue;
        const QString name = QFile::decodeName(e->d_name);
        if (!hasTakeSuffix(name))
            continue;
        bool regular = e->d_type == DT_REG;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            // A link counts as the file it leads to; a broken one not at all.
            struct stat st;
            regular = ::stat((prefix + e->d_name).constData(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            names.append(name);
    }
    ::closedir(dir);
    // Plain name order (UTF-16 code units, case-sensitive) whatever the
    // platform's collation.
    std::sort(names.begin(), names.end());
    return names;
}

bool KQHelper::hasTakeSuffix(const QString& path)
{
    // What follows the last '.' of the bare name.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QStringView suffix = dot > slash ? QStringView(path).mid(dot + 1) : QStringView();
    for (const QLatin1String& s : kTakeSuffixes) {
        if (suffix.compare(s, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool KQHelper::isListedName(const QString& fileName)
{
    return !fileName.startsWith(QLatin1Char('.')) && hasTakeSuffix(fileName);
}

namespace
{
// True when path is absolute and already clean: no empty, "." or ".."
// component and no trailing '/' (the form the import's own paths have).
bool isAbsoluteClean(const QString& path)
{
    if (path.size() < 2 || path.at(0) != QLatin1Char('/') || path.endsWith(QLatin1Char('/')))
        return false;
    const char16_t* d = QStringView(path).utf16();
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] != '/')
            continue;
        // The component after this '/' must be neither empty, "." nor "..".
        const qsizetype rest = n - i - 1;
        if (rest == 0 || d[i + 1] == '/')
            return false;
        if (d[i + 1] == '.' &&
            (rest == 1 || d[i + 2] == '/' || (d[i + 2] == '.' && (rest == 2 || d[i + 3] == '/'))))
            return false;
    }
    return true;
}
} // namespace

QString KQHelper::absolutePath(const QString& path)
{
    if (isAbsoluteClean(path))
        return path;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString KQHelper::folderOf(const QString& path)
{
    if (isAbsoluteClean(path)) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return slash == 0 ? QStringLiteral("/") : path.left(slash);
    }
    return QDir::cleanPath(QFileInfo(path).absolutePath());
}

QVector<int> KQHelper::fillSlots(const TakeCandidate& given,
                                 const QVector<TakeCandidate>& candidates, QStringList& takeFiles)
{
    QString slotPaths[kChannelSlots];
    QVector<int> placed;
    for (int i = 0; i < candidates.size(); ++i) {
        const TakeCandidate& c = candidates.at(i);
        if (!c.joins(given))
            continue;
        // A channel index outside the slots (recorders may write any number,
        // negative ones included) never joins a take.
        if (c.channelIndex < 0 || c.channelIndex >= kChannelSlots)
            continue;
        int k = c.channelIndex;
        while (k < kChannelSlots && !slotPaths[k].isNull())
            ++k;
        if (k == kChannelSlots)
            continue;
        slotPaths[k] = c.path;
        placed.append(i);
    }
    for (const QString& path : slotPaths) {
        if (!path.isNull())
            takeFiles.append(path);
    }
    return placed;
}

QVector<int> KQHelper::fillTakeOf(const TakeCandidate& given,
                                  const QVector<TakeCandidate>& candidates, QStringList& takeFiles)
{
    QVector<int> left(candidates.size());
    std::iota(left.begin(), left.end(), 0);
    while (!left.isEmpty()) {
        QVector<TakeCandidate> pass;
        pass.reserve(left.size());
        for (int i : left)
            pass.append(candidates.at(i));
        QStringList found;
        const QVector<int> placed = fillSlots(given, pass, found);
        if (placed.isEmpty())
            break;
        if (found.contains(given.path)) {
            takeFiles.append(found);
            QVector<int> positions;
            for (int k : placed)
                positions.append(left.at(k));
            return positions;
        }
        for (auto k = placed.rbegin(); k != placed.rend(); ++k)
            left.remove(*k);
    }
    return {};
}

void KQHelper::includeGiven(const TakeCandidate& given, QVector<TakeCandidate>& candidates)
{
    if (isListedName(given.fileName))
        return;
    for (const TakeCandidate& c : candidates) {
        if (c.path == given.path)
            return;
    }
    auto at = std::lower_bound(
        candidates.begin(), candidates.end(), given,
        [](const TakeCandidate& a, const TakeCandidate& b) { return a.fileName < b.fileName; });
    candidates.insert(at, given);
}

// Common start of both groupings: name and given are set from the file's
// values (given.path: the name it was opened with); a polyphonic file is its
// own take. Returns whether mono grouping must follow.
static bool startGrouping(const TakeCandidate& file, QStringList& takeFiles, QString& name,
                          TakeCandidate& given)
{
    if (file.path.isEmpty())
        return false;
    given = file;
    given.path = KQHelper::absolutePath(file.path);
    name = given.fileName;
    if (file.channels > 1) {
        takeFiles.append(file.path);
        return false;
    }
    return true;
}

void KQHelper::getTakeFiles2(TakePool& pool, const TakeCandidate& file, QStringList& takeFiles,
                             QString& name)
{
    TakeCandidate given;
    if (!startGrouping(file, takeFiles, name, given))
        return;
    if (pool.isClaimed(given.path))
        return;
    QVector<TakeCandidate> candidates = folderOf(given.path) == pool.folder()
                                            ? pool.unclaimed(given.stem)
                                            : QVector<TakeCandidate>();
    includeGiven(given, candidates);
    QStringList found;
    const QVector<int> placed = fillTakeOf(given, candidates, found);
    for (int i : placed)
        pool.claim(candidates.at(i).path);
    takeFiles.append(found);
    name = takeName(name, found.size());
}

void KQHelper::getTakeFiles(TakeFolderCache& cache, const AudioFile* file, QStringList& takeFiles,
                            QString& name)
{
    TakeCandidate given;
    if (!file || !startGrouping(TakeCandidate::fromFile(*file), takeFiles, name, given))
        return;
    QVector<TakeCandidate> candidates = cache.candidates(folderOf(given.path), given.stem);
    includeGiven(given, candidates);
    QStringList found;
    fillTakeOf(given, candidates, found);
    takeFiles.append(found);
    name = takeName(name, found.size());
}

QString KQHelper::takeDamage(const QHash<QString, QString>& damageOf, const QStringList& takeFiles)
{
    if (damageOf.isEmpty())
        return QString();
    QStringList lines;
    for (const QString& path : takeFiles) {
        const QString damage = damageOf.value(KQHelper::absolutePath(path));
        if (damage.isEmpty())
            continue;
        if (takeFiles.size() == 1)
            return damage;
        lines << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), damage);
    }
    return lines.join(QLatin1Char('\n'));
}
