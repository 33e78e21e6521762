// Field edits of the current take, the modify flags and the revert.
#include "FileListManagement.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeFolderCache.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QTextEdit>
#include <QTreeView>

using namespace TakeColumns;

namespace
{
} // namespace

void FileListManagement::InitModifyFlags()
{
    m_session->clearEdits();
    // Without edits there is nothing a failed save could have left pending.
    m_writtenFiles.clear();
}

bool FileListManagement::IsEdited(bool& rateEdited, bool& nameEdited) const
{
    auto flag = [this](TakeField f) { return m_session->isEdited(f); };
    if (flag(TakeField::FrameRate) || flag(TakeField::SampleRate))
        rateEdited = true;
    if (flag(TakeField::Scene) || flag(TakeField::Take))
        nameEdited = true;
    return m_session->editedFields() != TakeFields();
}

void FileListManagement::editCell(int column, TakeField flag, const QString& text)
{
    const int row = currentRow();
    if (row < 0 || text == cell(row, column))
        return;
    setCell(row, column, text);
    m_session->markEdited(flag);
}

void FileListManagement::editCheck(int column, TakeField flag, bool checked)
{
    editCell(column, flag, checked ? QStringLiteral("Y") : QStringLiteral(" "));
}

void FileListManagement::on_Scene_textEdited(const QString& text)
{
    editCell(Scene, TakeField::Scene, text);
}

void FileListManagement::on_Take_textEdited(const QString& text)
{
    editCell(Take, TakeField::Take, text);
}

void FileListManagement::on_Project_textEdited(const QString& text)
{
    editCell(Project, TakeField::Project, text);
}

void FileListManagement::on_Tape_textEdited(const QString& text)
{
    editCell(Tape, TakeField::Tape, text);
}

void FileListManagement::on_UBits_textEdited(const QString& text)
{
    editCell(Ubits, TakeField::Ubits, text);
}

void FileListManagement::on_Notes_textChanged()
{
    // Filling the editor from the model is not an edit: only text changed
    // after the user has put the cursor into the notes counts.
    if (!m_notesArmed)
        return;
    editCell(Notes, TakeField::Notes, m_ui.Notes->toPlainText());
}

void FileListManagement::on_Notes_cursorPositionChanged()
{
    m_notesArmed = true;
}

void FileListManagement::on_UserInfo_textChanged()
{
    editCell(User, TakeField::UserInfo, m_ui.UserInfo->toPlainText());
}

void FileListManagement::on_checkBox_Circled_clicked(bool checked)
{
    editCheck(Circled, TakeField::Circled, checked);
}

void FileListManagement::on_checkBox_WildTrack_clicked(bool checked)
{
    editCheck(Wild, TakeField::Wild, checked);
}

void FileListManagement::on_commitDataTrackName(QWidget* editor)
{
    const int row = currentRow();
    if (!editor || row < 0)
        return;
    // The view has stored the editor's text in the track model already: its
    // own commitData connection was made before this one.
    for (int r = 0; r < m_trackProxy->rowCount(); ++r) {
        const int channel = m_trackProxy->index(r, 0).data().toInt();
        m_model->setTrackName(row, channel, m_trackProxy->index(r, 2).data().toString());
        m_model->setTrackFunction(row, channel, m_trackProxy->index(r, 3).data().toString());
    }
    m_session->markEdited(TakeField::Tracks);
    m_session->notifyTracksChanged(currentModelIndex());
    emit updateTracks(currentModelIndex());
}

void FileListManagement::restoreCurrent(const QModelIndex& index)
{
    if (!m_model || !index.isValid())
        return;
    const QModelIndex source =
        index.model() == m_proxy ? m_proxy->mapToSource(index) : QModelIndex(index);
    const int row = source.row();
    if (row < 0 || row >= m_model->rowCount())
        return;
    AudioFile file;
    if (!file.Open(cell(row, Path)))
        return;
    auto flagged = [this](TakeField f) { return m_session->isEdited(f); };
    auto restoreTimes = [&] {
        setCell(row, StartTC, file.GetTCStart());
        setCell(row, Length, file.GetDuration());
        setCell(row, EndTC, file.GetTCEnd());
    };
    if (flagged(TakeField::FrameRate)) {
        setCell(row, FrameRate, file.GetFrameRate());
        restoreTimes();
        setCell(row, MasterSpeed, file.GetMasterSpeed());
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
    if (flagged(TakeField::Project))
        setCell(row, Project, file.GetProjectName());
    if (flagged(TakeField::Scene))
        setCell(row, Scene, file.GetSceneName());
    if (flagged(TakeField::Tape))
        setCell(row, Tape, file.GetTapeName());
    if (flagged(TakeField::Take)) {
        setCell(row, Take, file.GetTakeName());
        setCell(row, Wild, file.GetWild());
    }
    if (flagged(TakeField::Ubits))
        setCell(row, Ubits, file.GetUBITs());
    if (flagged(TakeField::Notes))
        setCell(row, Notes, file.GetNotes());
    if (flagged(TakeField::UserInfo))
        setCell(row, User, file.GetUserInfo());
    if (flagged(TakeField::Circled))
        setCell(row, Circled, file.GetCircled());
    if (flagged(TakeField::Wild))
        setCell(row, Wild, file.GetWild());
    if (flagged(TakeField::Tracks)) {
        QStringList takeFiles;
        QString name;
        KQHelper::getTakeFiles(m_session->folderCache(), &file, takeFiles, name);
        m_model->setTrackInfo(row, AudioFileModel::getTracks(takeFiles));
        if (row == currentRow())
            setupTracks();
    }
}
