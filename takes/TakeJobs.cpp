#include "TakeJobs.h"

#include "AudioFileModel.h"
#include "KQHelper.h"
#include "SafeFileOps.h"
#include "TakeColumns.h"
#include "TakeCopier.h"
#include "TakeLabel.h"
#include "TakeRenamer.h"

#include <QFileInfo>
#include <QMetaObject>

using namespace TakeColumns;

TakeJobs::TakeJobs(AudioFileModel* model, QObject* parent)
    : QObject(parent), m_model(model), m_saver(new TakeSaver(this)),
      m_renamer(new TakeRenamer(this)), m_copier(new TakeCopier(this))
{
    // The services report from inside their own steps: the handlers only
    // record; the end of a job is handled from the event loop.
    for (TakeBatch* batch : {static_cast<TakeBatch*>(m_saver), static_cast<TakeBatch*>(m_renamer),
                             static_cast<TakeBatch*>(m_copier)}) {
        connect(batch, &TakeBatch::itemProgress, this, &TakeJobs::onItemProgress);
        connect(batch, &TakeBatch::itemFinished, this, &TakeJobs::onItemFinished);
        connect(batch, &TakeBatch::finished, this, [this] {
            QMetaObject::invokeMethod(this, &TakeJobs::onRunFinished, Qt::QueuedConnection);
        });
    }
}

TakeJobs::~TakeJobs() = default;

bool TakeJobs::isRunning() const
{
    return m_kind != Kind::None || m_saver->isRunning() || m_renamer->isRunning() ||
           m_copier->isRunning();
}

bool TakeJobs::begin(Kind kind, int files)
{
    if (isRunning())
        return false;
    m_kind = kind;
    m_done = 0;
    m_total = files;
    m_fileOutcome.clear();
    m_skips.clear();
    m_cancelled = false;
    m_error.clear();
    m_message.clear();
    m_notes.clear();
    m_progressValue = 0;
    emit started(kind, files);
    return true;
}

bool TakeJobs::startSave(const QVector<TakeSaver::Job>& jobs, bool multi, const TakeOf& takeOf)
{
    if (isRunning())
        return false;
    // Files that a failed or cancelled save wrote already, with the very
    // edits they would get now, are not written again.
    QVector<TakeSaver::Job> pending;
    QStringList leftOut;
    for (const TakeSaver::Job& job : jobs) {
        const auto written = m_writtenFiles.constFind(job.path);
        if (written == m_writtenFiles.constEnd() || *written != job.edits)
            pending.append(job);
        else
            leftOut << job.path;
    }
    m_saveJobs = jobs;
    m_pendingJobs = pending;
    m_multi = multi;
    m_ixmlPath.clear();
    m_ixmlError.clear();
    begin(Kind::Save, int(pending.size()));
    m_takeOf = takeOf;
    m_files.clear();
    for (const TakeSaver::Job& job : jobs)
        m_files << job.path;
    for (const QString& path : std::as_const(leftOut))
        m_fileOutcome.insert(path, int(TakeBatch::Outcome::Done));
    if (pending.isEmpty())
        onRunFinished();
    else if (!m_saver->start(pending, multi, true))
        end(false, tr("Error occurred during process."));
    return true;
}

bool TakeJobs::startRename(const QStringList& files, const TakeOf& takeOf)
{
    if (files.isEmpty() || !begin(Kind::Rename, int(files.size())))
        return false;
    m_files = files;
    m_takeOf = takeOf;
    m_renamer->setNameComponents({QStringLiteral("Scene"), QStringLiteral("Take")});
    if (!m_renamer->start(files, true))
        end(false, tr("Error occurred during process."));
    return true;
}

bool TakeJobs::startCopy(const QStringList& files, const QString& folder, const TakeOf& takeOf)
{
    if (files.isEmpty() || !begin(Kind::Copy, int(files.size())))
        return false;
    m_files = files;
    m_takeOf = takeOf;
    m_copier->setDestination(folder);
    if (!m_copier->start(files, true))
        end(false, tr("Error occurred during process."));
    return true;
}

