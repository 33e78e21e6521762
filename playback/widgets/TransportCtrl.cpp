#include "TransportCtrl.h"

#include "AudioFile.h"
#include "PlaybackThread.h"
#include "TCLabel.h"
#include "TakeTracks.h"
#include "TransportArt.h"
#include "WaveformView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSettings>
#include <QSlider>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

Q_LOGGING_CATEGORY(lcTransport, "velmora.transport", QtWarningMsg)

TransportCtrl::TransportCtrl(QWidget* parent)
    : QWidget(parent), m_engine(std::make_unique<PlaybackThread>())
{
    setWindowTitle(tr("Transport Control"));
    auto* v = new QVBoxLayout(this);
    auto label = [&](const QImage& image, int minHeight) {
        auto* l = new TCLabel(this);
        l->setImage(image);
        l->setColor(QColor(0x58, 0x5b, 0x4c));
        l->setMinimumHeight(minHeight);
        return l;
    };
    m_fileName = label(TransportArt::fileNameBackground(), 28);
    m_fileName->setObjectName(QStringLiteral("fileName"));
    m_timecode = label(TransportArt::displayBackground(), 70);
    m_timecode->setObjectName(QStringLiteral("timecode"));
    m_frameRate = label(TransportArt::displayBackground(), 28);
    m_elapsed = label(TransportArt::displayBackground(), 28);
    m_remaining = label(TransportArt::displayBackground(), 28);
    v->addWidget(m_fileName);
    v->addWidget(m_timecode, 2);
    auto* times = new QHBoxLayout;
    times->addWidget(m_frameRate);
    times->addWidget(m_elapsed);
    times->addWidget(m_remaining);
    v->addLayout(times);
    m_overview = new WaveformView(this);
    m_overview->setObjectName(QStringLiteral("overview"));
    v->addWidget(m_overview, 1);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("horizontalSlider"));
    m_slider->setRange(0, 99);
    m_slider->setEnabled(false);
    v->addWidget(m_slider);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, TransportArt::Glyph g) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(TransportArt::icon(g));
        b->setIconSize(QSize(32, 32));
        buttons->addWidget(b);
        return b;
    };
    m_rw = button("RW", TransportArt::Glyph::Rewind);
    m_play = button("Play", TransportArt::Glyph::Play);
    m_stop = button("Stop", TransportArt::Glyph::Stop);
    m_ff = button("FF", TransportArt::Glyph::FastForward);
    v->addLayout(buttons);
    m_play->setEnabled(false);
    m_stop->setEnabled(false);

    connect(m_engine.get(), &AudioThread::progressUpdate, this, &TransportCtrl::PlayBackUpdate,
            Qt::QueuedConnection);
    connect(m_play, &QToolButton::clicked, this, &TransportCtrl::on_Play_clicked);
    connect(m_stop, &QToolButton::clicked, this, &TransportCtrl::on_Stop_clicked);
    connect(m_rw, &QToolButton::clicked, this, &TransportCtrl::on_RW_clicked);
    connect(m_ff, &QToolButton::clicked, this, &TransportCtrl::on_FF_clicked);
    connect(m_slider, &QSlider::sliderPressed, this,
            &TransportCtrl::on_horizontalSlider_sliderPressed);
    connect(m_slider, &QSlider::sliderMoved, this, &TransportCtrl::on_horizontalSlider_sliderMoved);
    connect(m_slider, &QSlider::sliderReleased, this,
            &TransportCtrl::on_horizontalSlider_sliderReleased);
    connect(m_slider, &QSlider::actionTriggered, this,
            &TransportCtrl::on_horizontalSlider_actionTriggered);
    connect(m_slider, &QSlider::valueChanged, this,
            &TransportCtrl::on_horizontalSlider_valueChanged);
    connect(m_overview, &WaveformView::seekRequested, this, &TransportCtrl::on_overviewSeek);
    resetControls();
}

