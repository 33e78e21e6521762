// Field edits of the current take, the modify flags and the revert.
#include "FileListManagement.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QTextEdit>
#include <QTreeView>

using namespace TakeColumns;

namespace
{
const char* const kFlagKeys[] = {
    "FrameRate", "SampleRate", "Project", "Scene", "Take",     "Tape",   "FileName",
    "Ubits",     "Circled",    "Wild",    "Notes", "UserInfo", "Tracks", "SamplesSinceMidnight"};
} // namespace

void FileListManagement::InitModifyFlags()
{
    m_modifyFlags.clear();
    // Without edits there is nothing a failed save could have left pending.
    m_writtenFiles.clear();
    for (const char* key : kFlagKeys)
        m_modifyFlags.insert(QLatin1String(key), false);
}

bool FileListManagement::IsEdited(bool& rateEdited, bool& nameEdited) const
{
    auto flag = [this](const char* key) { return m_modifyFlags.value(QLatin1String(key)); };
    if (flag("FrameRate") || flag("SampleRate"))
        rateEdited = true;
    if (flag("Scene") || flag("Take"))
        nameEdited = true;
    for (bool set : m_modifyFlags) {
        if (set)
            return true;
    }
    return false;
}

void FileListManagement::editCell(int column, const QString& flag, const QString& text)
{
    const int row = currentRow();
    if (row < 0 || text == cell(row, column))
        return;
    setCell(row, column, text);
    m_modifyFlags[flag] = true;
}

void FileListManagement::editCheck(int column, const QString& flag, bool checked)
{
    editCell(column, flag, checked ? QStringLiteral("Y") : QStringLiteral(" "));
}

void FileListManagement::on_Scene_textEdited(const QString& text)
{
    editCell(Scene, QStringLiteral("Scene"), text);
}

void FileListManagement::on_Take_textEdited(const QString& text)
{
    editCell(Take, QStringLiteral("Take"), text);
}

void FileListManagement::on_Project_textEdited(const QString& text)
{
    editCell(Project, QStringLiteral("Project"), text);
}

void FileListManagement::on_Tape_textEdited(const QString& text)
{
    editCell(Tape, QStringLiteral("Tape"), text);
}

void FileListManagement::on_UBits_textEdited(const QString& text)
{
    editCell(Ubits, QStringLiteral("Ubits"), text);
}

void FileListManagement::on_Notes_textChanged()
{
    // Filling the editor from the model is not an edit: only text changed
    // after the user has put the cursor into the notes counts.
    if (!m_notesArmed)
        return;
    editCell(Notes, QStringLiteral("Notes"), m_ui.Notes->toPlainText());
}

void FileListManagement::on_Notes_cursorPositionChanged()
{
    m_notesArmed = true;
}

void FileListManagement::on_UserInfo_textChanged()
{
    editCell(User, QStringLiteral("UserInfo"), m_ui.UserInfo->toPlainText());
}

void FileListManagement::on_checkBox_Circled_clicked(bool checked)
{
    editCheck(Circled, QStringLiteral("Circled"), checked);
}

void FileListManagement::on_checkBox_WildTrack_clicked(bool checked)
{
    editCheck(Wild, QStringLiteral("Wild"), checked);
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
    m_modifyFlags[QStringLiteral("Tracks")] = true;
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
    auto flagged = [this](const char* key) { return m_modifyFlags.value(QLatin1String(key)); };
    auto restoreTimes = [&] {
        setCell(row, StartTC, file.GetTCStart());
        setCell(row, Length, file.GetDuration());
        setCell(row, EndTC, file.GetTCEnd());
    };
    if (flagged("FrameRate")) {
        setCell(row, FrameRate, file.GetFrameRate());
        restoreTimes();
        setCell(row, MasterSpeed, file.GetMasterSpeed());
    }
    if (flagged("SampleRate")) {
        setCell(row, SampleRate, QString::number(file.GetSampleRate()));
        setCell(row, TCSampleRate, file.GetTimeStampSampleRate());
        restoreTimes();
    }
    if (flagged("SamplesSinceMidnight")) {
        setCell(row, SamplesSinceMidnight, file.GetSamplesSinceMidnight());
        setCell(row, StartTC, file.GetTCStart());
    }
    if (flagged("Project"))
        setCell(row, Project, file.GetProjectName());
    if (flagged("Scene"))
        setCell(row, Scene, file.GetSceneName());
    if (flagged("Tape"))
        setCell(row, Tape, file.GetTapeName());
    if (flagged("Take")) {
        setCell(row, Take, file.GetTakeName());
        setCell(row, Wild, file.GetWild());
    }
    if (flagged("Ubits"))
        setCell(row, Ubits, file.GetUBITs());
    if (flagged("Notes"))
        setCell(row, Notes, file.GetNotes());
    if (flagged("UserInfo"))
        setCell(row, User, file.GetUserInfo());
    if (flagged("Circled"))
        setCell(row, Circled, file.GetCircled());
    if (flagged("Wild"))
        setCell(row, Wild, file.GetWild());
    if (flagged("Tracks")) {
        QStringList takeFiles;
        QString name;
        KQHelper::getTakeFiles(&file, takeFiles, name);
        m_model->setTrackInfo(row, AudioFileModel::getTracks(takeFiles));
        if (row == currentRow())
            setupTracks();
    }
}
