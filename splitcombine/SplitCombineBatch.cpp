#include "SplitCombineBatch.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "AudioThread.h"
#include "TakeColumns.h"
#include "TakeFileRemover.h"
#include "TakeSession.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace
{

const QString kDone = QStringLiteral("Done.");
const QString kFailed = QStringLiteral("Failed.");
const QString kCancelled = QStringLiteral("Cancelled.");
const QString kNoMono = QStringLiteral(
    "There are no valid mono files to combine in the Take List.\n Please import mono files.");
const QString kNoDestination = QStringLiteral("Please select a destination folder.");
const QString kTwoFiles = QStringLiteral("Please select at least two files to combine.");
constexpr quint64 kFileSizeLimit = quint64(1) << 32;

enum Mode { SplitMode = 0, ManualMode = 1, BatchMode = 2 };

QString cellText(const AudioFileModel* model, int row, int column)
{
    return model->data(model->index(row, column)).toString();
}

QString folderPath(const QString& folder, const QString& name)
{
    return QDir(folder).filePath(name);
}

} // namespace

SplitCombineBatch::SplitCombineBatch(TakeSession* session, QObject* parent)
    : QObject(parent), m_session(session), m_thread(new AudioThread(this))
{
    connect(m_thread, &AudioThread::progressUpdate, this, &SplitCombineBatch::onProgress,
            Qt::QueuedConnection);
}

SplitCombineBatch::~SplitCombineBatch()
{
    m_thread->CleanUp();
}

// ---------------------------------------------------------------- Rules

QList<SplitCombineBatch::SplitOutput> SplitCombineBatch::splitRule(const QList<Cell>& selected)
{
    QList<SplitOutput> outputs;
    int lastColumn = -1;
    for (const Cell& c : selected)
        lastColumn = std::max(lastColumn, c.column);
    for (int column = 0; column <= lastColumn; ++column) {
        QList<int> rows;
        for (const Cell& c : selected)
            if (c.column == column && c.row >= 0 && c.row < 32 && !rows.contains(c.row))
                rows << c.row;
        if (rows.isEmpty())
            continue;
        std::sort(rows.begin(), rows.end());
        SplitOutput out;
        for (int r : rows) {
            out.suffix += QStringLiteral("_%1").arg(r + 1);
            out.mask |= 1u << r;
        }
        outputs << out;
    }
    return outputs;
}

QString SplitCombineBatch::splitOutputPath(const QString& folder, const QString& source,
                                           const QString& suffix)
{
    const QFileInfo fi(source);
    QString name = fi.completeBaseName() + suffix;
    if (!fi.suffix().isEmpty())
        name += QLatin1Char('.') + fi.suffix();
    return folderPath(folder, name);
}

bool SplitCombineBatch::batchCombinePlan(const QString& folder, const QStringList& files,
                                         const QList<Cell>& selected, QString* output,
                                         QStringList* sources)
{
    const int n = int(files.size());
    const QFileInfo first(files.value(0));
    const QString firstName = first.fileName();
    const int cut = firstName.lastIndexOf(QLatin1Char('_'));
    // A name without "_" keeps its base name as the prefix.
    QString prefix = cut >= 0 ? firstName.left(cut) : first.completeBaseName();
    sources->clear();
    for (int column = 0; column < n; ++column) {
        QList<int> rows;
        for (const Cell& c : selected)
            if (c.column == column && c.row >= 0 && c.row < n)
                rows << c.row;
        std::sort(rows.begin(), rows.end());
        for (int r : rows) {
            *sources << files.at(r);
            prefix += QStringLiteral("_%1").arg(r + 1);
        }
    }
    const QString ext = first.suffix().isEmpty() ? QString() : QLatin1Char('.') + first.suffix();
    *output = folderPath(folder, prefix + ext);
    return !sources->isEmpty();
}

// ---------------------------------------------------------------- Take list

QStringList SplitCombineBatch::polyTakes() const
{
    QStringList paths;
    const AudioFileModel* model = m_session->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (cellText(model, row, TakeColumns::Channels).contains(QLatin1String("POLY")))
            paths << cellText(model, row, TakeColumns::Path);
    return paths;
}

QList<QStringList> SplitCombineBatch::monoTakes() const
{
    QList<QStringList> takes;
    const AudioFileModel* model = m_session->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!cellText(model, row, TakeColumns::Channels).contains(QLatin1String("MONO")))
            continue;
        QString why;
        const QStringList files = takeFiles(row, &why);
        if (!files.isEmpty())
            takes << files;
    }
    return takes;
}