TransportCtrl::~TransportCtrl()
{
    m_engine->disconnect(this);
    m_engine->PlayBack(PlaybackThread::PLAY_FINISH);
    // Overview workers still reading a take.
    for (QThread* worker : findChildren<QThread*>(QString(), Qt::FindDirectChildrenOnly))
        worker->wait();
}

void TransportCtrl::critical(const QString& text)
{
    QMessageBox::critical(this, QCoreApplication::applicationName(), text);
}

bool TransportCtrl::openTake()
{
    m_take = std::make_unique<AudioFile>();
    if (m_path.isEmpty() || !QFileInfo(m_path).isFile() || !m_take->Open(m_path)) {
        m_take.reset();
        return false;
    }
    return true;
}

void TransportCtrl::on_currentTakeChanged(const QString& path)
{
    if (m_engine->isRunning())
        return;
    m_path = path;
    m_name = TakeTracks::read(path).name;
    if (!path.isEmpty() && openTake()) {
        m_play->setEnabled(true);
        setControls();
    } else {
        resetControls();
        m_play->setEnabled(false);
    }
}

void TransportCtrl::setControls()
{
    m_fileName->setText(QStringLiteral("FILE NAME: ") + m_name);
    m_frameRate->setText(m_take->GetFrameRate());
    m_timecode->setText(m_take->GetTCStart());
    m_elapsed->setText(m_take->GetSample2Time(0));
    m_remaining->setText(m_take->GetSample2TimeLeft(0));
}

void TransportCtrl::resetControls()
{
    m_fileName->setText(QString());
    m_frameRate->setText(QString());
    m_timecode->setText(QStringLiteral("00:00:00:00"));
    m_remaining->setText(QStringLiteral("-00:00:00.0"));
    m_elapsed->setText(QStringLiteral("00:00:00.0"));
}

void TransportCtrl::showPosition(quint64 position)
{
    if (!m_take)
        return;
    m_timecode->setText(m_take->GetTCEnd(quint32(position)));
    m_frameRate->setText(m_take->GetFrameRate());
    m_elapsed->setText(m_take->GetSample2Time(quint32(position)));
    m_remaining->setText(m_take->GetSample2TimeLeft(quint32(position)));
}

void TransportCtrl::setPlayIcon(bool pause)
{
    m_play->setIcon(
        TransportArt::icon(pause ? TransportArt::Glyph::Pause : TransportArt::Glyph::Play));
    m_play->setToolTip(pause ? tr("Pause") : tr("Play"));
}

void TransportCtrl::PlayBackFile(const QString& path)
{
    m_engine->PlayBack(PlaybackThread::PLAY_FINISH);
    m_playing = true;
    setPlayIcon(true);
    m_stop->setEnabled(true);
    m_path = path;
    m_name = TakeTracks::read(path).name;
    {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(0);
    }
    if (!startPlay(0)) {
        m_playing = false;
        setPlayIcon(false);
        m_stop->setEnabled(false);
        return;
    }
    emit playPaused(true);
}

bool TransportCtrl::startPlay(int percent)
{
    if (m_path.isEmpty()) {
        critical(tr("Please select the take to play."));
        emit playStoped();
        return false;
    }
    if (!QFileInfo::exists(m_path)) {
        critical(tr("The take is not valid. Please re-import."));
        emit playStoped();
        return false;
    }
    if (!openTake()) {
        critical(tr("Unable to play %1 file. Please re-import.").arg(m_path));
        emit playStoped();
        return false;
    }
    const TakeTracks take = TakeTracks::read(m_path);
    m_name = take.name;
    setControls();
    m_files = take.channels;
    if (!m_engine->InitPlayBack(take.files, 0)) {
        critical(tr("Unable to play %1 file.").arg(m_path));
        emit playStoped();
        return false;
    }
    ++m_outstanding;
    showOverview(take.files);
    m_engine->PlayBack(PlaybackThread::PLAY_SEEK, percent);
    m_engine->PlayBack(PlaybackThread::PLAY_START);
    m_playing = true;
    m_play->setEnabled(true);
    m_slider->setEnabled(true);
    QSettings settings;
    if (settings.value(QStringLiteral("Preferences/showTransportOnPlay"), 2).toInt() == 2 &&
        !isVisible())
        emit startTransport();
    emit playStarted(m_path);
    return true;
}

