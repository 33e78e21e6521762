#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

class EditTC;
class QWidget;
class TakeEditorForm;
class TakeSession;

// The rate boxes, Preserve Start TC and the timecode editor of the editor
// panel: a chosen rate or an edited start timecode goes to the session's
// edit state (TakeEditState), and the panel's time fields show the row's
// new values. A typed sample rate that is no rate puts the take's rate
// back. The timecode editor is bound to the take it was opened for: it is
// cancelled when another take becomes current, and its OK writes into that
// take only. GUI thread; the form and the session are not owned.
class RateControls : public QObject
{
    Q_OBJECT

public:
    RateControls(TakeEditorForm& form, TakeSession* session, QWidget* parent);
    EditTC* timecodeEditor() const { return m_editTC; }

private:
    void showTimes();
    void on_sampleRateChosen(const QString& text);
    void on_frameRateChosen(const QString& text);
    void on_pushButton_EditTC_clicked();
    void on_acceptedTCEditor();

    TakeEditorForm& m_ui;
    TakeSession* m_session;
    QWidget* m_parent;
    EditTC* m_editTC;               // owned by pushButton_EditTC
    QPersistentModelIndex m_tcTake; // the take the timecode editor is open for
};
