#include "TakeImporter.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeFolderCache.h"
#include "TakeParallel.h"

#include <QDir>
#include <QFileInfo>
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

TakeImporter::Outcome TakeImporter::read(const Request& request, Progress* progress)
{
    Outcome outcome;
    const QStringList files = expand(request, &outcome.rejected);
    const int count = int(files.size());
    if (progress)
        progress->total = count;
    auto cancelled = [progress] { return progress && progress->cancel.load(); };

    // Headers are read several at a time; each read is independent.
    std::vector<std::unique_ptr<AudioFile>> owned(static_cast<size_t>(count));
    std::vector<char> opened(static_cast<size_t>(count), char(0));
    TakeParallel::forEach(count, [&](int i) {
        if (cancelled())
            return;
        auto file = std::make_unique<AudioFile>();
        opened[size_t(i)] = file->Open(files.at(i)) ? 1 : 0;
        owned[size_t(i)] = std::move(file);
        if (progress)
            ++progress->read;
    });
    if (cancelled()) {
        outcome.cancelled = true;
        outcome.rejected.clear();
        return outcome;
    }

    QList<AudioFile*> readable;
    for (int i = 0; i < count; ++i) {
        if (opened[size_t(i)]) {
            readable << owned[size_t(i)].get();
        } else {
            outcome.rejected.append({files.at(i), ImportRejection::Reason::NotOpened,
                                     owned[size_t(i)]->errorText(), 0});
        }
    }

    // The take list's own import on a private model: the same grouping, the
    // same claiming of mono files and the same duplicate rule.
    AudioFileModel staging;
    QList<AudioFileModel::ImportResult> results;
    std::shared_ptr<TakeFolderCache> cache = request.cache;
    if (!cache)
        cache = std::make_shared<TakeFolderCache>();
    staging.setModelData(*cache, readable, &results);
    QVector<QStringList> filesOfRow(staging.rowCount());
    for (const AudioFileModel::ImportResult& r : results) {
        if (r.outcome == AudioFileModel::ImportOutcome::Added) {
            filesOfRow[r.row] = r.takeFiles;
        } else if (r.outcome == AudioFileModel::ImportOutcome::NotGrouped) {
            outcome.rejected.append({r.file->fileName(), ImportRejection::Reason::NotGrouped,
                                     QString(), r.file->GetChanelIndex()});
        }
    }
    // The headers are no longer needed once the rows are built.
    readable.clear();
    TakeParallel::forEach(count, [&](int i) { owned[size_t(i)].reset(); });

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