void TransportCtrl::PlayBackUpdate(int state, quint32)
{
    m_position = m_engine->m_playPos.load();
    if (state == AudioThread::STATE_PROGRESS) {
        if (!m_take)
            return;
        showPosition(m_position);
        const quint64 total = m_take->GetTotalSamples();
        if (total > 0)
            m_overview->setPosition(double(m_position) * 100.0 / double(total));
        if (total > 0 && !m_slider->isSliderDown()) {
            const QSignalBlocker block(m_slider);
            m_slider->setValue(int(std::min<quint64>(99, m_position * 100 / total)));
        }
        updateMeter(m_position);
        return;
    }
    if (state == AudioThread::STATE_DONE) {
        if (--m_outstanding > 0)
            return;
        m_outstanding = 0;
        qCDebug(lcTransport) << "STATE_DONE";
        m_playing = false;
        showPosition(0);
        m_engine->PlayBack(PlaybackThread::PLAY_FINISH);
        m_stop->setEnabled(false);
        setPlayIcon(false);
        {
            const QSignalBlocker block(m_slider);
            m_slider->setValue(0);
        }
        m_slider->setEnabled(false);
        m_seekPending = false;
        emit playStoped();
        return;
    }
    m_engine->PlayBack(PlaybackThread::PLAY_FINISH);
    m_stop->setEnabled(false);
    QMessageBox::warning(this, QCoreApplication::applicationName(),
                         tr("Unable to play selected Take."));
}

void TransportCtrl::updateMeter(quint64 position)
{
    if (!m_playing)
        return;
    bool ready = false;
    const std::vector<cAudioMeterData>& data =
        m_engine->meterInfo().GetRdMeterData(ready, position);
    if (!ready)
        return;
    QList<float> levels;
    levels.reserve(qsizetype(data.size()) * 2);
    for (const cAudioMeterData& d : data) {
        levels << d.level;
        const float peak = d.peak > 0.0f ? -20.0f * std::log10(d.peak) : 41.0f;
        levels << (peak > 40.0f ? 41.0f : peak);
    }
    m_engine->meterInfo().ReleaseRdData();
    emit meterUpdate(levels);
}

void TransportCtrl::on_commandUpdate(int kind, int channel, const QVariant& value)
{
    if (kind == 4) {
        if (!m_path.isEmpty())
            emit trackNameChanged(m_path, channel, value.toString());
        return;
    }
    if (!m_engine->isRunning() || m_engine->playState() == 0)
        return;
    switch (kind) {
    case 0:
        m_engine->PlayBack(PlaybackThread::PLAY_GAIN, channel, value.toUInt());
        break;
    case 1: {
        const int pan = value.toInt();
        const int route = pan == 1 ? 1 : pan == 2 ? 3 : pan == 3 ? 2 : 0;
        if (route)
            m_engine->PlayBack(PlaybackThread::PLAY_ROUTE, channel, unsigned(route));
        break;
    }
    case 2:
    case 3:
        m_engine->PlayBack(PlaybackThread::PLAY_MUTE, channel, value.toBool() ? 1 : 0);
        break;
    default:
        break;
    }
}

