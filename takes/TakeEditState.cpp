#include "TakeEditState.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeLabel.h"
#include "TakeSession.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

using namespace TakeColumns;

TakeEditState::TakeEditState(TakeSession& session) : m_session(session) {}

QString TakeEditState::cell(int row, int column) const
{
    const AudioFileModel* m = m_session.model();
    return m->data(m->index(row, column)).toString();
}

void TakeEditState::setCell(int row, int column, const QString& value)
{
    AudioFileModel* m = m_session.model();
    m->setData(m->index(row, column), value, Qt::EditRole);
}

bool TakeEditState::flagged(TakeField field) const
{
    return m_session.isEdited(field);
}

bool TakeEditState::edit(int column, TakeField field, const QString& text)
{
    const int row = m_session.currentRow();
    if (row < 0 || text == cell(row, column))
        return false;
    setCell(row, column, text);
    m_session.markEdited(field);
    return true;
}

bool TakeEditState::isEdited(bool& rateEdited, bool& nameEdited) const
{
    if (flagged(TakeField::FrameRate) || flagged(TakeField::SampleRate))
        rateEdited = true;
    if (flagged(TakeField::Scene) || flagged(TakeField::Take))
        nameEdited = true;
    return m_session.editedFields() != TakeFields();
}

bool TakeEditState::restore(int row)
{
    AudioFileModel* model = m_session.model();
    if (row < 0 || row >= model->rowCount())
        return false;
    AudioFile file;
    if (!file.Open(cell(row, Path)))
        return false;
    auto restoreTimes = [&] {
        setCell(row, StartTC, file.GetTCStart());
        setCell(row, Length, file.GetDuration());
        setCell(row, EndTC, file.GetTCEnd());
    };
    if (flagged(TakeField::FrameRate)) {
        setCell(row, FrameRate, file.GetFrameRate());
        restoreTimes();
        // The list shows the master speed in the frame rate's user form.
        setCell(row, MasterSpeed, file.GetFrameRate());
    }
    if (flagged(TakeField::SampleRate)) {
        setCell(row, SampleRate, QString::number(file.GetSampleRate()));
        setCell(row, TCSampleRate, file.GetTimeStampSampleRate());
        restoreTimes();
    }
    if (flagged(TakeField::SamplesSinceMidnight)) {
        setCell(row, SamplesSinceMidnight, file.GetSamplesSinceMidnight());
        setCell(row, StartTC, file.GetTCStart());
    }
    const std::pair<TakeField, std::pair<int, QString>> plain[] = {
        {TakeField::Project, {Project, file.GetProjectName()}},
        {TakeField::Scene, {Scene, file.GetSceneName()}},
        {TakeField::Tape, {Tape, file.GetTapeName()}},
        {TakeField::Take, {Take, file.GetTakeName()}},
        {TakeField::Take, {Wild, file.GetWild()}},
        {TakeField::Ubits, {Ubits, file.GetUBITs()}},
        {TakeField::Notes, {Notes, file.GetNotes()}},
        {TakeField::UserInfo, {User, file.GetUserInfo()}},
        {TakeField::Circled, {Circled, file.GetCircled()}},
        {TakeField::Wild, {Wild, file.GetWild()}},
    };
    for (const auto& [field, value] : plain) {
        if (flagged(field))
            setCell(row, value.first, value.second);
    }
    if (flagged(TakeField::Tracks)) {
        QStringList takeFiles;
        QString name;
        KQHelper::getTakeFiles(m_session.folderCache(), &file, takeFiles, name);
        model->setTrackInfo(row, AudioFileModel::getTracks(takeFiles));
    }
    return true;
}

