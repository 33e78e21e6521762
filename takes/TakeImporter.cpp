#include "TakeImporter.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeParallel.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <vector>

TakeImporter::TakeImporter(QObject* parent) : QObject(parent) {}

TakeImporter::~TakeImporter()
{
    if (m_thread) {
        m_shared->cancel = true;
        m_thread->wait();
        delete m_thread;
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
    m_thread = QThread::create([shared, request] { run(*shared, request); });
    // finished() is emitted by the worker thread; the importer lives on the
    // GUI thread, so the slot runs there, after the worker's last write.
    connect(m_thread, &QThread::finished, this, &TakeImporter::onWorkerFinished);
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
        m_shared->cancel = true;
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
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_cancelled = m_shared->cancel.load();
    m_rejected = m_shared->rejected;
    if (!m_cancelled)
        m_result = std::move(m_shared->takes);
    m_shared->takes.clear();
    emit finished();
}

QStringList TakeImporter::expand(const Request& request)
{
    QStringList files;
    for (const QString& path : request.paths) {
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (info.isDir()) {
            if (!request.expandFolders)
                continue;
            const QString folder = KQHelper::absolutePath(path);
            const QDir dir(folder);
            for (const QString& name : KQHelper::takeFileNames(folder))
                files << dir.filePath(name);
        } else {
            // A missing file is kept: opening it fails and counts as rejected.
            files << KQHelper::absolutePath(path);
        }
    }
    return files;
}

void TakeImporter::run(Shared& shared, const Request& request)
{
    const QStringList files = expand(request);
    const int count = int(files.size());
    shared.total = count;

    // Headers are read several at a time; each read is independent.
    std::vector<std::unique_ptr<AudioFile>> owned(static_cast<size_t>(count));
    std::vector<char> opened(static_cast<size_t>(count), char(0));
    TakeParallel::forEach(count, [&](int i) {
        if (shared.cancel)
            return;
        auto file = std::make_unique<AudioFile>();
        opened[size_t(i)] = file->Open(files.at(i)) ? 1 : 0;
        owned[size_t(i)] = std::move(file);
        ++shared.read;
    });
    if (shared.cancel)
        return;

    QList<AudioFile*> readable;
    int rejected = 0;
    for (int i = 0; i < count; ++i) {
        if (opened[size_t(i)])
            readable << owned[size_t(i)].get();
        else
            ++rejected;
    }

    // The take list's own import on a private model: the same grouping, the
    // same claiming of mono files and the same duplicate rule.
    AudioFileModel staging;
    QList<AudioFileModel::ImportResult> results;
    staging.setModelData(readable, &results);
    for (const AudioFileModel::ImportResult& r : results) {
        if (r.outcome == AudioFileModel::ImportOutcome::NotGrouped)
            ++rejected;
    }

    QVector<StagedTake> takes;
    takes.reserve(staging.rowCount());
    for (int row = 0; row < staging.rowCount(); ++row) {
        StagedTake t;
        for (int c = 0; c < staging.columnCount(); ++c)
            t.cells << staging.data(staging.index(row, c)).toString();
        t.tracks = staging.trackInfo(row);
        t.syncPoints = staging.syncPointInfo(row);
        t.fileSet = staging.fileSetInfo(row);
        t.history = staging.historyInfo(row);
        takes << t;
    }
    readable.clear();
    owned.clear();
    shared.rejected = rejected;
    shared.takes = std::move(takes);
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
        ++added;
    }
    return added;
}
