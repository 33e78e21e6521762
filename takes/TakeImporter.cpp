#include "TakeImporter.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeFileStamp.h"
#include "TakeFolderCache.h"
#include "TakeFolderIndex.h"
#include "TakeLabel.h"
#include "TakeParallel.h"
#include "TakePool.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <vector>

TakeImporter::TakeImporter(QObject* parent) : QObject(parent) {}

TakeImporter::~TakeImporter()
{
    if (m_shared)
        m_shared->progress.cancel = true;
    stopWorker();
}

void TakeImporter::stopWorker()
{
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
}

bool TakeImporter::start(const Request& request)
{
    if (isRunning())
        return false;
    m_shared = std::make_shared<Shared>();
    m_result.clear();
    m_rejected = 0;
    m_cancelled = false;
    std::shared_ptr<Shared> shared = m_shared;
    m_thread.reset(
        QThread::create([shared, request] { shared->outcome = read(request, &shared->progress); }));
    // finished() is emitted by the worker thread; the importer lives on its
    // owner's thread, so the slot runs there, after the worker's last write.
    connect(m_thread.get(), &QThread::finished, this, &TakeImporter::onWorkerFinished);
    m_thread->start();
    return true;
}

bool TakeImporter::isRunning() const
{
    return m_thread != nullptr;
}

void TakeImporter::cancel()
{
    if (m_shared)
        m_shared->progress.cancel = true;
}

QVector<StagedTake> TakeImporter::takeResult()
{
    QVector<StagedTake> result;
    result.swap(m_result);
    return result;
}

void TakeImporter::onWorkerFinished()
{
    if (!m_thread)
        return;
    stopWorker();
    Outcome& outcome = m_shared->outcome;
    m_cancelled = outcome.cancelled || m_shared->progress.cancel.load();
    m_rejected = int(outcome.rejected.size());
    if (!m_cancelled)
        m_result = std::move(outcome.takes);
    outcome = Outcome();
    emit finished();
}

QStringList TakeImporter::expand(const Request& request, QVector<ImportRejection>* rejected)
{
    auto reject = [rejected](const QString& path, ImportRejection::Reason reason) {
        if (rejected)
            rejected->append({path, reason, QString(), 0});
    };
    QStringList files;
    for (const QString& path : request.paths) {
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (request.origin == Origin::CommandLine && !info.exists()) {
            reject(path, ImportRejection::Reason::Missing);
        } else if (info.isDir()) {
            if (request.origin == Origin::Dialog)
                continue;
            const QString folder = KQHelper::absolutePath(path);
            const QDir dir(folder);
            for (const QString& name : KQHelper::takeFileNames(folder))
                files << dir.filePath(name);
        } else if (request.origin != Origin::Drop && !KQHelper::hasTakeSuffix(path)) {
            if (request.origin == Origin::CommandLine)
                reject(path, ImportRejection::Reason::NotTakeName);
        } else {
            // A missing file is kept: opening it fails and rejects it.
            files << KQHelper::absolutePath(path);
        }
    }
    return files;
}

namespace
{

// What an import keeps of one file once its record is closed: the values
// grouping reads, the row it would bring as the first file of a take, and its
// side tables: a few KiB of text instead of the whole record (about 16 KiB
// with its buffers), so that an import holds no open record beyond the few
// being read.
struct FileRead {
    bool opened = false;
    QString error;       // why it did not open
    TakeFileEntry entry; // grouping values and tracks (TakeFolderIndex::entryOf)
    QStringList cells;   // TakeColumns::cells as the take of this file alone
    QString currentName; // the "current name" value as read
    QList<QStringList> syncPoints;
    QStringList fileSet;
    QStringList history;
    QString damage; // AudioFile::m_info.damage
};

FileRead readFile(const QString& path)
{
    FileRead r;
    AudioFile file;
    if (!file.Open(path)) {
        r.error = file.errorText();
        return r;
    }
    r.opened = true;
    r.entry = TakeFolderIndex::entryOf(file);
    r.cells = TakeColumns::cells(file, QString(), 1);
    r.currentName = file.GetFileName();
    r.syncPoints = file.GetSyncPointsInfo();
    r.fileSet = file.GetFileSetInfo();
    r.history = file.GetHistoryInfo();
    r.damage = file.m_info.damage;
    return r;
}

// The cells of the take led by r: name, current name and label depend on the
// take's name and file count, the rest on the file alone.
QStringList takeCells(const FileRead& r, const QString& name, int fileCount)
{
    QStringList c = r.cells;
    if (c.size() != TakeColumns::Count)
        return c;
    const bool mono = r.entry.key.channels == 1;
    QString current = r.currentName;
    if (!current.isEmpty() && mono && fileCount > 1 && current.contains(QLatin1Char('_')))
        current = TakeColumns::groupName(current);
    c[TakeColumns::FileName] = name;
    c[TakeColumns::CurrentName] = current;
    c[TakeColumns::Channels] = TakeLabel{mono ? fileCount : int(r.entry.key.channels),
                                         mono ? TakeLabel::Kind::Mono : TakeLabel::Kind::Poly}
                                   .text();
    return c;
}


} // namespace

