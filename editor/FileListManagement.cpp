#include "FileListManagement.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "EditTC.h"
#include "TakeColumns.h"
#include "TakeListView.h"
#include "ValueLabel.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTreeView>

using namespace TakeColumns;

namespace
{
// Columns of the take list that are hidden when the editor is created; the
// column menu lets the user show most of them.
const int kHiddenAtStart[] = {
    CurrentName,  Project,   EndTC,       Originator,           OriginatorRef,
    Time,         BitDepth,  Ubits,       SamplesSinceMidnight, TCSampleRate,
    CurrentSpeed, SpeedNote, MasterSpeed, DigitizerRate,        User,
    FileUID,      SWVersion, Path};

// The take list's proxy: sorts without regard to case, centres the
// one-letter flag columns and shows the file name of a damaged take in a
// warning colour (its tooltip, from the model, says what is damaged).
class TakeListProxy : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::TextAlignmentRole && (index.column() == Circled || index.column() == Wild))
            return int(Qt::AlignCenter);
        if (role == Qt::ForegroundRole && index.column() == FileName &&
            !index.data(AudioFileModel::DamageRole).toString().isEmpty())
            return QColor(0xc6, 0x28, 0x28);
        return QSortFilterProxyModel::data(index, role);
    }
};

// Scene and take names become parts of file names: no slash, backslash or
// asterisk, and at least one character.
const char kNamePattern[] = "[^\\\\/*]+";
} // namespace

