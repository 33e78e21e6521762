#pragma once

#include "FileListManagement.h"
#include "TakeFileMaker.h"

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>

namespace GuiTestUtil
{

// Registers the compiled-in resources and gives the application the names
// the windows use for settings and message titles.
void initApplication();

// Imports paths through the editor (as dropped) and waits until the import
// has ended. Returns false when it did not end in time.
bool importAndWait(FileListManagement& editor, const QStringList& paths);

// Answers every modal message box that opens while it lives with button
// (or by pressing key), from a timer, and records each box's text and
// default button. A box without that button is rejected.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton button);
    explicit MessageBoxAnswerer(Qt::Key key);
    QStringList texts;
    QList<QMessageBox::StandardButton> defaults;
    QMessageBox::StandardButton button = QMessageBox::NoButton;
    Qt::Key key = Qt::Key_unknown;

private slots:
    void poll();
};

} // namespace GuiTestUtil
