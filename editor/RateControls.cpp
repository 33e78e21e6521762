#include "RateControls.h"

#include "EditTC.h"
#include "TakeColumns.h"
#include "TakeEditState.h"
#include "TakeEditorForm.h"
#include "TakeSession.h"
#include "ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

using namespace TakeColumns;

RateControls::RateControls(TakeEditorForm& form, TakeSession* session, QWidget* parent)
    : QObject(parent), m_ui(form), m_session(session), m_parent(parent),
      m_editTC(new EditTC(form.pushButton_EditTC))
{
    connect(form.comboBox_SampleRate, &QComboBox::currentIndexChanged, this, [this](int index) {
        on_sampleRateChosen(index < 0 ? QString() : m_ui.comboBox_SampleRate->itemText(index));
    });
    connect(form.comboBox_FrameRate, &QComboBox::currentIndexChanged, this, [this](int index) {
        on_frameRateChosen(index < 0 ? QString() : m_ui.comboBox_FrameRate->itemText(index));
    });
    connect(form.pushButton_EditTC, &QPushButton::clicked, this,
            &RateControls::on_pushButton_EditTC_clicked);
    connect(m_editTC, &EditTC::a, this, &RateControls::on_acceptedTCEditor);
    connect(m_editTC, &EditTC::r, this,
            [this] { m_ui.checkBox_PreserveStartTC->setChecked(true); });
    // Another take (or none) while the editor is open: its entry is not
    // for that take.
    connect(session, &TakeSession::currentTakeChanged, this, [this](const QModelIndex& current) {
        if (m_editTC->isVisible() && QModelIndex(m_tcTake) != current.siblingAtColumn(0))
            m_editTC->reject();
    });
}

void RateControls::showTimes()
{
    const int row = m_session->currentRow();
    const TakeEditState& s = m_session->editState();
    m_ui.StartTC->setText(s.cell(row, StartTC));
    m_ui.Duration->setText(s.cell(row, Length));
    m_ui.label_SampleStamp->setText(s.cell(row, SamplesSinceMidnight));
    m_ui.TimeCodeSampleRate->setText(s.cell(row, TCSampleRate));
}

void RateControls::on_sampleRateChosen(const QString& text)
{
    const int row = m_session->currentRow();
    TakeEditState& s = m_session->editState();
    if (row < 0 || text.isEmpty() || text == s.cell(row, SampleRate))
        return;
    if (!s.setSampleRate(text, m_ui.comboBox_FrameRate->currentText(), m_ui.StartTC->text(),
                         m_ui.checkBox_PreserveStartTC->isChecked())) {
        // Not a rate: the combo box shows the take's rate again.
        const QSignalBlocker block(m_ui.comboBox_SampleRate);
        const QString current = s.cell(row, SampleRate);
        const int i = m_ui.comboBox_SampleRate->findText(current, Qt::MatchFixedString);
        m_ui.comboBox_SampleRate->setCurrentIndex(i);
        if (i < 0)
            m_ui.comboBox_SampleRate->setEditText(current);
        return;
    }
    showTimes();
}

void RateControls::on_frameRateChosen(const QString& text)
{
    const int row = m_session->currentRow();
    TakeEditState& s = m_session->editState();
    if (row < 0 || text.isEmpty() || text == s.cell(row, FrameRate))
        return;
    s.setFrameRate(text, m_ui.comboBox_SampleRate->currentText(), m_ui.StartTC->text(),
                   m_ui.checkBox_PreserveStartTC->isChecked());
    showTimes();
}

void RateControls::on_pushButton_EditTC_clicked()
{
    const int row = m_session->currentRow();
    if (row < 0)
        return;
    const TakeEditState& s = m_session->editState();
    if (s.cell(row, FrameRate).isEmpty()) {
        QMessageBox::critical(m_parent, QCoreApplication::applicationName(),
                              tr("Please select a valid Frame Rate."));
        return;
    }
    m_ui.checkBox_PreserveStartTC->setChecked(false);
    m_tcTake = m_session->currentTake().siblingAtColumn(0);
    m_editTC->start(s.cell(row, FrameRate), s.cell(row, StartTC), s.cell(row, Time));
}

void RateControls::on_acceptedTCEditor()
{
    m_ui.checkBox_PreserveStartTC->setChecked(true);
    // The rates are the bound take's own, whatever the boxes show.
    const int row = m_tcTake.isValid() ? m_tcTake.row() : -1;
    if (row < 0 || row != m_session->currentRow())
        return;
    TakeEditState& s = m_session->editState();
    if (s.setStartTimecode(s.cell(row, FrameRate),
                           TakeEditState::parseRate(s.cell(row, SampleRate)), m_editTC->timecode()))
        showTimes();
}
