// Sample-rate and frame-rate changes of the current take, and the timecode
// editor. Results go into the model and the modify flags only; the files
// change when the edits are saved.
#include "FileListManagement.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "EditTC.h"
#include "TakeColumns.h"
#include "ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

using namespace TakeColumns;

namespace
{
// A sample rate typed into the editable combo box: a positive decimal integer.
int parseRate(const QString& text)
{
    bool ok = false;
    const int rate = text.trimmed().toInt(&ok, 10);
    return ok && rate > 0 ? rate : 0;
}
} // namespace

void FileListManagement::on_comboBox_SampleRate_currentIndexChanged(const QString& text)
{
    const int row = currentRow();
    if (row < 0 || text.isEmpty() || text == cell(row, SampleRate))
        return;
    const int rate = parseRate(text);
    if (rate == 0) {
        // Not a rate: the combo box shows the take's rate again.
        const QSignalBlocker block(m_ui.comboBox_SampleRate);
        const QString current = cell(row, SampleRate);
        const int i = m_ui.comboBox_SampleRate->findText(current, Qt::MatchFixedString);
        m_ui.comboBox_SampleRate->setCurrentIndex(i);
        if (i < 0)
            m_ui.comboBox_SampleRate->setEditText(current);
        return;
    }
    setCell(row, SampleRate, text);
    setCell(row, TCSampleRate, text);
    m_ui.TimeCodeSampleRate->setText(text);
    m_session->markEdited(TakeField::SampleRate);
    AudioFile file;
    if (!file.Open(cell(row, Path)))
        return;
    updateModelOnFrameRateChange(file, row, m_ui.comboBox_FrameRate->currentText(), rate,
                                 m_ui.StartTC->text());
}

void FileListManagement::on_comboBox_FrameRate_currentIndexChanged(const QString& text)
{
    const int row = currentRow();
    if (row < 0 || text.isEmpty() || text == cell(row, FrameRate))
        return;
    setCell(row, FrameRate, text);
    setCell(row, MasterSpeed, text);
    m_session->markEdited(TakeField::FrameRate);
    AudioFile file;
    if (!file.Open(cell(row, Path)))
        return;
    updateModelOnFrameRateChange(
        file, row, text, parseRate(m_ui.comboBox_SampleRate->currentText()), m_ui.StartTC->text());
}

void FileListManagement::updateModelOnFrameRateChange(AudioFile& file, int row,
                                                      const QString& frameRate, int sampleRate,
                                                      const QString& startTC)
{
    if (sampleRate <= 0)
        return;
    const bool shown = row == currentRow();
    if (!m_ui.checkBox_PreserveStartTC->isChecked()) {
        // The timestamp stays; the timecodes move.
        setCell(row, StartTC, file.GetTCStart(frameRate, sampleRate));
        setCell(row, Length, file.GetDuration(sampleRate));
        setCell(row, EndTC, file.GetTCEnd(frameRate, sampleRate));
    } else {
        // The start timecode stays; the timestamp moves.
        const QString samples = file.GetSamplesSinceMidnight(sampleRate, frameRate, startTC);
        if (samples.isEmpty())
            return;
        setCell(row, SamplesSinceMidnight, samples);
        m_session->markEdited(TakeField::SamplesSinceMidnight);
        setCell(row, Length, file.GetDuration(sampleRate));
        setCell(row, EndTC, file.GetTCEnd(samples, frameRate, sampleRate));
        if (shown)
            m_ui.label_SampleStamp->setText(samples);
    }
    if (shown) {
        m_ui.StartTC->setText(cell(row, StartTC));
        m_ui.Duration->setText(cell(row, Length));
    }
}

void FileListManagement::on_pushButton_EditTC_clicked()
{
    const int row = currentRow();
    if (row < 0)
        return;
    if (cell(row, FrameRate).isEmpty()) {
        QMessageBox::critical(this, QCoreApplication::applicationName(),
                              tr("Please select a valid Frame Rate."));
        return;
    }
    m_editTC->setFrameRateLimitations(cell(row, FrameRate));
    m_ui.checkBox_PreserveStartTC->setChecked(false);
    m_editTC->setTimecode(cell(row, StartTC));
    m_editTC->setTimeCreation(cell(row, Time));
    m_editTC->show();
    m_editTC->raise();
    m_editTC->activateWindow();
}

void FileListManagement::on_acceptedTCEditor()
{
    QString tc = m_editTC->timecode();
    const int rate = parseRate(m_ui.comboBox_SampleRate->currentText());
    const QString frameRate = m_ui.comboBox_FrameRate->currentText();
    if (frameRate.contains(QLatin1String("DF"), Qt::CaseInsensitive)) {
        const int colon = tc.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0)
            tc[colon] = QLatin1Char(';');
    }
    updateModelOnTimeCodeEdited(frameRate, rate, tc);
    m_ui.checkBox_PreserveStartTC->setChecked(true);
}

void FileListManagement::on_rejectedTCEditor()
{
    m_ui.checkBox_PreserveStartTC->setChecked(true);
}

void FileListManagement::updateModelOnTimeCodeEdited(const QString& frameRate, int sampleRate,
                                                     const QString& tc)
{
    const int row = currentRow();
    if (row < 0 || sampleRate <= 0)
        return;
    AudioFile file;
    if (!file.Open(cell(row, Path)))
        return;
    const QString samples = file.GetSamplesSinceMidnight(sampleRate, frameRate, tc);
    if (samples.isEmpty())
        return;
    setCell(row, SamplesSinceMidnight, samples);
    m_ui.label_SampleStamp->setText(samples);
    m_session->markEdited(TakeField::SamplesSinceMidnight);
    setCell(row, StartTC, tc);
    m_ui.StartTC->setText(tc);
    setCell(row, EndTC, file.GetTCEnd(samples, frameRate, sampleRate));
}