void TakeJobs::cancel()
{
    if (m_kind == Kind::None)
        return;
    m_cancelled = true;
    // The file in progress is put back as it was (its partial output removed).
    m_saver->abort();
    m_renamer->abort();
    m_copier->abort();
}

void TakeJobs::setProgress(int value)
{
    m_progressValue = value;
    if (m_progressQueued)
        return;
    m_progressQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_progressQueued = false;
            if (m_kind != Kind::None)
                emit progress(m_progressValue);
        },
        Qt::QueuedConnection);
}

void TakeJobs::onItemProgress(int index, quint32 percent)
{
    setProgress(index * 100 + int(qMin<quint32>(percent, 100)));
}

void TakeJobs::onItemFinished(int index, const TakeBatch::ItemResult& result)
{
    const QString name = QFileInfo(result.source).fileName();
    // A rename to the name a file has already changes nothing and says
    // nothing; a target that exists is a skip the user is told about.
    const bool sameName = result.outcome == TakeBatch::Outcome::Skipped &&
                          QFileInfo(result.target).fileName() == name;
    m_fileOutcome.insert(result.source, sameName ? -1 : int(result.outcome));
    if (result.outcome == TakeBatch::Outcome::Skipped && !sameName)
        m_skips << tr("%1 exists").arg(QFileInfo(result.target).fileName());
    else if (result.outcome == TakeBatch::Outcome::Refused)
        m_skips << tr("%1: %2").arg(name, result.reason);
    switch (result.outcome) {
    case TakeBatch::Outcome::Done:
        if (m_kind == Kind::Save && index < m_pendingJobs.size())
            m_writtenFiles.insert(result.source, m_pendingJobs.at(index).edits);
        if (m_kind == Kind::Rename)
            updateRenamedRow(result.source, result.target);
        if (!result.reason.isEmpty())
            m_notes << result.reason;
        m_done = index + 1;
        break;
    case TakeBatch::Outcome::Skipped:
        // A file that would replace another is reported.
        if (m_kind == Kind::Copy)
            m_notes << tr("%1: not copied, %2").arg(name, result.reason);
        else if (!sameName)
            m_notes << tr("%1: not renamed, %2").arg(name, result.reason);
        m_done = index + 1;
        break;
    case TakeBatch::Outcome::Refused:
        m_notes << result.reason;
        m_done = index + 1;
        break;
    case TakeBatch::Outcome::Failed:
        if (!m_error.isEmpty())
            break;
        if (m_kind == Kind::Save) {
            m_error = QStringLiteral("%1: %2").arg(result.source, result.reason);
            // A damaged take is refused by the write check: its message says
            // what to do.
            if (result.damaged)
                m_message = result.reason;
            m_ixmlPath = result.source;
            m_ixmlError = result.ixmlError;
        } else {
            m_error = result.reason;
            // A file that cannot be read has no target yet.
            if (m_kind == Kind::Rename && result.target.isEmpty())
                m_message = tr("Internal error.\nFailed to init %1 file.").arg(result.source);
            else if (m_kind == Kind::Copy && result.reason == AudioThread::kMsgSameSource)
                m_message = AudioThread::kMsgSameSource;
        }
        break;
    case TakeBatch::Outcome::Cancelled:
        m_cancelled = true;
        break;
    }
    setProgress((index + 1) * 100);
}

void TakeJobs::onRunFinished()
{
    if (m_kind == Kind::None)
        return;
    const bool complete = m_error.isEmpty() && !m_cancelled && m_done >= m_total;
    if (m_kind == Kind::Save && !m_cancelled && !m_ixmlError.isEmpty()) {
        const QString path = m_ixmlPath;
        const QString why = m_ixmlError;
        m_ixmlError.clear();
        if (!m_questions.rebuildIxml || !m_questions.rebuildIxml(QFileInfo(path).fileName(), why)) {
            end(false, QString()); // answered: the edits stay for a later save
            return;
        }
        QVector<TakeSaver::Job> jobs = m_saveJobs;
        for (TakeSaver::Job& job : jobs) {
            if (job.path == path)
                job.edits.rebuildIxml = true;
        }
        const bool multi = m_multi;
        const TakeOf takeOf = m_takeOf;
        m_kind = Kind::None;
        startSave(jobs, multi, takeOf);
        return;
    }
    if (complete)
        end(true, QString());
    else if (m_cancelled && m_error.isEmpty())
        end(false, QString());
    else
        end(false, m_message.isEmpty() ? tr("Error occurred during process.") : m_message, m_error);
}

