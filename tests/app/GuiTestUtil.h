#pragma once

#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "TakeFileMaker.h"
#include "TakeSession.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTreeView>

#include <memory>

namespace GuiTestUtil
{

// Registers the compiled-in resources and gives the application the names
// the windows use for settings and message titles.
void initApplication();

// Imports paths through the editor and waits until the import has ended.
// Returns false when it did not end in time.
bool importAndWait(FileListManagement& editor, const QStringList& paths, bool fromDialog);

// Answers the next modal message box with button, from a timer, and records
// its text in *seen (when given). Call before the action that opens the box.
void answerNextMessageBox(QMessageBox::StandardButton button, QString* seen = nullptr);

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

// The take list model and an editor on it, with lookups by object name, for
// the editor tests (mixed into their QObject test classes).
struct EditorFixture {
    std::unique_ptr<TakeSession> m_session;
    AudioFileModel* m_model = nullptr; // the session's
    std::unique_ptr<FileListManagement> m_editor;

    QTreeView* view() const { return m_editor->findChild<QTreeView*>("treeView"); }
    template <typename T> T* field(const char* name) const
    {
        T* w = m_editor->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QString cell(int row, int column) const
    {
        return m_model->data(m_model->index(row, column)).toString();
    }
};

} // namespace GuiTestUtil