QStringList SplitCombineBatch::takeFiles(int row, QString* why) const
{
    const AudioFileModel* model = m_session->model();
    const QString path = cellText(model, row, TakeColumns::Path);
    TakeFileRemover::Outcome outcome;
    const QStringList files = TakeFileRemover::filesOf(
        m_session->folderCache(), path, cellText(model, row, TakeColumns::Channels), &outcome);
    const QString changed =
        QStringLiteral("its files changed on disk since it was imported; import it again");
    if (outcome == TakeFileRemover::Outcome::NotOpened) {
        *why = QStringLiteral("%1 cannot be read").arg(path);
        return {};
    }
    if (files.isEmpty()) {
        *why = changed;
        return {};
    }
    // The cells an edit in the take list never changes must still describe
    // the file: a file replaced or rewritten by another program differs here.
    AudioFile file;
    if (!file.Open(path)) {
        *why = QStringLiteral("%1 cannot be read").arg(path);
        return {};
    }
    const QStringList now =
        TakeColumns::cells(file, cellText(model, row, TakeColumns::FileName), int(files.size()));
    const auto differs = [&](int column) {
        return now.value(column) != cellText(model, row, column);
    };
    // The length shows in the end timecode, to the frame; edited (unsaved)
    // rates or start move it in the list, so it is compared without them.
    const bool sameTiming = !differs(TakeColumns::SampleRate) && !differs(TakeColumns::FrameRate) &&
                            !differs(TakeColumns::StartTC);
    if (differs(TakeColumns::Channels) || differs(TakeColumns::BitDepth) ||
        (sameTiming && (differs(TakeColumns::Length) || differs(TakeColumns::EndTC))) ||
        (!cellText(model, row, TakeColumns::FileUID).isEmpty() && differs(TakeColumns::FileUID))) {
        *why = changed;
        return {};
    }
    return files;
}

// ---------------------------------------------------------------- Runs

void SplitCombineBatch::begin(int mode)
{
    m_mode = mode;
    m_index = 0;
    m_running = true;
    m_existing = 0;
    m_written.clear();
    m_skipped.clear();
}

QString SplitCombineBatch::startSplit(const QString& folder, const QList<Cell>& selected)
{
    if (m_running)
        return QStringLiteral("Please wait until action completes and try again.");
    if (folder.isEmpty())
        return QStringLiteral("Please select Destination.");
    const AudioFileModel* model = m_session->model();
    QList<int> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        if (cellText(model, row, TakeColumns::Channels).contains(QLatin1String("POLY")))
            rows << row;
    const QList<SplitOutput> rule = splitRule(selected);
    if (rows.isEmpty())
        return QStringLiteral("There are no valid poly files to splt in the Take List.\n "
                              "Please import poly files.");
    if (rule.isEmpty())
        return QStringLiteral("Please select at least one Output file.");

    m_jobs.clear();
    for (int row : rows) {
        Job job;
        job.source = cellText(model, row, TakeColumns::Path);
        job.take = QFileInfo(job.source).fileName();
        QString why;
        if (takeFiles(row, &why).isEmpty())
            job.skip = why;
        for (const SplitOutput& out : rule) {
            job.paths << splitOutputPath(folder, job.source, out.suffix);
            job.masks << out.mask;
        }
        m_jobs << job;
    }
    begin(SplitMode);
    runNext();
    return QString();
}

QString SplitCombineBatch::startBatchCombine(const QString& folder, const QList<Cell>& selected)
{
    if (m_running)
        return QStringLiteral("Please wait until action completes and try again.");
    const AudioFileModel* model = m_session->model();
    QList<int> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        if (cellText(model, row, TakeColumns::Channels).contains(QLatin1String("MONO")))
            rows << row;
    if (rows.isEmpty())
        return kNoMono;
    if (folder.isEmpty())
        return kNoDestination;
    if (selected.size() < 2)
        return QStringLiteral("Please select at least two Output tracks.");

    m_jobs.clear();
    for (int row : rows) {
        Job job;
        job.take = cellText(model, row, TakeColumns::FileName);
        QString why;
        const QStringList files = takeFiles(row, &why);
        if (files.isEmpty())
            job.skip = why;
        else if (files.size() < 2)
            job.skip = QStringLiteral("a take of one file");
        else if (!batchCombinePlan(folder, files, selected, &job.output, &job.paths))
            job.skip = QStringLiteral("no selected cell applies to its %1 files").arg(files.size());
        m_jobs << job;
    }
    begin(BatchMode);
    runNext();
    return QString();
}

QString SplitCombineBatch::startManualCombine(const QString& folder, const QString& name,
                                              const QStringList& sources)
{
    if (m_running)
        return QStringLiteral("Please wait until action completes and try again.");
    if (monoTakes().isEmpty())
        return kNoMono;
    if (folder.isEmpty())
        return kNoDestination;
    if (name.trimmed().isEmpty())
        return QStringLiteral("Please type a destination file name.");
    // The output stays in the destination folder.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("A destination file name cannot contain \"/\" or \"\\\".");
    if (sources.size() < 2)
        return kTwoFiles;
    // Mono files of one rate, length, sample size and start only: anything
    // else gives tracks that do not line up.
    AudioFile first;
    for (int i = 0; i < sources.size(); ++i) {
        AudioFile f;
        AudioFile& file = i == 0 ? first : f;
        if (!file.Open(sources.at(i)))
            return QStringLiteral("The selected files are not valid.\n Please re-import.");
        if (i == 0 && quint64(sources.size()) * first.m_info.dataSize >= kFileSizeLimit)
            return QStringLiteral("Operation cannot be completed.\n File exceeds Broadcast "
                                  "Wave Format file size limit.");
        if (i > 0 && (f.GetSampleRate() != first.GetSampleRate() ||
                      f.GetTotalSamples() != first.GetTotalSamples() ||
                      f.GetBitDepth() != first.GetBitDepth() ||
                      f.m_info.timeReference != first.m_info.timeReference))
            return AudioThread::kMsgCannotCombine;
    }
    Job job;
    job.output = folderPath(folder, name + QStringLiteral(".wav"));
    job.take = QFileInfo(job.output).fileName();
    job.paths = sources;
    m_jobs = {job};
    begin(ManualMode);
    runNext();
    return QString();
}

