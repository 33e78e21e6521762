#pragma once

#include "cLinkAck.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

// The recorder's take list window ("R9K Take List"): the last few takes of
// the connected recorder, one column per take ("NEXT", "CURRENT", "PREVIOUS",
// "PREV - n") and one row per field. Scene, take, notes and the circle flag
// are edited in place and written to the recorder; "False" marks the current
// take as a false take. While visible it polls the recorder for changes every
// 300 ms.
//
// Every request is a signal to the control-mode worker, whose slot answers
// through the sink (on_cLinkAck) before the emit returns, so the handlers may
// re-enter the list. Nothing that can repeat is started from inside an
// answer: retries and full updates are scheduled on single-shot timers, so
// the stack never grows with the number of failures. What a recorder sends
// (take ids, counts, parameter ids, texts) is bounded before use. Messages
// are non-blocking boxes, one at a time. GUI thread only.
class LiveTakeList : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRows = 6;
    static constexpr int kMaxColumns = 10;
    // Answers of one kind that fail with "busy" are retried this many times.
    static constexpr int kRetryLimit = 801;
    static constexpr int kUpdateTickMs = 40;
    static constexpr int kChangePollMs = 300;
    // The longest parameter text shown (the recorder's notes hold 200).
    static constexpr int kMaxValueChars = 256;

    struct SetParamData {
        quint32 take = 0;
        int id = 0;
        QString value;
        void clear()
        {
            take = 0;
            id = 0;
            value.clear();
        }
    };

    explicit LiveTakeList(QWidget* parent = nullptr);
    ~LiveTakeList() override;

    // The row of a take parameter id, or -1.
    static int rowOfParam(int id);
    static QString columnTitle(int column);

    QTableWidget* table() const { return m_table; }
    QPushButton* falseButton() const { return m_false; }
    QString statusText() const;
    QList<uint> takeIds() const { return m_takes; }
    int takesToShow() const { return m_takesToShow; }
    int retryCount() const { return m_retryCount; }
    bool changePollRunning() const { return m_changeTimer.isActive(); }
    // The message box shown now, or null.
    QMessageBox* messageBox() const { return m_box; }

signals:
    void getTakeList(quint32 first, int count);
    void getTakeParam(quint32 take, int id);
    void setTakeParam(quint32 take, int id, const QString& value);
    void setFalseTake(quint32 take);
    void getTakeListChanges();
    void stopActionActivated();
    void recordingActionActivated();
    void liveTakeListActionActivated();
    void quitActionActivated();
    void transportActionActivated();
    void userguideActionActivated();
    void preferenceActionActivated();

public slots:
    void on_transportModeChange(uchar mode);
    void on_preferencesUpdated();
    void on_cLinkAck(CLINK::cLinkAck* ack);
    // The recorder is gone: timers stopped, columns removed, cursors restored.
    void on_deviceRemovedR9K();
    void startUpdate();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void onUpdateTimer();
    void onTakeListUpdateRequestTimer();
    void onItemChanged(QTableWidgetItem* item);
    void onCurrentCellChanged(int row, int column, int previousRow, int previousColumn);
    void onFalseClicked();

private:
    void readPreference();
    void on_getTakeListUpdate(const QList<uint>& ids);
    void on_getTakeParamUpdate(quint32 take, int id, const QString& value);
    void onTakeListChangedUpdate(int change, quint32 take);
    void getNextTakeParams(quint32 take);
    void startTakeUpdate(quint32 take);
    void sendSetParam();
    void retrySetParam(quint32 take, int id);
    void retryUpdate(int ms);
    void cLinkFails(const CLINK::cLinkAck& ack);
    void resetState();
    void finalizeResetState();
    void updateStatus(const QString& text, bool red);
    void pushWaitCursor();
    void showMessage(QMessageBox::Icon icon, const QString& text);
    void removeAllColumns();
    QTableWidgetItem* cellOf(quint32 take, int id) const;
    QString valueOf(QTableWidgetItem* item, int id) const;

    QTimer m_updateTimer;
    QTimer m_changeTimer;
    // A full update waiting to start after a failure (one at a time).
    QTimer m_fullUpdateTimer;
    SetParamData m_pending;
    quint32 m_singleTake = 0;
    QList<uint> m_takes;
    int m_fetchPos = 0;
    bool m_updateMode = true;
    bool m_singleUpdate = false;
    bool m_recording = false;
    int m_expected = 0;
    int m_received = 0;
    int m_takesToShow = 3;
    int m_retryCount = 0;
    int m_lastMode = 0;
    int m_cursorCount = 0;
    QTableWidget* m_table = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_false = nullptr;
    QPointer<QMessageBox> m_box;
};
