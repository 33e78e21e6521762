#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>

class FileListManagement;

namespace GuiTestUtil
{

// Registers the compiled-in resources and gives the application the names
// the windows use for settings and message titles.
void initApplication();

// Writes demo takes into folder: odd takes polyphonic, even takes mono
// groups of `channels` files. Returns the files written.
QStringList writeDemoTakes(const QString& folder, int takes, int channels = 4, int firstTake = 1);

// Imports paths through the editor and waits until the import has ended.
// Returns false when it did not end in time.
bool importAndWait(FileListManagement& editor, const QStringList& paths, bool fromDialog);

// Answers the next modal message box with button, from a timer, and records
// its text in *seen (when given). Call before the action that opens the box.
void answerNextMessageBox(QMessageBox::StandardButton button, QString* seen = nullptr);

// Answers every modal message box that opens while it lives with button,
// from a timer, and records each box's text. A box without that button is
// rejected.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton button);
    QStringList texts;
    QMessageBox::StandardButton button;

private slots:
    void poll();
};

} // namespace GuiTestUtil
