#pragma once

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLineEdit;
class QRadioButton;

// The timecode editor: a frameless modal dialog in which the user types a
// new start timecode for one take, or takes the take's originator time.
// Created once by the editor panel (its parent is the Edit button); each
// opening starts from the take's own values (start(), placed below the
// button). A valid entry closes it and emits a(); Cancel or Escape emits
// r(). The editor panel turns the accepted timecode() into a new timestamp
// of the take it was opened for. GUI thread.
class EditTC : public QDialog
{
    Q_OBJECT

public:
    explicit EditTC(QWidget* parent = nullptr);

    // The take's start timecode when the dialog opens; after a valid entry,
    // the accepted timecode ("hh:mm:ss:ff").
    const QString& timecode() const { return m_timecode; }
    void setTimecode(const QString& tc);
    // Opens the dialog, modal, for a take: its frame rate, start timecode
    // and originator time; manual entry is chosen again.
    void start(const QString& frameRate, const QString& startTC, const QString& originatorTime);
    // The originator time turned into a timecode ("14:03:22:00"), or empty.
    const QString& creationTimecode() const { return m_creationTimecode; }
    // The frame-rate number frames must stay below ("25", "29.97"); "00" for none.
    const QString& frameLimit() const { return m_frameLimit; }

    // rate: a user form of the frame-rate table ("29.97 DF"); the part before
    // its first space becomes the frame limit.
    void setFrameRateLimitations(const QString& rate);
    // time: the originator time, "14:03:22" or, from a file's creation time,
    // "14-03-22"; anything else of another length is taken unchanged.
    void setTimeCreation(const QString& time);
    // True when the entry can be used; otherwise a message box says why and
    // the fields that were out of range are put back to the previous values.
    bool validateTimeCode();

    QLineEdit* lineEdit() const { return m_lineEdit; }

signals:
    void a(); // accepted
    void r(); // rejected

public slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void reject() override;
    void on_lineEdit_TC_returnPressed();
    void on_radioButton_Manually_clicked(bool checked);
    void on_radioButton_CreationTime_clicked(bool checked);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showManualEntry();

    QLineEdit* m_lineEdit = nullptr;         // lineEdit_TC
    QRadioButton* m_manually = nullptr;      // radioButton_Manually
    QRadioButton* m_creationTime = nullptr;  // radioButton_CreationTime
    QDialogButtonBox* m_buttonBox = nullptr; // buttonBox
    QString m_timecode;
    QString m_creationTimecode;
    QString m_frameLimit = QStringLiteral("00");
};