void SplitCombineBatch::cancel()
{
    if (!m_running)
        return;
    m_thread->CleanUp();
    m_staleFinals = m_outstanding;
    end(kCancelled);
}

void SplitCombineBatch::skipTake(const QString& take, const QString& why)
{
    m_skipped << QStringLiteral("%1: %2").arg(take, why);
}

// Drops or keeps the outputs of job that exist now, asking the user the
// first time in the run. False when the user cancels the run.
bool SplitCombineBatch::settleExisting(Job& job)
{
    const bool split = job.output.isEmpty();
    const QStringList outputs = split ? job.paths : QStringList{job.output};
    QStringList existing;
    QStringList ours;
    for (const QString& p : outputs) {
        const QFileInfo fi(p);
        if (m_written.contains(fi.absoluteFilePath()))
            ours << p;
        else if (fi.exists() || fi.isSymLink())
            existing << p;
    }
    if (!existing.isEmpty() && m_existing == 0) {
        const Answer a = m_ask ? m_ask(existing) : Answer::Skip;
        if (a == Answer::Cancel)
            return false;
        m_existing = a == Answer::Replace ? 1 : 2;
    }
    QStringList drop = ours;
    if (m_existing != 1)
        drop << existing;
    for (const QString& p : drop) {
        const QString why = ours.contains(p) ? QStringLiteral("written by this run already")
                                             : QStringLiteral("exists, kept");
        skipTake(job.take, QStringLiteral("%1 %2").arg(QFileInfo(p).fileName(), why));
        if (split) {
            const int k = int(job.paths.indexOf(p));
            job.paths.removeAt(k);
            job.masks.removeAt(k);
        } else {
            job.paths.clear();
        }
    }
    return true;
}

bool SplitCombineBatch::startJob(Job& job)
{
    if (!job.skip.isEmpty()) {
        skipTake(job.take, job.skip);
        return false;
    }
    if (job.paths.isEmpty())
        return false;
    const bool ok = job.output.isEmpty() ? m_thread->Split(job.source, job.paths, job.masks)
                                         : m_thread->Combine(job.output, job.paths);
    if (ok)
        ++m_outstanding;
    else {
        const QString why = m_thread->m_errorMsg.isEmpty() ? QStringLiteral("cannot be read")
                                                           : m_thread->m_errorMsg;
        if (m_mode == ManualMode)
            end(kFailed + why);
        else
            skipTake(job.take, why);
    }
    return ok;
}

void SplitCombineBatch::runNext()
{
    while (m_running && m_index < m_jobs.size()) {
        Job& job = m_jobs[m_index];
        if (job.skip.isEmpty() && !settleExisting(job)) {
            end(kCancelled);
            return;
        }
        if (startJob(job))
            return;
        ++m_index;
        emit progress(0);
    }
    if (!m_running)
        return;
    QString message = kDone;
    if (!m_skipped.isEmpty())
        message += QStringLiteral("\n\nSkipped:\n") + m_skipped.join(QLatin1Char('\n'));
    end(message);
}

void SplitCombineBatch::onProgress(int state, quint32 value)
{
    if (state != AudioThread::STATE_PROGRESS)
        --m_outstanding;
    if (m_staleFinals > 0) {
        // Signals of an operation cancelled earlier, up to its final one.
        if (state != AudioThread::STATE_PROGRESS)
            --m_staleFinals;
        return;
    }
    if (!m_running)
        return;
    if (state == AudioThread::STATE_PROGRESS) {
        emit progress(int(value));
        return;
    }
    const Job& job = m_jobs.at(m_index);
    if (state == AudioThread::STATE_DONE) {
        for (const QString& p : job.output.isEmpty() ? job.paths : QStringList{job.output})
            m_written.insert(QFileInfo(p).absoluteFilePath());
    } else if (m_mode == ManualMode) {
        end(kFailed + m_thread->m_errorMsg);
        return;
    } else {
        // A batch reports the take and goes on with the next one.
        skipTake(job.take, m_thread->m_errorMsg);
    }
    ++m_index;
    emit progress(0);
    runNext();
}

void SplitCombineBatch::end(const QString& message)
{
    m_running = false;
    m_jobs.clear();
    m_index = 0;
    emit progress(0);
    emit finished(message);
}
