#pragma once

#include <QString>
#include <QWidget>

class QPushButton;
class TCLabel;

// The transport window of control mode: the recorder's running timecode (on
// a red background while it records), the file time, frame rate, bit depth
// and sample rate, as the control-mode worker reads them, and Stop and
// Record keys sent to the recorder through the worker. The worker reads the
// timecode only while this view is shown (transportViewActive). GUI thread.
class TransportView : public QWidget
{
    Q_OBJECT

public:
    explicit TransportView(QWidget* parent = nullptr);

    QString timecodeText() const;
    QString fileTimeText() const;
    QString frameRateText() const;
    QString infoText() const;
    // True while the timecode shows the recording background.
    bool recordingShown() const { return m_redShown; }
    QPushButton* stopButton() const { return m_stop; }
    QPushButton* recordButton() const { return m_record; }

signals:
    // 0 stop, 1 play, 2 record, 3 fast forward, 4 rewind.
    void transportKeyPressed(int key);
    void transportViewActive(bool active);

public slots:
    void on_timecodeUpdate(const QString& text);
    void on_fileTimeUpdate(const QString& text);
    void on_frameRateUpdate(const QString& text);
    void on_sampleRateUpdate(const QString& text);
    void on_bitDepthUpdate(const QString& text);
    void on_transportModeChange(uchar mode);
    void on_deviceDiscoveredR9K();
    void on_deviceRemovedR9K();
    void on_Stop_clicked();
    void on_Record_clicked();
    void on_Play_clicked();
    void on_FFWD_clicked();
    void on_Rewind_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateInfo();
    void setRed(bool red);

    TCLabel* m_info = nullptr;
    TCLabel* m_title = nullptr;
    TCLabel* m_frameRate = nullptr;
    TCLabel* m_timecode = nullptr;
    TCLabel* m_fileTime = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_record = nullptr;
    uchar m_lastMode = 0;
    bool m_redShown = false;
    QString m_bitDepth;
    QString m_sampleRate;
};