void TakeJobs::end(bool ok, const QString& message, const QString& detail)
{
    Result r;
    r.kind = m_kind;
    r.ok = ok;
    r.message = message;
    r.detail = detail;
    r.cancelled = m_cancelled;
    countTakes(r);
    if (!m_notes.isEmpty())
        r.notes = m_kind == Kind::Copy
                      ? tr("Some files were not copied:\n%1").arg(m_notes.join('\n'))
                      : tr("Some files were not renamed:\n%1").arg(m_notes.join('\n'));
    // The state goes first: nothing that runs from here on may see a
    // finished job as running.
    m_kind = Kind::None;
    m_done = 0;
    m_total = 0;
    m_cancelled = false;
    m_error.clear();
    m_message.clear();
    m_notes.clear();
    m_saveJobs.clear();
    m_pendingJobs.clear();
    m_takeOf.clear();
    m_files.clear();
    m_fileOutcome.clear();
    m_skips.clear();
    emit finished(r);
}

void TakeJobs::countTakes(Result& r) const
{
    // A take is as far as its least finished file: not done, skipped, done,
    // or unchanged (every file had its name already).
    enum Rank { Unchanged, Done, Skipped, NotDone };
    QHash<int, int> rank;
    int own = 0;
    for (const QString& file : m_files) {
        const int take = m_takeOf.value(file, -1 - own++);
        const int outcome = m_fileOutcome.value(file, int(TakeBatch::Outcome::Failed));
        Rank f = NotDone;
        if (outcome == -1)
            f = Unchanged;
        else if (outcome == int(TakeBatch::Outcome::Done))
            f = Done;
        else if (outcome == int(TakeBatch::Outcome::Skipped) ||
                 outcome == int(TakeBatch::Outcome::Refused))
            f = Skipped;
        rank[take] = qMax(rank.value(take, Unchanged), int(f));
    }
    r.takes = int(rank.size());
    for (int k : std::as_const(rank)) {
        r.unchanged += k == Unchanged;
        r.done += k == Done;
        r.skipped += k == Skipped;
    }
    r.skips = m_skips;
}

QString TakeJobs::summary(const Result& r)
{
    const QString takes = r.done == 1 ? tr("1 take") : tr("%1 takes").arg(r.done);
    QString line;
    switch (r.kind) {
    case Kind::Save:
        line = tr("%1 saved").arg(takes);
        break;
    case Kind::Rename:
        line = tr("%1 renamed").arg(takes);
        break;
    case Kind::Copy:
        line = tr("%1 copied").arg(takes);
        break;
    case Kind::Delete:
        line = tr("%1 deleted").arg(takes);
        break;
    case Kind::None:
        return QString();
    }
    if (r.unchanged > 0)
        line += tr(", %1 already named").arg(r.unchanged);
    if (r.skipped > 0)
        line += tr(", %1 skipped: %2").arg(r.skipped).arg(r.skips.join(QLatin1String(", ")));
    const int rest = r.takes - r.done - r.unchanged - r.skipped;
    if (rest > 0)
        line += r.cancelled ? tr(", %1 cancelled").arg(rest) : tr(", %1 failed").arg(rest);
    return line;
}

void TakeJobs::updateRenamedRow(const QString& oldPath, const QString& newPath)
{
    const auto cell = [this](int row, int column) {
        return m_model->data(m_model->index(row, column)).toString();
    };
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (cell(row, Path) != oldPath)
            continue;
        m_model->setData(m_model->index(row, Path), newPath);
        QString name = QFileInfo(newPath).fileName();
        const TakeLabel label = TakeLabel::parse(cell(row, Channels));
        if (label.kind == TakeLabel::Kind::Mono && label.fileCount() > 1)
            name = KQHelper::takeName(name, label.fileCount());
        m_model->setData(m_model->index(row, CurrentName), name);
        m_model->setData(m_model->index(row, FileName), name);
        return;
    }
}