TakeEdits TakeEditState::editsForRow(int row, bool multi) const
{
    TakeEdits e;
    const std::pair<TakeField, std::pair<std::optional<QString> TakeEdits::*, int>> plain[] = {
        {TakeField::FrameRate, {&TakeEdits::frameRate, FrameRate}},
        {TakeField::SampleRate, {&TakeEdits::sampleRate, SampleRate}},
        {TakeField::SamplesSinceMidnight, {&TakeEdits::samplesSinceMidnight, SamplesSinceMidnight}},
        {TakeField::Project, {&TakeEdits::project, Project}},
        {TakeField::Scene, {&TakeEdits::scene, Scene}},
        {TakeField::Tape, {&TakeEdits::tape, Tape}},
        {TakeField::Ubits, {&TakeEdits::ubits, Ubits}},
        {TakeField::Notes, {&TakeEdits::notes, Notes}},
        {TakeField::UserInfo, {&TakeEdits::user, User}},
        {TakeField::Circled, {&TakeEdits::circled, Circled}},
        {TakeField::Wild, {&TakeEdits::wild, Wild}},
    };
    for (const auto& [field, target] : plain) {
        if (flagged(field))
            e.*target.first = cell(row, target.second);
    }
    if (flagged(TakeField::Take) && !multi)
        e.take = cell(row, Take);
    const AudioFileModel* model = m_session.model();
    const QList<QStringList>& tracks = model->trackInfo(row);
    const int current = m_session.currentRow();
    if (flagged(TakeField::Tracks) && tracks.size() == model->trackInfo(current).size()) {
        // A polyphonic file takes every record, a mono file of the take the
        // record of its own channel (TakeEdits::applyTo matches channels).
        for (const QStringList& t : tracks) {
            bool ok = false;
            const int channel = t.value(0).toInt(&ok, 10);
            if (!ok || t.size() != 4)
                continue;
            TrackEdit edit;
            edit.channel = channel;
            edit.name = t.at(2);
            edit.function = t.at(3);
            e.tracks.append(edit);
        }
    }
    return e;
}

void TakeEditState::copyEditsTo(int row, bool preserveStartTC)
{
    const int current = m_session.currentRow();
    if (row == current || current < 0)
        return;
    auto copy = [&](int column) { setCell(row, column, cell(current, column)); };
    if (flagged(TakeField::FrameRate))
        copy(FrameRate);
    if (flagged(TakeField::SampleRate))
        copy(SampleRate);
    if (flagged(TakeField::FrameRate) || flagged(TakeField::SampleRate)) {
        AudioFile file;
        if (file.Open(cell(row, Path)))
            retime(file, row, cell(row, FrameRate), cell(row, SampleRate).toInt(nullptr, 10),
                   cell(row, StartTC), preserveStartTC);
    }
    for (const auto& [field, column] : {std::pair<TakeField, int>{TakeField::Project, Project},
                                        {TakeField::Scene, Scene},
                                        {TakeField::Tape, Tape},
                                        {TakeField::Ubits, Ubits},
                                        {TakeField::Notes, Notes},
                                        {TakeField::UserInfo, User},
                                        {TakeField::Circled, Circled},
                                        {TakeField::Wild, Wild}}) {
        if (flagged(field))
            copy(column);
    }
    AudioFileModel* model = m_session.model();
    const QList<QStringList> tracks = model->trackInfo(current);
    if (flagged(TakeField::Tracks) &&
        TakeLabel::parse(cell(row, Channels)).trackCount() == tracks.size()) {
        for (const QStringList& t : tracks) {
            const int channel = t.value(0).toInt();
            model->setTrackName(row, channel, t.value(2));
            model->setTrackFunction(row, channel, t.value(3));
        }
    }
}

int TakeEditState::duplicateOfCurrent() const
{
    const int current = m_session.currentRow();
    if (current < 0)
        return -1;
    const QString scene = cell(current, Scene);
    const QString take = cell(current, Take);
    for (int row = 0; row < m_session.model()->rowCount(); ++row) {
        if (row != current && cell(row, Scene) == scene && cell(row, Take) == take)
            return row;
    }
    return -1;
}

QStringList TakeEditState::takeFiles(int row) const
{
    AudioFile file;
    if (row < 0 || !file.Open(cell(row, Path)))
        return {};
    QStringList files;
    QString name;
    KQHelper::getTakeFiles(m_session.folderCache(), &file, files, name);
    return files;
}

QStringList TakeEditState::filesOf(const QList<int>& rows, QHash<QString, int>* takeOf) const
{
    QStringList files;
    QSet<QString> seen;
    for (int row : rows) {
        for (const QString& f : takeFiles(row)) {
            if (!seen.contains(f)) {
                seen.insert(f);
                files << f;
                if (takeOf)
                    takeOf->insert(f, row);
            }
        }
    }
    return files;
}

bool TakeEditState::setTracks(const QList<QStringList>& tracks)
{
    const int row = m_session.currentRow();
    if (row < 0)
        return false;
    AudioFileModel* model = m_session.model();
    for (const QStringList& t : tracks) {
        const int channel = t.value(0).toInt();
        model->setTrackName(row, channel, t.value(2));
        model->setTrackFunction(row, channel, t.value(3));
    }
    m_session.markEdited(TakeField::Tracks);
    m_session.notifyTracksChanged(m_session.currentTake());
    return true;
}

