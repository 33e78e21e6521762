#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "EditorQuestions.h"
#include "ImportProgress.h"
#include "RateControls.h"
#include "TakeColumns.h"
#include "TakeEditState.h"
#include "TakeListProxy.h"
#include "TakeListView.h"
#include "TakePages.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTreeView>

using namespace TakeColumns;

FileListManagement::FileListManagement(QWidget* parent, TakeSession* session)
    : QWidget(parent), m_session(session), m_model(session->model())
{
    setObjectName(QStringLiteral("FileListManagement"));
    m_ui.setupUi(this);
    setAcceptDrops(true);

    m_proxy = new TakeListProxy(session, this);
    m_ui.treeView->setModel(m_proxy);
    m_ui.treeView->setupColumns();

    m_pages = new TakePages(m_ui, m_model, this);
    m_trackProxy = m_pages->trackProxy();
    m_importProgress = new ImportProgress(m_session, this);
    // Above the pages: with several takes selected, what an edit does.
    m_selectionNote = new QLabel(this);
    m_selectionNote->setObjectName(QStringLiteral("selectionNote"));
    m_selectionNote->setWordWrap(true);
    m_selectionNote->hide();
    if (auto* column = qobject_cast<QBoxLayout*>(m_ui.stackedWidget->parentWidget()->layout()))
        column->insertWidget(0, m_selectionNote);

    connectForm();
    m_pages->show(-1);
    m_session->clearEdits();

    // Every take button but Import starts disabled; Save waits only for its
    // command; playback, reports and split/combine until someone provides them.
    TakeCommands* commands = m_session->commands();
    connect(commands, &TakeCommands::enabledChanged, this, &FileListManagement::onControlEnabled);
    for (Control c : {Control::Save, Control::Rename, Control::CopyTo, Control::RateBoxes,
                      Control::EditTimecode, Control::Play, Control::Stop, Control::Reports,
                      Control::SplitCombine, Control::Clear, Control::Delete})
        onControlEnabled(c, commands->isEnabled(c));
    commands->setTakesListed(false);
}

EditTC* FileListManagement::timecodeEditor() const
{
    return m_rates->timecodeEditor();
}

FileListManagement::~FileListManagement()
{
    // Children still emit while the base class destroys them (an open track
    // editor commits its text when its window closes); none of that may reach
    // this half-destroyed editor.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
}

void FileListManagement::connectForm()
{
    const TakeEditorForm& f = m_ui;
    connect(f.pushButton_Import, &QPushButton::clicked, this,
            &FileListManagement::startImportAction);
    connect(f.pushButton_Clear, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Clear_clicked);
    connect(f.pushButton_Delete, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Delete_clicked);
    connect(f.pushButton_Play, &QPushButton::clicked, this,
            [this] { m_session->requestPlay(currentModelIndex()); });
    connect(f.pushButton_Stop, &QPushButton::clicked, this, [this] {
        m_session->requestStop();
        m_ui.pushButton_Play->setText(tr("Play"));
    });
    connect(f.pushButton_Reports, &QPushButton::clicked, this, &FileListManagement::startReports);
    connect(f.pushButton_SpltCombine, &QPushButton::clicked, this,
            &FileListManagement::startSplitCombine);
    connect(f.MoreInfo, &QPushButton::clicked, m_pages, &TakePages::nextPage);

    connect(f.treeView, &QTreeView::doubleClicked, this,
            &FileListManagement::on_treeView_doubleClicked);
    connect(f.treeView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListManagement::on_selectionChanged);

    connect(m_session, &TakeSession::takesAboutToBeAdded, this,
            &FileListManagement::on_takesAboutToBeAdded);
    connect(m_session, &TakeSession::importFinished, this, &FileListManagement::on_importFinished);

    // Field edits, rate changes and the timecode editor; save, rename, copy.
    connectEdits();
    connectJobs();
}

// --- Selection and the current take ---------------------------------------

