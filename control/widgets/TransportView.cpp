#include "TransportView.h"

#include "TCLabel.h"
#include "TransportArt.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
const QColor kTextColour(0x58, 0x5b, 0x4c);
const char kZeroTimecode[] = "00:00:00:00";
const char kZeroFileTime[] = "00:00:00.0";

QIcon recordIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd0, 0x20, 0x20));
    painter.drawEllipse(QRectF(7, 7, 18, 18));
    return QIcon(pixmap);
}
} // namespace

TransportView::TransportView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TransportViewClass"));
    setMaximumHeight(600);
    auto label = [this](const char* name, bool fullArea = false) {
        auto* l = new TCLabel(this, fullArea);
        l->setObjectName(QLatin1String(name));
        l->setColor(kTextColour);
        return l;
    };
    m_info = label("label_Info");
    m_title = label("label_Title");
    m_title->setText(tr("R9K"));
    m_frameRate = label("label_FrameRate");
    m_timecode = label("label_Timecode");
    m_timecode->setImage(TransportArt::displayBackground(false));
    m_fileTime = label("label_FileTime");
    m_stop = new QPushButton(this);
    m_stop->setObjectName(QStringLiteral("Stop"));
    m_stop->setIcon(TransportArt::icon(TransportArt::Glyph::Stop));
    m_stop->setToolTip(tr("Stop"));
    m_record = new QPushButton(this);
    m_record->setObjectName(QStringLiteral("Record"));
    m_record->setIcon(recordIcon());
    m_record->setToolTip(tr("Record"));
    for (QPushButton* b : {m_stop, m_record}) {
        b->setIconSize(QSize(32, 32));
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_stop, &QPushButton::clicked, this, &TransportView::on_Stop_clicked);
    connect(m_record, &QPushButton::clicked, this, &TransportView::on_Record_clicked);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 9, 9, 9);
    layout->setSpacing(2);
    layout->addWidget(m_info, 2);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(m_title);
    titleRow->addWidget(m_frameRate);
    layout->addLayout(titleRow, 1);
    layout->addWidget(m_timecode, 10);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_fileTime, 3);
    bottom->addStretch(1);
    bottom->addWidget(m_stop);
    bottom->addWidget(m_record);
    layout->addLayout(bottom, 2);

    m_timecode->setText(QLatin1String(kZeroTimecode));
    m_fileTime->setText(QLatin1String(kZeroFileTime));
}

QString TransportView::timecodeText() const
{
    return m_timecode->text();
}
QString TransportView::fileTimeText() const
{
    return m_fileTime->text();
}
QString TransportView::frameRateText() const
{
    return m_frameRate->text();
}
QString TransportView::infoText() const
{
    return m_info->text();
}

void TransportView::on_timecodeUpdate(const QString& text)
{
    m_timecode->setText(text);
}
void TransportView::on_fileTimeUpdate(const QString& text)
{
    m_fileTime->setText(text);
}
void TransportView::on_frameRateUpdate(const QString& text)
{
    m_frameRate->setText(text);
}

void TransportView::on_sampleRateUpdate(const QString& text)
{
    m_sampleRate = text;
    updateInfo();
}

void TransportView::on_bitDepthUpdate(const QString& text)
{
    m_bitDepth = text;
    updateInfo();
}

void TransportView::updateInfo()
{
    m_info->setText(tr("Bit Depth: %1      Sample Rate: %2").arg(m_bitDepth, m_sampleRate));
}

void TransportView::setRed(bool red)
{
    m_redShown = red;
    m_timecode->setImage(TransportArt::displayBackground(red));
}

// Modes above record (a newer recorder's) leave the background as it is.
void TransportView::on_transportModeChange(uchar mode)
{
    if (mode == m_lastMode)
        return;
    if (mode == 2)
        setRed(true);
    else if (mode < 2)
        setRed(false);
    m_lastMode = mode;
}

void TransportView::on_deviceDiscoveredR9K()
{
    setEnabled(true);
}

void TransportView::on_deviceRemovedR9K()
{
    m_info->setText(QString());
    m_frameRate->setText(QString());
    m_timecode->setText(QLatin1String(kZeroTimecode));
    m_fileTime->setText(QLatin1String(kZeroFileTime));
    m_bitDepth.clear();
    m_sampleRate.clear();
    if (m_redShown)
        setRed(false);
    m_lastMode = 0;
    setEnabled(false);
}

void TransportView::on_Stop_clicked()
{
    emit transportKeyPressed(0);
}
void TransportView::on_Record_clicked()
{
    emit transportKeyPressed(2);
}
void TransportView::on_Play_clicked()
{
    emit transportKeyPressed(1);
}
void TransportView::on_FFWD_clicked()
{
    emit transportKeyPressed(3);
}
void TransportView::on_Rewind_clicked()
{
    emit transportKeyPressed(4);
}

// Shown: start from blank displays; the worker then sends every value again.
void TransportView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timecode->setText(QLatin1String(kZeroTimecode));
    m_fileTime->setText(QLatin1String(kZeroFileTime));
    if (m_redShown)
        setRed(false);
    m_lastMode = 0;
    m_frameRate->setText(QString());
    m_sampleRate.clear();
    m_bitDepth.clear();
    m_info->setText(QString());
    emit transportViewActive(true);
}

void TransportView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit transportViewActive(false);
}
