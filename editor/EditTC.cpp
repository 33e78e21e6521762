#include "EditTC.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace
{
constexpr int kHoursLimit = 23;
constexpr int kMinutesLimit = 59;
// "hh:mm:ss:ff"
constexpr int kTimecodeLength = 11;

// Splits a timecode into its four fields; the frames of a drop-frame
// timecode follow a ";".
QStringList fieldsOf(const QString& tc)
{
    QString t = tc;
    const int semicolon = t.lastIndexOf(QLatin1Char(';'));
    if (semicolon >= 0)
        t[semicolon] = QLatin1Char(':');
    QStringList f = t.split(QLatin1Char(':'));
    while (f.size() < 4)
        f << QString();
    return f;
}

bool hasBlank(const QString& field)
{
    return field.size() < 2 || field.contains(QLatin1Char(' '));
}
} // namespace

EditTC::EditTC(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("EditTC"));
    setModal(true);
    setWindowTitle(tr("TC editor"));
    auto* layout = new QVBoxLayout(this);
    m_lineEdit = new QLineEdit(this);
    m_lineEdit->setObjectName(QStringLiteral("lineEdit_TC"));
    m_lineEdit->setInputMask(QStringLiteral("99:99:99:99;"));
    m_lineEdit->setText(QStringLiteral("00:00:00:00"));
    m_manually = new QRadioButton(tr("Edit manually"), this);
    m_manually->setObjectName(QStringLiteral("radioButton_Manually"));
    m_manually->setChecked(true);
    m_creationTime = new QRadioButton(tr("Use Originator Time"), this);
    m_creationTime->setObjectName(QStringLiteral("radioButton_CreationTime"));
    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttonBox->setObjectName(QStringLiteral("buttonBox"));
    m_buttonBox->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(m_lineEdit);
    layout->addWidget(m_manually);
    layout->addWidget(m_creationTime);
    layout->addWidget(m_buttonBox);

    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &EditTC::on_buttonBox_accepted);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &EditTC::on_buttonBox_rejected);
    // Return in the line edit reaches the dialog, which presses OK (the
    // default button): one accept per key.
    connect(m_manually, &QRadioButton::clicked, this, &EditTC::on_radioButton_Manually_clicked);
    connect(m_creationTime, &QRadioButton::clicked, this,
            &EditTC::on_radioButton_CreationTime_clicked);
}

void EditTC::setTimecode(const QString& tc)
{
    m_timecode = tc;
    m_lineEdit->setText(tc);
}

void EditTC::start(const QString& frameRate, const QString& startTC, const QString& originatorTime)
{
    setFrameRateLimitations(frameRate);
    setTimecode(startTC);
    setTimeCreation(originatorTime);
    m_manually->setChecked(true);
    if (QWidget* button = parentWidget())
        move(button->mapToGlobal(QPoint(0, button->height())));
    open();
}

void EditTC::setFrameRateLimitations(const QString& rate)
{
    if (rate.size() < 2) {
        m_frameLimit = QStringLiteral("00");
        return;
    }
    const int space = rate.indexOf(QLatin1Char(' '));
    m_frameLimit = space < 0 ? rate : rate.left(space);
}

void EditTC::setTimeCreation(const QString& time)
{
    if (time.size() != 8) {
        m_creationTimecode = time;
        return;
    }
    QStringList parts = time.split(QLatin1Char(':'));
    if (parts.size() == 1)
        parts = time.split(QLatin1Char('-'));
    if (parts.size() == 1) {
        m_creationTimecode.clear();
        return;
    }
    parts << QStringLiteral("00");
    m_creationTimecode = parts.join(QLatin1Char(':'));
}

bool EditTC::validateTimeCode()
{
    const QString entry = m_lineEdit->text();
    QStringList f = fieldsOf(entry);
    const QStringList previous = fieldsOf(m_timecode);
    const QString title = QCoreApplication::applicationName();
    if (entry.size() < kTimecodeLength) {
        QMessageBox::critical(this, title,
                              tr("Invalid Time Code.\n Please enter valid Time Code."));
        return false;
    }
    bool timeError = false;
    bool frameError = false;
    const int limits[3] = {kHoursLimit, kMinutesLimit, kMinutesLimit};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int v = f.at(i).toInt(&ok, 10);
        if (hasBlank(f.at(i)) || !ok) {
            timeError = true;
        } else if (v > limits[i]) {
            timeError = true;
            f[i] = previous.at(i);
        }
    }
    bool ok = false;
    const int frames = f.at(3).toInt(&ok, 10);
    if (hasBlank(f.at(3)) || !ok) {
        frameError = true;
    } else {
        // "29.97" is a frame limit too: frames 0..29 are valid at 29.97 DF.
        const double limit = m_frameLimit.toDouble();
        if (frames != 0 && limit != 0 && frames >= limit) {
            frameError = true;
            f[3] = previous.at(3);
        }
    }
    if (!timeError && !frameError)
        return true;
    QMessageBox::critical(this, title,
                          timeError
                              ? tr("Invalid time.\n Please enter valid time.")
                              : tr("Invalid frame number.\n Please enter valid frame number."));
    m_lineEdit->setText(f.join(QLatin1Char(':')));
    return false;
}

void EditTC::on_buttonBox_accepted()
{
    if (!validateTimeCode())
        return;
    m_timecode = m_lineEdit->text();
    accept();
    emit a();
}

void EditTC::on_buttonBox_rejected()
{
    reject();
}

void EditTC::reject()
{
    const bool wasOpen = isVisible();
    QDialog::reject();
    if (wasOpen)
        emit r();
}

void EditTC::on_lineEdit_TC_returnPressed()
{
    on_buttonBox_accepted();
}

void EditTC::showManualEntry()
{
    m_lineEdit->setText(m_timecode);
    m_lineEdit->setEnabled(true);
}

void EditTC::on_radioButton_Manually_clicked(bool checked)
{
    if (checked)
        showManualEntry();
}

void EditTC::on_radioButton_CreationTime_clicked(bool checked)
{
    if (!checked)
        return;
    if (m_creationTimecode.isEmpty()) {
        QMessageBox::critical(this, QCoreApplication::applicationName(),
                              tr("There is no valid Originator Time available.\n Please edit "
                                 "Time Code manually."));
        showManualEntry();
        m_manually->setChecked(true);
        return;
    }
    m_lineEdit->setText(m_creationTimecode);
    m_lineEdit->setEnabled(false);
}

void EditTC::showEvent(QShowEvent* event)
{
    if (m_creationTime->isChecked()) {
        m_lineEdit->setText(m_creationTimecode);
        m_lineEdit->setEnabled(false);
    } else {
        showManualEntry();
    }
    QDialog::showEvent(event);
}
