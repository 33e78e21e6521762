#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// The file dialogs of the take list: where they start and how large they
// open. Import starts in the folder of the last import (settings key
// "LastImportDir", also written for takes opened from the command line),
// Copy To in the last destination ("CopyFileList"); a folder that is gone
// gives the home folder. Both open in the detail view, large enough to show
// its columns. GUI thread.
namespace TakeDialogs
{
// Asks for take files to import; remembers their folder. Empty when cancelled.
QStringList chooseImportFiles(QWidget* parent);
// Asks for the folder to copy takes into; remembers it. Empty when cancelled.
QString chooseCopyFolder(QWidget* parent);

// Remembers where paths (files or folders) were imported from: the folder
// of the first one, or the first one when it is a folder.
void rememberImportFolder(const QStringList& paths);
// Where the import dialog starts.
QString importFolder();
} // namespace TakeDialogs
