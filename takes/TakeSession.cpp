#include "TakeSession.h"

#include "AudioFileModel.h"
#include "AudioThread.h"
#include "SafeFileOps.h"
#include "TakeColumns.h"
#include "TakeCommands.h"
#include "TakeCopier.h"
#include "TakeEditState.h"
#include "TakeFolderCache.h"
#include "TakeJobs.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

TakeSession::TakeSession(QObject* parent)
    : QObject(parent), m_model(new AudioFileModel(this)),
      m_cache(std::make_shared<TakeFolderCache>()), m_importer(new TakeImporter(this)),
      m_jobs(new TakeJobs(m_model, this)), m_editState(std::make_unique<TakeEditState>(*this)),
      m_commands(new TakeCommands(this))
{
    connect(m_importer, &TakeImporter::finished, this, &TakeSession::onImportDone);
    // Before any window: the rows are right when a window shows the end.
    connect(m_jobs, &TakeJobs::finished, this, &TakeSession::onJobFinished);
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { emit takesInserted(first, last); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { emit takesRemoved(first, last); });
}

TakeSession::~TakeSession()
{
    m_importQueue.clear();
    m_importer->cancel();
    while (m_model->rowCount() > 0)
        m_model->removeRows(m_model->rowCount() - 1, 1);
}

void TakeSession::importPaths(const QStringList& paths, TakeImporter::Origin origin)
{
    m_importQueue.append({paths, origin});
    if (!m_importer->isRunning())
        startNextImport();
}

bool TakeSession::isImporting() const
{
    return m_importer->isRunning() || !m_importQueue.isEmpty();
}

void TakeSession::cancelImport()
{
    m_importer->cancel();
}

int TakeSession::importFilesRead() const
{
    return m_importer->filesRead();
}

int TakeSession::importFilesTotal() const
{
    return m_importer->filesTotal();
}

void TakeSession::startNextImport()
{
    if (m_importQueue.isEmpty() || m_importer->isRunning())
        return;
    const auto next = m_importQueue.takeFirst();
    TakeImporter::Request request;
    request.paths = next.first;
    request.origin = next.second;
    request.cache = m_cache;
    emit importStarted();
    m_importer->start(request);
}

void TakeSession::onImportDone()
{
    const QVector<StagedTake> takes = m_importer->takeResult();
    const bool cancelled = m_importer->wasCancelled();
    int added = 0;
    if (!cancelled && !takes.isEmpty()) {
        emit takesAboutToBeAdded();
        added = TakeImporter::addTo(*m_model, takes);
    }
    m_commands->setTakesListed(m_model->rowCount() > 0);
    emit importFinished(added, cancelled ? 0 : m_importer->filesRejected());
    startNextImport();
}

void TakeSession::removeTakes(const QList<int>& rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    // Edits of a take that is no longer listed can be neither saved nor
    // reverted; they must not be taken for edits of the next take.
    if (sorted.contains(currentRow()))
        clearEdits();
    // From the last row up, so that the rows still to go keep their numbers;
    // each run of adjacent rows goes in one step.
    int i = int(sorted.size()) - 1;
    while (i >= 0) {
        const int last = sorted.at(i);
        int first = last;
        while (i > 0 && sorted.at(i - 1) == first - 1)
            first = sorted.at(--i);
        --i;
        if (first >= 0 && last < m_model->rowCount())
            m_model->removeRows(first, last - first + 1);
    }
    if (m_model->rowCount() == 0) {
        m_commands->setTakesListed(false);
        m_commands->setWanted(TakeCommands::Control::EditTimecode, false);
    }
}

TakeFileRemover::Result TakeSession::deleteTakeFiles(int row) const
{
    const auto cell = [this, row](int column) {
        return m_model->data(m_model->index(row, column)).toString();
    };
    return TakeFileRemover::remove(*m_cache, cell(TakeColumns::Path), cell(TakeColumns::Channels));
}