void FileListManagement::on_selectionChanged(const QItemSelection&, const QItemSelection&)
{
    if (!m_model || m_removingRows)
        return;
    const QModelIndexList rows = m_ui.treeView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    if (m_skipNextSelection) {
        m_skipNextSelection = false;
        return;
    }

    if (m_currentIndex.isValid() && m_session->hasUnsavedEdits()) {
        // Only an explicit Discard throws the edits away.
        if (!EditorQuestions::discardOnMove(this)) {
            m_notesArmed = false;
            m_skipNextSelection = true;
            QItemSelectionModel* selection = m_ui.treeView->selectionModel();
            selection->clearSelection();
            selection->setCurrentIndex(m_currentIndex, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
            // When the reselection changed nothing, no selection is left to skip.
            m_skipNextSelection = false;
            return;
        }
        m_session->discardEdits();
        m_skipNextSelection = false;
    }

    m_currentIndex = m_ui.treeView->selectionModel()->selectedRows().last();
    m_notesArmed = false;
    updateCurrent();
    updateTakeFieldsForSelection();
    emitIndexChanged();
}

void FileListManagement::updateTakeFieldsForSelection()
{
    // A take name and a start timecode belong to one take only.
    const int selected = int(m_ui.treeView->selectionModel()->selectedRows().size());
    m_ui.Take->setEnabled(selected < 2);
    setWanted(Control::EditTimecode, selected < 2);
    m_selectionNote->setText(
        tr("%1 takes selected: a change applies to all of them").arg(selected));
    m_selectionNote->setVisible(selected > 1);
}

void FileListManagement::emitIndexChanged()
{
    QList<QModelIndex> selected;
    for (const QModelIndex& index : m_ui.treeView->selectionModel()->selectedRows())
        selected << m_proxy->mapToSource(index);
    m_session->setCurrentTake(currentModelIndex(), selected);
}

QModelIndex FileListManagement::currentModelIndex() const
{
    return m_currentIndex.isValid() ? m_proxy->mapToSource(m_currentIndex) : QModelIndex();
}

void FileListManagement::selectViewRow(int viewRow)
{
    const QModelIndex index = m_proxy->index(viewRow, 0);
    if (!index.isValid())
        return;
    QItemSelectionModel* selection = m_ui.treeView->selectionModel();
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The row may have been selected already, which changes no selection and
    // so does not reach on_selectionChanged.
    if (m_currentIndex != QPersistentModelIndex(index) && !m_session->hasUnsavedEdits()) {
        m_currentIndex = index;
        updateCurrent();
        updateTakeFieldsForSelection();
        emitIndexChanged();
    }
}

void FileListManagement::updateCurrent()
{
    const int playing = m_session->playingRow();
    m_session->commands()->setPlaybackLocked(playing >= 0 && playing == currentRow());
    m_pages->show(currentRow());
    m_notesArmed = false;
}

int FileListManagement::currentRow() const
{
    if (!m_model || !m_currentIndex.isValid())
        return -1;
    return m_proxy->mapToSource(m_currentIndex).row();
}

// --- Field edits: into the session's edit state; files change on save ----

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
    // The view has stored the editor's text in the track model already: its
    // own commitData connection was made before this one.
    connect(f.TreeViewTracks->itemDelegate(), &QAbstractItemDelegate::commitData, this,
            &FileListManagement::commitTracks);
    connect(f.checkBox_PreserveStartTC, &QCheckBox::toggled, m_session,
            &TakeSession::setPreserveStartTC);
    m_rates = new RateControls(m_ui, m_session, this);
}

void FileListManagement::commitTracks()
{
    QList<QStringList> tracks;
    for (int r = 0; r < m_trackProxy->rowCount(); ++r) {
        QStringList track;
        for (int c = 0; c < 4; ++c)
            track << m_trackProxy->index(r, c).data().toString();
        tracks << track;
    }
    m_session->editState().setTracks(tracks);
}
