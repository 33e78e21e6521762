#include "TakePages.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeEditorForm.h"
#include "ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTreeView>

using namespace TakeColumns;

TakePages::TakePages(TakeEditorForm& form, const AudioFileModel* model, QObject* parent)
    : QObject(parent), m_ui(form), m_model(model),
      m_trackModel(new QStandardItemModel(0, int(AudioFileModel::trackHeadersList.size()), this)),
      m_trackProxy(new QSortFilterProxyModel(this)),
      m_syncPointModel(
          new QStandardItemModel(0, int(AudioFileModel::syncPointsHeadersList.size()), this))
{
    m_trackModel->setHorizontalHeaderLabels(AudioFileModel::trackHeadersList);
    m_trackProxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_trackProxy->setSourceModel(m_trackModel);
    m_ui.TreeViewTracks->setModel(m_trackProxy);
    m_ui.TreeViewTracks->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_syncPointModel->setHorizontalHeaderLabels(AudioFileModel::syncPointsHeadersList);
    m_ui.TreeViewSyncPoints->setModel(m_syncPointModel);

    for (const QString& rate : AudioFile::m_userPresentation)
        m_ui.comboBox_FrameRate->addItem(rate);
    for (int rate : AudioFile::m_sampleRates)
        m_ui.comboBox_SampleRate->addItem(QString::number(rate));
    m_ui.comboBox_SampleRate->setEditable(true);
    m_ui.checkBox_PreserveStartTC->setChecked(true);
    // Scene and take names become parts of file names: no slash, backslash
    // or asterisk, and at least one character.
    const QRegularExpression names(QStringLiteral("[^\\\\/*]+"));
    m_ui.Scene->setValidator(new QRegularExpressionValidator(names, m_ui.Scene));
    m_ui.Take->setValidator(new QRegularExpressionValidator(names, m_ui.Take));
    m_ui.stackedWidget->setCurrentIndex(0);
    m_ui.PageNumber->setText(QStringLiteral("(1 of %1)").arg(m_ui.stackedWidget->count()));
}

void TakePages::show(int row)
{
    m_row = row;
    // Without a take there is nothing to edit.
    m_ui.stackedWidget->setEnabled(row >= 0);
    cleanupPage0();
    cleanupPage1();
    setupPage0();
    setupPage1();
}

void TakePages::nextPage()
{
    const int count = m_ui.stackedWidget->count();
    const int next = (m_ui.stackedWidget->currentIndex() + 1) % count;
    m_ui.stackedWidget->setCurrentIndex(next);
    m_ui.PageNumber->setText(QStringLiteral("(%1 of %2)").arg(next + 1).arg(count));
}

QString TakePages::cell(int row, int column) const
{
    return m_model->data(m_model->index(row, column)).toString();
}

// --- Page 0 ---------------------------------------------------------------

void TakePages::setupPage0()
{
    const int row = m_row;
    if (row < 0)
        return;
    TakeEditorForm& f = m_ui;
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
    setupTracks();
}

void TakePages::setupTracks()
{
    m_trackModel->removeRows(0, m_trackModel->rowCount());
    const int row = m_row;
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

void TakePages::cleanupPage0()
{
    TakeEditorForm& f = m_ui;
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
}

// --- Page 1 ---------------------------------------------------------------

void TakePages::setupPage1()
{
    const int row = m_row;
    if (row < 0) {
        cleanupPage1();
        return;
    }
    TakeEditorForm& f = m_ui;
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

void TakePages::setupHistory()
{
    const QStringList history = m_model->historyInfo(m_row);
    if (history.size() != AudioFileModel::historyHeadersList.size())
        return;
    m_ui.OriginalName->setText(history.at(0));
    m_ui.ParentName->setText(history.at(1));
    m_ui.ParentUID->setText(history.at(2));
}

void TakePages::setupFileSet()
{
    const QStringList fileSet = m_model->fileSetInfo(m_row);
    if (fileSet.size() != AudioFileModel::fileSetHeadersList.size())
        return;
    m_ui.TotalFiles->setText(fileSet.at(0));
    m_ui.FamilyUID->setText(fileSet.at(1));
    m_ui.FamilyName->setText(fileSet.at(2));
    m_ui.FileSetIndex->setText(fileSet.at(3));
}

void TakePages::setupSyncPoints()
{
    m_syncPointModel->removeRows(0, m_syncPointModel->rowCount());
    for (const QStringList& point : m_model->syncPointInfo(m_row)) {
        QList<QStandardItem*> items;
        for (int c = 0; c < AudioFileModel::syncPointsHeadersList.size(); ++c) {
            items << new QStandardItem(point.value(c));
            items.last()->setEditable(false);
        }
        m_syncPointModel->appendRow(items);
    }
}

void TakePages::cleanupPage1()
{
    TakeEditorForm& f = m_ui;
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