FileListManagement::FileListManagement(QWidget* parent, TakeSession* session)
    : QWidget(parent), m_session(session), m_model(session->model())
{
    setObjectName(QStringLiteral("FileListManagement"));
    m_ui.setupUi(this);
    setAcceptDrops(true);

    m_proxy = new TakeListProxy(this);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSourceModel(m_model);
    m_ui.treeView->setModel(m_proxy);
    for (int c = 1; c < Count; ++c)
        m_ui.treeView->resizeColumnToContents(c);
    for (int c : kHiddenAtStart)
        m_ui.treeView->setColumnHidden(c, true);

    createActions();
    createColumnContextMenu();

    m_trackModel = new QStandardItemModel(0, int(AudioFileModel::trackHeadersList.size()), this);
    m_trackModel->setHorizontalHeaderLabels(AudioFileModel::trackHeadersList);
    m_trackProxy = new QSortFilterProxyModel(this);
    m_trackProxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_trackProxy->setSourceModel(m_trackModel);
    m_ui.TreeViewTracks->setModel(m_trackProxy);
    m_ui.TreeViewTracks->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_syncPointModel =
        new QStandardItemModel(0, int(AudioFileModel::syncPointsHeadersList.size()), this);
    m_syncPointModel->setHorizontalHeaderLabels(AudioFileModel::syncPointsHeadersList);
    m_ui.TreeViewSyncPoints->setModel(m_syncPointModel);

    for (const QString& rate : AudioFile::m_userPresentation)
        m_ui.comboBox_FrameRate->addItem(rate);
    for (int rate : AudioFile::m_sampleRates)
        m_ui.comboBox_SampleRate->addItem(QString::number(rate));
    m_ui.comboBox_SampleRate->setEditable(true);
    m_ui.checkBox_PreserveStartTC->setChecked(true);

    const QRegularExpression names(QString::fromLatin1(kNamePattern));
    m_ui.Scene->setValidator(new QRegularExpressionValidator(names, m_ui.Scene));
    m_ui.Take->setValidator(new QRegularExpressionValidator(names, m_ui.Take));

    m_editTC = new EditTC(m_ui.pushButton_EditTC);

    connectForm();
    cleanupPage0();
    cleanupPage1();
    m_ui.stackedWidget->setCurrentIndex(0);
    m_ui.PageNumber->setText(QStringLiteral("(%1 of %2)").arg(1).arg(m_ui.stackedWidget->count()));
    InitModifyFlags();

    // Every take button but Import starts disabled; Save waits only for its command.
    m_wanted[m_ui.Save] = true;
    setButtonsEnabled(false);
    setStopEnabled(false);
    for (Command c : {Command::Save, Command::Rename, Command::CopyTo, Command::RateChange,
                      Command::EditTimecode})
        m_available[c] = true;
    applyAllGated();
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
    const FileListManagementForm& f = m_ui;
    connect(f.pushButton_Import, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Import_clicked);
    connect(f.pushButton_Clear, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Clear_clicked);
    connect(f.pushButton_Delete, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Delete_clicked);
    connect(f.pushButton_Play, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Play_clicked);
    connect(f.pushButton_Stop, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Stop_clicked);
    connect(f.pushButton_Reports, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_Reports_clicked);
    connect(f.pushButton_SpltCombine, &QPushButton::clicked, this,
            &FileListManagement::on_pushButton_SpltCombine_clicked);
    connect(f.MoreInfo, &QPushButton::clicked, this, &FileListManagement::on_MoreInfo_clicked);

    connect(f.treeView, &QTreeView::doubleClicked, this,
            &FileListManagement::on_treeView_doubleClicked);
    connect(f.treeView, &QWidget::customContextMenuRequested, this,
            &FileListManagement::on_treeView_customContextMenuRequested);
    connect(f.treeView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListManagement::on_selectionChanged);

    connect(m_session, &TakeSession::importStarted, this, &FileListManagement::on_importStarted);
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

    bool rateEdited = false;
    bool nameEdited = false;
    if (m_currentIndex.isValid() && IsEdited(rateEdited, nameEdited)) {
        QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                        tr("You have made changes to the metadata.\nYou must click 'Save' for "
                           "these changes to be implemented.\n Click button below to discard "
                           "changes, or click 'OK' to return to take editing."),
                        QMessageBox::Ok | QMessageBox::Discard, this);
        box.setDefaultButton(QMessageBox::Discard);
        // Closing the box without choosing keeps the edits: only an explicit
        // Discard throws them away.
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        if (box.clickedButton() != box.button(QMessageBox::Discard)) {
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
        restoreCurrent(m_currentIndex);
        InitModifyFlags();
        m_notesArmed = false;
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
    const bool single = m_ui.treeView->selectionModel()->selectedRows().size() < 2;
    m_ui.Take->setEnabled(single);
    setWanted(m_ui.pushButton_EditTC, single);
}

void FileListManagement::emitIndexChanged()
{
    QList<QModelIndex> selected;
    selectedIndexes(selected);
    m_session->setCurrentTake(currentModelIndex(), selected);
    emit FileListIndexChanged(currentModelIndex(), selected);
}

void FileListManagement::selectedIndexes(QList<QModelIndex>& list) const
{
    list.clear();
    for (const QModelIndex& index : m_ui.treeView->selectionModel()->selectedRows())
        list << m_proxy->mapToSource(index);
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
    if (m_currentIndex != QPersistentModelIndex(index)) {
        bool rateEdited = false;
        bool nameEdited = false;
        if (!IsEdited(rateEdited, nameEdited)) {
            m_currentIndex = index;
            updateCurrent();
            updateTakeFieldsForSelection();
            emitIndexChanged();
        }
    }
}

void FileListManagement::updateCurrent()
{
    const bool playing = m_playingIndex.isValid() && m_playingIndex == m_currentIndex;
    setPlaybackLock(playing);
    cleanupPage0();
    cleanupPage1();
    setupPage0();
    setupPage1();
}

int FileListManagement::currentRow() const
{
    if (!m_model || !m_currentIndex.isValid())
        return -1;
    return m_proxy->mapToSource(m_currentIndex).row();
}

QString FileListManagement::cell(int row, int column) const
{
    return m_model->data(m_model->index(row, column)).toString();
}

// --- Page 0 ---------------------------------------------------------------

void FileListManagement::setupPage0()
{
    const int row = currentRow();
    if (row < 0)
        return;
    FileListManagementForm& f = m_ui;
    f.FileName->setText(cell(row, CurrentName));
    f.Channels->setText(cell(row, Channels));
    f.Project->setText(cell(row, Project));
    f.Tape->setText(cell(row, Tape));
    f.Scene->setText(cell(row, Scene));
    f.Take->setText(cell(row, Take));
    f.StartTC->setText(cell(row, StartTC));
    f.Duration->setText(cell(row, Length));
    f.checkBox_Circled->setChecked(cell(row, Circled) == QLatin1String("Y"));
    f.checkBox_WildTrack->setChecked(cell(row, Wild) == QLatin1String("Y"));
    f.BitDepth->setText(cell(row, BitDepth));
    f.UBits->setText(cell(row, Ubits));
    // Long values show their beginning, not their end.
    for (QLineEdit* e : {f.Project, f.Tape, f.Scene, f.Take, f.UBits})
        e->setCursorPosition(0);
    f.label_SampleStamp->setText(cell(row, SamplesSinceMidnight));
    f.TimeCodeSampleRate->setText(cell(row, TCSampleRate));
    f.DigitizerSampleRate->setText(cell(row, DigitizerRate));
    {
        // Showing a take is not an edit: no change handler may see it.
        const QSignalBlocker blockRate(f.comboBox_SampleRate);
        const QSignalBlocker blockFrames(f.comboBox_FrameRate);
        const QSignalBlocker blockNotes(f.Notes);
        const QString rate = cell(row, SampleRate);
        const int rateIndex = f.comboBox_SampleRate->findText(rate, Qt::MatchFixedString);
        f.comboBox_SampleRate->setCurrentIndex(rateIndex);
        if (rateIndex < 0 && f.comboBox_SampleRate->isEditable())
            f.comboBox_SampleRate->setEditText(rate);
        f.comboBox_FrameRate->setCurrentIndex(
            f.comboBox_FrameRate->findText(cell(row, FrameRate), Qt::MatchFixedString));
        f.Notes->setPlainText(cell(row, Notes));
    }
    m_notesArmed = false;
    setupTracks();
}

void FileListManagement::setupTracks()
{
    m_trackModel->removeRows(0, m_trackModel->rowCount());
    const int row = currentRow();
    if (row < 0)
        return;
    const int width = int(AudioFileModel::trackHeadersList.size());
    for (const QStringList& track : m_model->trackInfo(row)) {
        QList<QStandardItem*> items;
        if (track.size() != width) {
            for (int c = 0; c < width; ++c) {
                items << new QStandardItem;
                items.last()->setEditable(false);
            }
        } else {
            auto* channel = new QStandardItem;
            // A number, so that channel 10 sorts after channel 9.
            channel->setData(track.at(0).toInt(), Qt::DisplayRole);
            channel->setEditable(false);
            auto* interleave = new QStandardItem(track.at(1));
            interleave->setEditable(false);
            items << channel << interleave << new QStandardItem(track.at(2))
                  << new QStandardItem(track.at(3));
        }
        m_trackModel->appendRow(items);
    }
    m_ui.TreeViewTracks->sortByColumn(0, Qt::DescendingOrder);
    m_ui.TreeViewTracks->sortByColumn(0, Qt::AscendingOrder);
}

void FileListManagement::cleanupPage0()
{
    FileListManagementForm& f = m_ui;
    for (ValueLabel* l : {f.FileName, f.Channels, f.StartTC, f.Duration, f.BitDepth,
                          f.label_SampleStamp, f.TimeCodeSampleRate, f.DigitizerSampleRate})
        l->clear();
    for (QLineEdit* e : {f.Project, f.Tape, f.Scene, f.Take, f.UBits})
        e->clear();
    f.checkBox_Circled->setChecked(false);
    f.checkBox_WildTrack->setChecked(false);
    {
        const QSignalBlocker blockRate(f.comboBox_SampleRate);
        const QSignalBlocker blockFrames(f.comboBox_FrameRate);
        const QSignalBlocker blockNotes(f.Notes);
        f.comboBox_SampleRate->setCurrentIndex(-1);
        f.comboBox_SampleRate->setEditText(QString());
        f.comboBox_FrameRate->setCurrentIndex(-1);
        f.Notes->clear();
    }
    m_trackModel->removeRows(0, m_trackModel->rowCount());
    m_notesArmed = false;
}

// --- Page 1 ---------------------------------------------------------------

void FileListManagement::setupPage1()
{
    const int row = currentRow();
    if (row < 0) {
        cleanupPage1();
        return;
    }
    FileListManagementForm& f = m_ui;
    f.Originator->setText(cell(row, Originator));
    f.OriginatorReference->setText(cell(row, OriginatorRef));
    f.OriginatorDate->setText(cell(row, Date));
    f.OriginatorTime->setText(cell(row, Time));
    f.SoftwareVersion->setText(cell(row, SWVersion));
    {
        const QSignalBlocker blockUser(f.UserInfo);
        f.UserInfo->setPlainText(cell(row, User));
    }
    setupHistory();
    setupFileSet();
    setupSyncPoints();
}

void FileListManagement::setupHistory()
{
    const QStringList history = m_model->historyInfo(currentRow());
    if (history.size() != AudioFileModel::historyHeadersList.size())
        return;
    m_ui.OriginalName->setText(history.at(0));
    m_ui.ParentName->setText(history.at(1));
    m_ui.ParentUID->setText(history.at(2));
}

void FileListManagement::setupFileSet()
{
    const QStringList fileSet = m_model->fileSetInfo(currentRow());
    if (fileSet.size() != AudioFileModel::fileSetHeadersList.size())
        return;
    m_ui.TotalFiles->setText(fileSet.at(0));
    m_ui.FamilyUID->setText(fileSet.at(1));
    m_ui.FamilyName->setText(fileSet.at(2));
    m_ui.FileSetIndex->setText(fileSet.at(3));
}

void FileListManagement::setupSyncPoints()
{
    m_syncPointModel->removeRows(0, m_syncPointModel->rowCount());
    for (const QStringList& point : m_model->syncPointInfo(currentRow())) {
        QList<QStandardItem*> items;
        for (int c = 0; c < AudioFileModel::syncPointsHeadersList.size(); ++c) {
            items << new QStandardItem(point.value(c));
            items.last()->setEditable(false);
        }
        m_syncPointModel->appendRow(items);
    }
}

void FileListManagement::cleanupPage1()
{
    FileListManagementForm& f = m_ui;
    for (ValueLabel* l : {f.Originator, f.OriginatorReference, f.OriginatorDate, f.OriginatorTime,
                          f.SoftwareVersion, f.OriginalName, f.ParentName, f.ParentUID,
                          f.TotalFiles, f.FamilyUID, f.FamilyName, f.FileSetIndex})
        l->clear();
    {
        const QSignalBlocker blockUser(f.UserInfo);
        f.UserInfo->clear();
    }
    m_syncPointModel->removeRows(0, m_syncPointModel->rowCount());
}

void FileListManagement::on_MoreInfo_clicked()
{
    const int count = m_ui.stackedWidget->count();
    const int next = (m_ui.stackedWidget->currentIndex() + 1) % count;
    m_ui.stackedWidget->setCurrentIndex(next);
    m_ui.PageNumber->setText(QStringLiteral("(%1 of %2)").arg(next + 1).arg(count));
}
