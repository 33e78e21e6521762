// Field edits of the current take, the revert, the rate boxes and the
// timecode editor: the widgets' values go to the session's edit state
// (TakeEditState), which changes the model and the edited fields; the files
// change only when the edits are saved.
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "RateControls.h"
#include "TakeColumns.h"
#include "TakeEditState.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QTextEdit>
#include <QTreeView>

using namespace TakeColumns;

void FileListManagement::connectEdits()
{
    const TakeEditorForm& f = m_ui;
    TakeEditState& s = m_session->editState();
    const auto line = [this, &s](QLineEdit* e, int column, TakeField field) {
        connect(e, &QLineEdit::textEdited, this,
                [&s, column, field](const QString& text) { s.edit(column, field, text); });
    };
    line(f.Scene, Scene, TakeField::Scene);
    line(f.Take, Take, TakeField::Take);
    line(f.Project, Project, TakeField::Project);
    line(f.Tape, Tape, TakeField::Tape);
    line(f.UBits, Ubits, TakeField::Ubits);
    const auto check = [this, &s](QCheckBox* box, int column, TakeField field) {
        connect(box, &QCheckBox::clicked, this, [&s, column, field](bool on) {
            s.edit(column, field, on ? QStringLiteral("Y") : QStringLiteral(" "));
        });
    };
    check(f.checkBox_Circled, Circled, TakeField::Circled);
    check(f.checkBox_WildTrack, Wild, TakeField::Wild);
    connect(f.Notes, &QPlainTextEdit::textChanged, this, [this, &s] {
        // Filling the editor from the model is not an edit: only text changed
        // after the user has put the cursor into the notes counts.
        if (m_notesArmed)
            s.edit(Notes, TakeField::Notes, m_ui.Notes->toPlainText());
    });
    connect(f.Notes, &QPlainTextEdit::cursorPositionChanged, this, [this] { m_notesArmed = true; });
    connect(f.UserInfo, &QTextEdit::textChanged, this,
            [this, &s] { s.edit(User, TakeField::UserInfo, m_ui.UserInfo->toPlainText()); });
    connect(f.TreeViewTracks->itemDelegate(), &QAbstractItemDelegate::commitData, this,
            &FileListManagement::on_commitDataTrackName);
    m_rates = new RateControls(m_ui, m_session, this);
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
}
