// The column menu of the take list: which columns the view shows.
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeListView.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>

using namespace TakeColumns;

namespace
{
using Slot = void (FileListManagement::*)(bool);
struct ColumnAction {
    int column;
    Slot slot;
};
} // namespace

void FileListManagement::createActions()
{
    if (!m_model)
        return;
    // In the order the menu lists them.
    const ColumnAction actions[] = {
        {CurrentName, &FileListManagement::NameActionClicked},
        {FileName, &FileListManagement::FileNameActionClicked},
        {Channels, &FileListManagement::ChannelsActionClicked},
        {Project, &FileListManagement::ProjectActionClicked},
        {Tape, &FileListManagement::TapeActionClicked},
        {Scene, &FileListManagement::SceneActionClicked},
        {Take, &FileListManagement::TakeActionClicked},
        {StartTC, &FileListManagement::StartTCActionClicked},
        {Length, &FileListManagement::DurationActionClicked},
        {EndTC, &FileListManagement::EndTCActionClicked},
        {Originator, &FileListManagement::OriginatorActionClicked},
        {OriginatorRef, &FileListManagement::ReferenceActionClicked},
        {Date, &FileListManagement::DateActionClicked},
        {Time, &FileListManagement::TimeActionClicked},
        {Circled, &FileListManagement::CircledActionClicked},
        {Wild, &FileListManagement::WildActionClicked},
        {Notes, &FileListManagement::NotesActionClicked},
        {SampleRate, &FileListManagement::SampleRateActionClicked},
        {FrameRate, &FileListManagement::FrameRateActionClicked},
        {BitDepth, &FileListManagement::BitDepthActionClicked},
        {Ubits, &FileListManagement::UbitsActionClicked},
        {FileUID, &FileListManagement::FileUIDActionClicked},
    };
    for (const ColumnAction& a : actions) {
        auto* action = new QAction(AudioFileModel::headersList.at(a.column), this);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, a.slot);
        m_columnActions.append({action, a.column});
    }
}

void FileListManagement::createColumnContextMenu()
{
    m_columnMenu = new QMenu(tr("Column Update"), this);
    m_columnMenu->setObjectName(QStringLiteral("columnMenu"));
    connect(m_columnMenu, &QMenu::aboutToShow, this, &FileListManagement::updateContextMenu);
    for (const auto& a : m_columnActions)
        m_columnMenu->addAction(a.first);
}

void FileListManagement::updateContextMenu()
{
    for (const auto& a : m_columnActions)
        a.first->setChecked(!m_ui.treeView->isColumnHidden(a.second));
}

void FileListManagement::on_treeView_customContextMenuRequested(const QPoint& pos)
{
    if (m_columnMenu)
        m_columnMenu->popup(m_ui.treeView->viewport()->mapToGlobal(pos));
}

void FileListManagement::setColumnShown(int column, bool shown)
{
    m_ui.treeView->setColumnHidden(column, !shown);
    m_ui.treeView->resizeColumnToContents(column);
}

void FileListManagement::NameActionClicked(bool checked)
{
    setColumnShown(CurrentName, checked);
}

void FileListManagement::FileNameActionClicked(bool checked)
{
    setColumnShown(FileName, checked);
}

void FileListManagement::ChannelsActionClicked(bool checked)
{
    setColumnShown(Channels, checked);
}

void FileListManagement::ProjectActionClicked(bool checked)
{
    setColumnShown(Project, checked);
}

void FileListManagement::TapeActionClicked(bool checked)
{
    setColumnShown(Tape, checked);
}

void FileListManagement::SceneActionClicked(bool checked)
{
    setColumnShown(Scene, checked);
}

void FileListManagement::TakeActionClicked(bool checked)
{
    setColumnShown(Take, checked);
}

void FileListManagement::StartTCActionClicked(bool checked)
{
    setColumnShown(StartTC, checked);
}

void FileListManagement::DurationActionClicked(bool checked)
{
    setColumnShown(Length, checked);
}

void FileListManagement::EndTCActionClicked(bool checked)
{
    setColumnShown(EndTC, checked);
}

void FileListManagement::OriginatorActionClicked(bool checked)
{
    setColumnShown(Originator, checked);
}

void FileListManagement::ReferenceActionClicked(bool checked)
{
    setColumnShown(OriginatorRef, checked);
}

void FileListManagement::DateActionClicked(bool checked)
{
    setColumnShown(Date, checked);
}

void FileListManagement::TimeActionClicked(bool checked)
{
    setColumnShown(Time, checked);
}

void FileListManagement::CircledActionClicked(bool checked)
{
    setColumnShown(Circled, checked);
}

void FileListManagement::WildActionClicked(bool checked)
{
    setColumnShown(Wild, checked);
}

void FileListManagement::NotesActionClicked(bool checked)
{
    setColumnShown(Notes, checked);
}

void FileListManagement::SampleRateActionClicked(bool checked)
{
    setColumnShown(SampleRate, checked);
}

void FileListManagement::FrameRateActionClicked(bool checked)
{
    setColumnShown(FrameRate, checked);
}

void FileListManagement::BitDepthActionClicked(bool checked)
{
    setColumnShown(BitDepth, checked);
}

void FileListManagement::UbitsActionClicked(bool checked)
{
    setColumnShown(Ubits, checked);
}

void FileListManagement::FileUIDActionClicked(bool checked)
{
    setColumnShown(FileUID, checked);
}