void TransportCtrl::on_Play_clicked()
{
    if (m_playing) {
        m_engine->PlayBack(PlaybackThread::PLAY_STOP);
        m_playing = false;
        emit playPaused(false);
        setPlayIcon(false);
        m_stop->setEnabled(true);
        return;
    }
    if (m_engine->isRunning()) {
        m_playing = true;
        if (m_seekPending) {
            m_engine->PlayBack(PlaybackThread::PLAY_SEEK, m_slider->value());
            m_seekPending = false;
        }
        m_engine->PlayBack(PlaybackThread::PLAY_RESUME);
        emit playPaused(true);
        m_slider->setEnabled(true);
        setPlayIcon(true);
        m_stop->setEnabled(true);
        return;
    }
    m_playing = true;
    m_engine->PlayBack(PlaybackThread::PLAY_FINISH);
    setPlayIcon(true);
    if (!startPlay(m_slider->value())) {
        m_playing = false;
        setPlayIcon(false);
        return;
    }
    emit playPaused(true);
    m_stop->setEnabled(true);
}

void TransportCtrl::on_Stop_clicked()
{
    m_engine->PlayBack(PlaybackThread::PLAY_FINISH);
    m_playing = false;
    m_stop->setEnabled(false);
    setPlayIcon(false);
    m_slider->setValue(0);
}

void TransportCtrl::seekBy(qint64 frames)
{
    if (!m_engine->isRunning() || !m_take)
        return;
    const qint64 total = qint64(m_take->GetTotalSamples());
    const qint64 target = qint64(m_position) + frames;
    if (total <= 0 || target <= 0 || target >= total)
        return;
    const int percent = int(std::min<qint64>(100, target * 100 / total));
    m_engine->PlayBack(PlaybackThread::PLAY_SEEK, percent);
    const QSignalBlocker block(m_slider);
    m_slider->setValue(std::min(99, percent));
}

void TransportCtrl::on_RW_clicked()
{
    seekBy(-5 * qint64(m_take ? m_take->GetSampleRate() : 0));
}

void TransportCtrl::on_FF_clicked()
{
    seekBy(5 * qint64(m_take ? m_take->GetSampleRate() : 0));
}

void TransportCtrl::on_horizontalSlider_sliderPressed()
{
    if (!m_playing)
        return;
    m_engine->PlayBack(PlaybackThread::PLAY_STOP);
    m_playing = false;
    emit playPaused(false);
    setPlayIcon(false);
}

void TransportCtrl::on_horizontalSlider_sliderMoved(int)
{
    m_seekPending = true;
}

void TransportCtrl::on_horizontalSlider_sliderReleased()
{
    on_Play_clicked();
}

void TransportCtrl::on_horizontalSlider_actionTriggered(int action)
{
    if (action == QAbstractSlider::SliderPageStepAdd ||
        action == QAbstractSlider::SliderPageStepSub)
        m_seekPending = true;
}

void TransportCtrl::on_horizontalSlider_valueChanged(int value)
{
    if (m_take)
        showPosition(m_take->GetTotalSamples() / 100 * quint64(value));
}

void TransportCtrl::showOverview(const QStringList& files)
{
    m_overviewFiles = files;
    if (auto cached = m_envelopes.find(files)) {
        m_overview->setEnvelope(cached);
        return;
    }
    m_overview->setEnvelope(nullptr);
    auto result = std::make_shared<PeakEnvelope>();
    QThread* worker =
        QThread::create([files, result] { *result = PeakEnvelope::compute(files, 1024); });
    connect(worker, &QThread::finished, this, [this, files, result] {
        if (result->channels == 0)
            return;
        m_envelopes.insert(files, result);
        if (files == m_overviewFiles)
            m_overview->setEnvelope(result);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->setParent(this);
    worker->start(QThread::LowPriority);
}

void TransportCtrl::on_overviewSeek(int percent)
{
    if (m_engine->isRunning()) {
        m_engine->PlayBack(PlaybackThread::PLAY_SEEK, percent);
        if (!m_playing)
            m_seekPending = false;
    }
    m_overview->setPosition(percent);
    const QSignalBlocker block(m_slider);
    m_slider->setValue(percent);
    if (m_take)
        showPosition(m_take->GetTotalSamples() / 100 * quint64(percent));
}