QVector<TakeSaver::Job> TakeEditState::saveJobs(const QList<int>& rows, bool multi,
                                                bool preserveStartTC, QString* unopened,
                                                QHash<QString, int>* takeOf)
{
    const int current = m_session.currentRow();
    QVector<TakeSaver::Job> jobs;
    QList<int> copied;
    for (int row : rows) {
        const QStringList files = takeFiles(row);
        if (files.isEmpty()) {
            // Nothing has been written: the copies of the edits go again.
            for (int done : std::as_const(copied))
                restore(done);
            if (unopened)
                *unopened = cell(row, Path);
            return {};
        }
        if (multi && row != current) {
            copyEditsTo(row, preserveStartTC);
            copied << row;
        }
        const TakeEdits edits = editsForRow(row, multi);
        for (const QString& f : files) {
            jobs.append({f, edits});
            if (takeOf)
                takeOf->insert(f, row);
        }
    }
    return jobs;
}

QStringList TakeEditState::backupFiles(int row) const
{
    if (row < 0)
        return {};
    const QDir folder(KQHelper::folderOf(cell(row, Path)));
    QStringList backups;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        if (info.fileName().contains(QLatin1String("_updatebackup")))
            backups << info.absoluteFilePath();
    }
    return backups;
}

// --- Rates and timecode ------------------------------------------------------

int TakeEditState::parseRate(const QString& text)
{
    bool ok = false;
    const int rate = text.trimmed().toInt(&ok, 10);
    return ok && rate > 0 ? rate : 0;
}

bool TakeEditState::setSampleRate(const QString& text, const QString& frameRate,
                                  const QString& startTC, bool preserveStartTC)
{
    const int row = m_session.currentRow();
    const int rate = parseRate(text);
    if (row < 0 || rate == 0)
        return false;
    setCell(row, SampleRate, text);
    setCell(row, TCSampleRate, text);
    m_session.markEdited(TakeField::SampleRate);
    AudioFile file;
    if (file.Open(cell(row, Path)))
        retime(file, row, frameRate, rate, startTC, preserveStartTC);
    return true;
}

void TakeEditState::setFrameRate(const QString& text, const QString& sampleRate,
                                 const QString& startTC, bool preserveStartTC)
{
    const int row = m_session.currentRow();
    if (row < 0)
        return;
    setCell(row, FrameRate, text);
    setCell(row, MasterSpeed, text);
    m_session.markEdited(TakeField::FrameRate);
    AudioFile file;
    if (file.Open(cell(row, Path)))
        retime(file, row, text, parseRate(sampleRate), startTC, preserveStartTC);
}

void TakeEditState::retime(AudioFile& file, int row, const QString& frameRate, int sampleRate,
                           const QString& startTC, bool preserveStartTC)
{
    if (sampleRate <= 0)
        return;
    if (!preserveStartTC) {
        setCell(row, StartTC, file.GetTCStart(frameRate, sampleRate));
        setCell(row, Length, file.GetDuration(sampleRate));
        setCell(row, EndTC, file.GetTCEnd(frameRate, sampleRate));
        return;
    }
    const QString samples = file.GetSamplesSinceMidnight(sampleRate, frameRate, startTC);
    if (samples.isEmpty())
        return;
    setCell(row, SamplesSinceMidnight, samples);
    m_session.markEdited(TakeField::SamplesSinceMidnight);
    setCell(row, Length, file.GetDuration(sampleRate));
    setCell(row, EndTC, file.GetTCEnd(samples, frameRate, sampleRate));
}

bool TakeEditState::setStartTimecode(const QString& frameRate, int sampleRate, QString tc)
{
    // A drop-frame timecode separates its frames with ";".
    if (frameRate.contains(QLatin1String("DF"), Qt::CaseInsensitive)) {
        const int colon = tc.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0)
            tc[colon] = QLatin1Char(';');
    }
    const int row = m_session.currentRow();
    if (row < 0 || sampleRate <= 0)
        return false;
    AudioFile file;
    if (!file.Open(cell(row, Path)))
        return false;
    const QString samples = file.GetSamplesSinceMidnight(sampleRate, frameRate, tc);
    if (samples.isEmpty())
        return false;
    setCell(row, SamplesSinceMidnight, samples);
    m_session.markEdited(TakeField::SamplesSinceMidnight);
    setCell(row, StartTC, tc);
    setCell(row, EndTC, file.GetTCEnd(samples, frameRate, sampleRate));
    return true;
}