TakeImporter::Outcome TakeImporter::read(const Request& request, Progress* progress)
{
    Outcome outcome;
    const QStringList files = expand(request, &outcome.rejected);
    const int count = int(files.size());
    if (progress)
        progress->total = count;
    auto cancelled = [progress] { return progress && progress->cancel.load(); };

    // Headers are read several at a time; each read is independent, and each
    // record is closed as soon as what the import needs is kept.
    std::vector<FileRead> reads(static_cast<size_t>(count));
    TakeParallel::forEach(count, [&](int i) {
        if (cancelled())
            return;
        reads[size_t(i)] = readFile(files.at(i));
        if (progress)
            ++progress->read;
    });
    if (cancelled()) {
        outcome.cancelled = true;
        outcome.rejected.clear();
        return outcome;
    }

    // The files just read stand for themselves in the folder indexes, by
    // folder, so that grouping does not read them again.
    const qint64 opStartNs = TakeFileStamp::nowNs();
    QHash<QString, QList<TakeFileEntry>> readByFolder;
    QHash<QString, QString> damageOf; // by absolute path
    std::vector<int> readable;
    readable.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const FileRead& r = reads[size_t(i)];
        if (!r.opened) {
            outcome.rejected.append({files.at(i), ImportRejection::Reason::NotOpened, r.error, 0});
            continue;
        }
        readable.push_back(i);
        readByFolder[KQHelper::folderOf(files.at(i))].append(r.entry);
        if (!r.damage.isEmpty())
            damageOf.insert(KQHelper::absolutePath(files.at(i)), r.damage);
    }

    // Grouping: a run of files from one folder shares one pool, so that each
    // take is added once however many of its files were given; a take already
    // staged (same name and label, any letter case) is not staged again.
    std::shared_ptr<TakeFolderCache> cache = request.cache;
    if (!cache)
        cache = std::make_shared<TakeFolderCache>();
    AudioFileModel staging;
    QVector<QStringList> filesOfRow;
    QSet<QString> adoptedFolders;
    QString lastFolder;
    TakePool pool;
    bool havePool = false;
    for (int i : readable) {
        FileRead& r = reads[size_t(i)];
        const QString& path = files.at(i);
        const QString folder = KQHelper::folderOf(path);
        if (!havePool || folder != lastFolder) {
            QList<TakeFileEntry> read;
            if (!adoptedFolders.contains(folder)) {
                read = readByFolder.take(folder);
                adoptedFolders.insert(folder);
            }
            pool = TakePool(cache->snapshot(folder, read, opStartNs));
            lastFolder = folder;
            havePool = true;
        }
        const bool claimed = pool.isClaimed(KQHelper::absolutePath(path));
        QStringList takeFiles;
        QString name;
        KQHelper::getTakeFiles2(pool, r.entry.key, takeFiles, name);
        if (takeFiles.isEmpty()) {
            if (!claimed)
                outcome.rejected.append({path, ImportRejection::Reason::NotGrouped, QString(),
                                         r.entry.key.channelIndex});
            r = FileRead();
            continue;
        }
        const QStringList cells = takeCells(r, name, int(takeFiles.size()));
        if (cells.size() == TakeColumns::Count &&
            staging.isValidToAdd(cells.at(TakeColumns::FileName),
                                 cells.at(TakeColumns::Channels))) {
            QList<QStringList> tracks;
            for (const QString& p : takeFiles) {
                QList<QStringList> fileTracks;
                if (pool.tracksOf(p, fileTracks))
                    tracks.append(fileTracks);
                else if (KQHelper::absolutePath(p) == KQHelper::absolutePath(path))
                    tracks.append(r.entry.tracks);
                else
                    tracks.append(AudioFileModel::getTracks(QStringList{p}));
            }
            const int row = staging.rowCount();
            staging.insertRow(row, QModelIndex(), cells);
            staging.setTrackInfo(row, tracks);
            staging.setHistoryInfo(row, r.history);
            staging.setFileSetInfo(row, r.fileSet);
            staging.setSyncPointInfo(row, r.syncPoints);
            staging.setDamage(row, KQHelper::takeDamage(damageOf, takeFiles));
            filesOfRow.append(takeFiles);
        }
        r = FileRead();
    }

    outcome.takes.reserve(staging.rowCount());
    for (int row = 0; row < staging.rowCount(); ++row) {
        StagedTake t;
        for (int c = 0; c < staging.columnCount(); ++c)
            t.cells << staging.data(staging.index(row, c)).toString();
        t.files = filesOfRow.at(row);
        t.tracks = staging.trackInfo(row);
        t.syncPoints = staging.syncPointInfo(row);
        t.fileSet = staging.fileSetInfo(row);
        t.history = staging.historyInfo(row);
        t.damage = staging.damage(row);
        outcome.takes << t;
    }
    return outcome;
}

int TakeImporter::addTo(AudioFileModel& model, const QVector<StagedTake>& takes)
{
    int added = 0;
    for (const StagedTake& t : takes) {
        if (t.cells.size() != TakeColumns::Count)
            continue;
        if (!model.isValidToAdd(t.cells.at(TakeColumns::FileName),
                                t.cells.at(TakeColumns::Channels)))
            continue;
        // A take whose file went away while the import ran is not listed.
        if (!QFileInfo::exists(t.cells.at(TakeColumns::Path)))
            continue;
        const int row = model.rowCount();
        if (!model.insertRow(row, QModelIndex(), t.cells))
            continue;
        model.setTrackInfo(row, t.tracks);
        model.setSyncPointInfo(row, t.syncPoints);
        model.setFileSetInfo(row, t.fileSet);
        model.setHistoryInfo(row, t.history);
        model.setDamage(row, t.damage);
        ++added;
    }
    return added;
}
