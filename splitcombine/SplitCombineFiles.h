#pragma once

#include "SplitCombineBatch.h"

#include <QMessageBox>
#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QDockWidget;
class QLabel;
class QLineEdit;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;
class TakeSession;

// The Split/Combine tool window: the "Split Poly" tab splits every
// polyphonic take of the take list by the split grid (source tracks x
// output files); the "Combine Mono" tab combines the mono files of every
// mono take by the batch grid (files x output tracks), or, in manual mode,
// the files picked in the manual grid into one named file. The runs are
// SplitCombineBatch's; this window only draws the rules and shows progress
// and messages. GUI thread only.
class SplitCombineFiles : public QWidget
{
    Q_OBJECT

public:
    enum Tab { SplitTab = 0, CombineTab = 1 };
    static constexpr int kGridSize = 32;
    // Settings key of the destination folder.
    static const QString kDestinationKey;

    using MessageSink = std::function<void(QMessageBox::Icon, const QString&)>;

    SplitCombineFiles(QWidget* parent, TakeSession* session);

    // The main window's "splitcombine" tool window: a floating dock titled
    // "Split/Combine" that no dock area accepts, 455 x 406, hidden, placed at
    // the main window's position plus a quarter of its size.
    static QDockWidget* createDock(QMainWindow* main, TakeSession* session);

    SplitCombineBatch* batch() const { return m_batch; }
    // Replaces the message boxes (scripted use, tests).
    void setMessageSink(MessageSink sink) { m_notify = std::move(sink); }
    // Shows folder as the destination and keeps it for the next start.
    void setDestination(const QString& folder);
    // The full paths of the manual grid's rows (the mono files of the list).
    const QStringList& manualFiles() const { return m_manualFiles; }

public slots:
    void on_pushButtonProcess_clicked();
    void on_pushButtonClear_clicked();
    void on_pushButton_Refresh_clicked();
    void on_buttonDestinationDirectoryOpen_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSplitTab();
    QWidget* buildCombineTab();
    QTableWidget* makeGrid(const char* name);
    void rebuildSplitGrid();
    void rebuildCombinePage();
    void tabChanged(int index);
    void combineCellClicked(const QModelIndex& index);
    void listChanged();
    void runFinished(const QString& message);
    void setRunning(bool running);
    SplitCombineBatch::Answer askExisting(const QStringList& existing);
    void message(QMessageBox::Icon icon, const QString& text);
    static QList<SplitCombineBatch::Cell> selectedCells(const QTableWidget* grid);
    bool manual() const;

    TakeSession* m_session;
    SplitCombineBatch* m_batch; // child
    MessageSink m_notify;
    QStringList m_manualFiles;
    bool m_listDirty = true;

    QTabWidget* m_tabs = nullptr;
    QTableWidget* m_splitGrid = nullptr;
    QTableWidget* m_combineGrid = nullptr;
    QRadioButton* m_batchMode = nullptr;
    QRadioButton* m_manualMode = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_destination = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_process = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_refresh = nullptr;
};
