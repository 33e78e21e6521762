#pragma once

#include "ReportSettings.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>

class AudioFileModel;
class QAbstractItemView;
class QCheckBox;
class QDockWidget;
class QMainWindow;
class QComboBox;
class QLineEdit;
class QTableWidget;

// The Report Manager window: edits a ReportSettings value (header rows,
// format, included takes, columns, extras) and hands it to the CSV and PDF
// writers on "Sound Report". The header rows are loaded from the settings
// store once and saved whenever the window is hidden. GUI thread only.
class ReportManagement : public QWidget
{
    Q_OBJECT

public:
    // The take list's rows (model rows) in the order the list shows them.
    using RowOrder = std::function<QList<int>()>;
    // Asks for the file to write: (caption, proposed path, filter) -> path,
    // empty when the user gave none.
    using FileChooser = std::function<QString(const QString&, const QString&, const QString&)>;
    // Shows a message to the user.
    using MessageSink = std::function<void(QMessageBox::Icon, const QString&)>;

    // rowOrder may be empty: then the model's own order is used.
    ReportManagement(QWidget* parent, AudioFileModel* model, RowOrder rowOrder = RowOrder());

    // The main window's "reportmanager" tool window: a floating dock titled
    // "Reports" that no dock area accepts, 600 x 335, hidden, placed at the
    // main window's position plus a quarter of its size.
    static QDockWidget* createDock(QMainWindow* main, AudioFileModel* model, RowOrder rowOrder);
    // The rows of view's model (a proxy over the take list model, or the
    // model itself) in the order the view shows them.
    static RowOrder viewOrder(const QAbstractItemView* view);

    const ReportSettings& settings() const { return m_settings; }
    // Replace the save dialog and the message boxes (scripted use, tests).
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setMessageSink(MessageSink sink) { m_notify = std::move(sink); }

signals:
    // A report file was written.
    void doneReports();

public slots:
    void on_pushButton_Generate_clicked();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildHeaderTab();
    QWidget* buildReportTab();
    QCheckBox* addBox(QWidget* parent, const char* name, const QString& text);
    void columnClicked(int c, bool on);
    void formatChanged(int index);
    void syncFromSettings();
    void refuse();
    void generateCSVReport();
    void generatePDFReport();
    QString askFile(const QString& caption, const QString& name, const QString& filter,
                    const QString& suffix);
    void finishReport(const QString& path);
    void message(QMessageBox::Icon icon, const QString& text);
    QList<int> viewRows() const;
    int widestTake() const;

    AudioFileModel* m_model;
    RowOrder m_rowOrder;
    FileChooser m_chooseFile;
    MessageSink m_notify;
    ReportSettings m_settings;

    QList<QComboBox*> m_headerCombos; // by row number; null for 0 and 12
    QList<QLineEdit*> m_headerEdits;
    QComboBox* m_format = nullptr;
    QCheckBox* m_circled = nullptr;
    QCheckBox* m_nonCircled = nullptr;
    QCheckBox* m_wild = nullptr;
    QCheckBox* m_trackInfo = nullptr;
    QCheckBox* m_notesRows = nullptr;
    QCheckBox* m_trackInfoRow = nullptr;
    QList<QCheckBox*> m_columnBoxes; // by report column
    QTableWidget* m_preview = nullptr;
};