TakeJobs::Result TakeSession::deleteTakes(const QList<int>& rows, int playingRow)
{
    QList<int> removed;
    QStringList problems;
    for (int row : rows) {
        const QString name = m_model->data(m_model->index(row, TakeColumns::FileName)).toString();
        // The files of a take that is playing are being read: never deleted.
        if (row == playingRow) {
            problems << tr("%1: it is playing; nothing was deleted.").arg(name);
            continue;
        }
        const TakeFileRemover::Result result = deleteTakeFiles(row);
        switch (result.outcome) {
        case TakeFileRemover::Outcome::Deleted:
        case TakeFileRemover::Outcome::NotOpened:
            removed << row;
            break;
        case TakeFileRemover::Outcome::Changed:
            problems << tr("%1: its files changed on disk since it was listed; nothing was "
                           "deleted.")
                            .arg(name);
            break;
        case TakeFileRemover::Outcome::Failed:
            problems << tr("%1: could not delete %2.").arg(name, result.failed.join(", "));
            break;
        }
    }
    removeTakes(removed);
    TakeJobs::Result result;
    result.kind = TakeJobs::Kind::Delete;
    result.ok = problems.isEmpty();
    result.takes = int(rows.size());
    result.done = int(removed.size());
    result.skipped = int(problems.size());
    result.skips = problems;
    result.notes = problems.join(QLatin1Char('\n'));
    emit statusLine(TakeJobs::summary(result));
    return result;
}

bool TakeSession::saveEdits(const QList<int>& rows, bool multi, bool preserveStartTC)
{
    const TakeJobs::Questions& ask = m_jobs->questions();
    const auto warn = [&ask](const QString& text) {
        if (ask.warn)
            ask.warn(text);
    };
    const int current = currentRow();
    if (current < 0)
        return false;
    if (m_jobs->isRunning()) {
        warn(tr("Please wait until action completes and try again."));
        return false;
    }
    bool rateEdited = false;
    bool nameEdited = false;
    if (!m_editState->isEdited(rateEdited, nameEdited))
        return false;
    if (rateEdited) {
        // Unanswered, the edits stay unsaved.
        const TakeJobs::Answer answer =
            ask.confirmRateChange ? ask.confirmRateChange() : TakeJobs::Answer::Cancel;
        if (answer == TakeJobs::Answer::Discard)
            discardEdits();
        if (answer != TakeJobs::Answer::Save)
            return false;
    }
    if (nameEdited && m_editState->duplicateOfCurrent() >= 0) {
        if (!(ask.confirmDuplicate && ask.confirmDuplicate())) {
            discardEdits();
            return false;
        }
        m_editState->setCell(current, TakeColumns::Scene,
                             QStringLiteral("+") + m_editState->cell(current, TakeColumns::Scene));
        markEdited(TakeField::Scene);
        emit currentTakeRefreshed();
    }
    QString unopened;
    QHash<QString, int> takeOf;
    const QVector<TakeSaver::Job> jobs = m_editState->saveJobs(
        multi ? rows : QList<int>{current}, multi, preserveStartTC, &unopened, &takeOf);
    if (jobs.isEmpty()) {
        warn(tr("Failed to update\n %1 take.").arg(unopened));
        return false;
    }
    m_saveRows.clear();
    for (int row : rows) {
        if (multi && row != current)
            m_saveRows << QPersistentModelIndex(m_model->index(row, 0));
    }
    return m_jobs->startSave(jobs, multi, takeOf);
}

bool TakeSession::saveSelected()
{
    QList<int> rows;
    for (const QPersistentModelIndex& index : std::as_const(m_selected)) {
        if (index.isValid())
            rows << index.row();
    }
    const bool multi = rows.size() > 1;
    return saveEdits(multi ? rows : QList<int>{currentRow()}, multi, m_preserveStartTC);
}

void TakeSession::markEdited(TakeField field)
{
    const bool was = hasUnsavedEdits();
    m_edited |= field;
    if (!was)
        emit unsavedChanged(true);
}

