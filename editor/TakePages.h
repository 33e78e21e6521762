#pragma once

#include <QObject>
#include <QString>

class AudioFileModel;
class QSortFilterProxyModel;
class QStandardItemModel;
class TakeEditorForm;

// The two pages of the editor panel filled from one row of the take list:
// the fields, the tracks (editable names and functions), the sync points,
// the history and the file set. Showing a row is not an edit: no change
// handler of the fields sees it. GUI thread; the form and the model are
// not owned.
class TakePages : public QObject
{
    Q_OBJECT

public:
    TakePages(TakeEditorForm& form, const AudioFileModel* model, QObject* parent);

    // Shows row (model coordinates); -1 clears both pages and disables their
    // fields.
    void show(int row);
    // Shows the tracks of the row shown again (after a revert of its tracks).
    void setupTracks();
    // The track list as the view shows it (sorted by channel).
    QSortFilterProxyModel* trackProxy() const { return m_trackProxy; }
    // Switches to the next page ("More Info").
    void nextPage();

private:
    QString cell(int row, int column) const;
    void setupPage0();
    void setupPage1();
    void setupSyncPoints();
    void setupHistory();
    void setupFileSet();
    void cleanupPage0();
    void cleanupPage1();

    TakeEditorForm& m_ui;
    const AudioFileModel* m_model;
    int m_row = -1;
    QStandardItemModel* m_trackModel;     // child
    QSortFilterProxyModel* m_trackProxy;  // child
    QStandardItemModel* m_syncPointModel; // child
};