bool TakeSession::settleEdits(const QList<int>& rows, bool allRows,
                              const std::function<void()>& then)
{
    if (!hasUnsavedEdits() || (!allRows && !rows.contains(currentRow())))
        return true;
    const TakeJobs::Questions& ask = m_jobs->questions();
    const QString name =
        m_model->data(m_model->index(currentRow(), TakeColumns::FileName)).toString();
    switch (ask.unsavedEdits ? ask.unsavedEdits(name) : TakeJobs::Answer::Cancel) {
    case TakeJobs::Answer::Save:
        // The caller goes on only once every file has the edits.
        if (saveSelected())
            m_afterSave = then;
        return false;
    case TakeJobs::Answer::Discard:
        discardEdits();
        return true;
    case TakeJobs::Answer::Cancel:
        break;
    }
    return false;
}

void TakeSession::discardEdits()
{
    m_editState->restore(currentRow());
    clearEdits();
    emit currentTakeRefreshed();
}

void TakeSession::onJobFinished(const TakeJobs::Result& result)
{
    emit statusLine(TakeJobs::summary(result));
    if (result.kind != TakeJobs::Kind::Save)
        return;
    const std::function<void()> then = std::exchange(m_afterSave, {});
    if (result.ok) {
        // Every file has the edits: they are no longer edits.
        clearEdits();
        // After the windows have seen the end of the save.
        if (then)
            QMetaObject::invokeMethod(this, then, Qt::QueuedConnection);
    } else {
        // The other takes show their files again; the next save copies the
        // current take's edits into them anew.
        for (const QPersistentModelIndex& row : std::as_const(m_saveRows)) {
            if (row.isValid() && row.row() != currentRow())
                m_editState->restore(row.row());
        }
    }
    m_saveRows.clear();
}

void TakeSession::clearEdits()
{
    const bool was = hasUnsavedEdits();
    m_edited = {};
    m_jobs->forgetWrittenFiles();
    if (was)
        emit unsavedChanged(false);
}

void TakeSession::setCurrentTake(const QModelIndex& current, const QList<QModelIndex>& selected)
{
    m_current = current;
    m_selected.clear();
    for (const QModelIndex& index : selected)
        m_selected << QPersistentModelIndex(index);
    emit currentTakeChanged(current, selected);
}

bool TakeSession::renameTakes(const QList<int>& rows)
{
    QHash<QString, int> takeOf;
    const QStringList files = m_editState->filesOf(rows, &takeOf);
    if (files.isEmpty()) {
        if (m_jobs->questions().warn)
            m_jobs->questions().warn(tr("Please select takes to be renamed."));
        return false;
    }
    return m_jobs->startRename(files, takeOf);
}

bool TakeSession::copyTakes(const QList<int>& rows, const QString& folder)
{
    QHash<QString, int> takeOf;
    const QStringList files = m_editState->filesOf(rows, &takeOf);
    QString refusal = files.isEmpty() ? tr("Please select takes to copy.") : QString();
    // Copying a take onto itself is refused before anything is copied.
    for (const QString& f : files) {
        if (SafeFileOps::samePath(f, TakeCopier::destinationFor(folder, f)))
            refusal = AudioThread::kMsgSameSource;
    }
    if (refusal.isEmpty())
        return m_jobs->startCopy(files, folder, takeOf);
    if (m_jobs->questions().warn)
        m_jobs->questions().warn(refusal);
    return false;
}

void TakeSession::requestPlay(const QModelIndex& index)
{
    m_commands->setPlaybackLocked(true);
    m_commands->setWanted(TakeCommands::Control::Stop, true);
    emit playRequested(index);
}

void TakeSession::requestStop()
{
    m_commands->setPlaybackLocked(false);
    emit stopRequested();
}

void TakeSession::playStarted(const QModelIndex& index)
{
    m_commands->setWanted(TakeCommands::Control::Stop, true);
    m_commands->setPlaybackLocked(true);
    m_playing = index.siblingAtColumn(0);
}

void TakeSession::playStopped()
{
    m_commands->setPlaybackLocked(false);
    m_commands->setWanted(TakeCommands::Control::Stop, false);
    m_playing = QPersistentModelIndex();
}
