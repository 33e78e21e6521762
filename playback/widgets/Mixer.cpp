#include "Mixer.h"

#include "Meter.h"
#include "TakeTracks.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

QList<int> Mixer::myScale()
{
    QList<int> s;
    for (int i = 0; i <= 40; ++i)
        s << i;
    return s;
}

Mixer::Mixer(QWidget* parent, int channels) : QWidget(parent), m_channels(channels)
{
    setWindowTitle(tr("Playback Mixer"));
    const QList<int> scale = myScale();
    QList<int> tickTypes;
    QList<bool> labels;
    for (int v : scale) {
        tickTypes << ((v == 12 || v == 20 || v == 30) ? 2 : 0);
        labels << (v == 0 || v == 12 || v == 20 || v == 30 || v == 40);
    }
    auto* row = new QHBoxLayout(this);
    row->setSpacing(2);
    for (int i = 0; i < channels; ++i) {
        auto* column = new QVBoxLayout;
        auto* box = new QGroupBox(QString::number(i + 1), this);
        box->setObjectName(QStringLiteral("Track%1").arg(i + 1));
        auto* inner = new QVBoxLayout(box);
        auto* pan = new QSlider(Qt::Horizontal, box);
        pan->setObjectName(QStringLiteral("direction%1").arg(i + 1));
        pan->setRange(1, 3);
        pan->setValue(2);
        pan->setPageStep(1);
        inner->addWidget(pan);
        auto* grid = new QGridLayout;
        auto* fader = new QSlider(Qt::Vertical, box);
        fader->setObjectName(QStringLiteral("fader%1").arg(i + 1));
        fader->setRange(-48, 12);
        fader->setValue(0);
        auto* meter = new Meter(box, scale, 0);
        meter->setTickLocations(tickTypes);
        auto* scaleWidget =
            new MeterScale(box, scale, Qt::AlignLeft | Qt::AlignTop | Qt::AlignBaseline);
        scaleWidget->setLabelLocations(labels);
        grid->addWidget(fader, 0, 0);
        grid->addWidget(meter, 0, 1);
        grid->addWidget(scaleWidget, 0, 2);
        auto* solo = new QToolButton(box);
        solo->setObjectName(QStringLiteral("solo%1").arg(i + 1));
        solo->setText(QStringLiteral("S"));
        solo->setCheckable(true);
        auto* mute = new QToolButton(box);
        mute->setObjectName(QStringLiteral("mute%1").arg(i + 1));
        mute->setText(QStringLiteral("M"));
        mute->setCheckable(true);
        grid->addWidget(solo, 1, 0);
        grid->addWidget(mute, 1, 1);
        inner->addLayout(grid);
        column->addWidget(box);
        auto* gain = new QLineEdit(QStringLiteral("0"), this);
        gain->setObjectName(QStringLiteral("gain%1").arg(i + 1));
        auto* name = new QLineEdit(this);
        name->setObjectName(QStringLiteral("name%1").arg(i + 1));
        name->setEnabled(false);
        column->addWidget(gain);
        column->addWidget(name);
        row->addLayout(column);
        if (i == channels - 1)
            box->setFixedWidth(70);
        else
            box->setMaximumWidth(70);

        m_faders << fader;
        m_pans << pan;
        m_solos << solo;
        m_mutes << mute;
        m_gains << gain;
        m_names << name;
        m_meters << meter;
        connect(fader, &QSlider::valueChanged, this, &Mixer::volums_valueChanged);
        connect(gain, &QLineEdit::editingFinished, this, &Mixer::gains_editingFinished);
        connect(pan, &QSlider::valueChanged, this, &Mixer::pans_valueChanged);
        connect(mute, &QToolButton::clicked, this, &Mixer::mutes_clicked);
        connect(solo, &QToolButton::clicked, this, &Mixer::solos_clicked);
    }
    m_hold = QByteArray(channels, 0);
    m_fall = QByteArray(channels, 0);
    m_peaks = QList<float>(channels, 41.0f);
    m_levels = QList<float>(2 * channels, 41.0f);
    m_decay.setInterval(50);
    connect(&m_decay, &QTimer::timeout, this, &Mixer::updateDecay);
}

template <typename W> int Mixer::stripOf(const QList<W*>& list) const
{
    return int(list.indexOf(qobject_cast<W*>(sender())));
}

bool Mixer::stripActive(int strip) const
{
    return strip >= 0 && strip < (m_everPlayed ? m_active : int(m_meters.size()));
}

void Mixer::send(int kind, int channel, const QVariant& value)
{
    emit commandUpdate(kind, channel, value);
}

void Mixer::volums_valueChanged(int v)
{
    const int strip = stripOf(m_faders);
    if (!stripActive(strip))
        return;
    m_gains[strip]->setText(v > 0 ? QStringLiteral("+%1").arg(v) : QString::number(v));
    send(CmdGain, strip, v + 48);
}

void Mixer::gains_editingFinished()
{
    const int strip = stripOf(m_gains);
    if (!stripActive(strip))
        return;
    QString text = m_gains[strip]->text();
    text.remove(QLatin1Char('+'));
    const int v = text.trimmed().toInt();
    if (v + 48 >= 0 && v + 48 <= 60) {
        const QSignalBlocker block(m_faders[strip]);
        m_faders[strip]->setValue(v);
    }
    send(CmdGain, strip, v + 48);
}

void Mixer::pans_valueChanged(int p)
{
    const int strip = stripOf(m_pans);
    if (stripActive(strip))
        send(CmdPan, strip, p);
}

void Mixer::mutes_clicked(bool on)
{
    const int strip = stripOf(m_mutes);
    if (!stripActive(strip))
        return;
    if (m_solos[strip]->isChecked())
        m_solos[strip]->setChecked(false);
    send(CmdMute, strip, on);
}

void Mixer::solos_clicked(bool on)
{
    const int c = stripOf(m_solos);
    if (!stripActive(c))
        return;
    const int n = m_everPlayed ? m_active : int(m_meters.size());
    if (on) {
        if (m_mutes[c]->isChecked()) {
            m_mutes[c]->setChecked(false);
            send(CmdMute, c, false);
        }
        for (int i = 0; i < n; ++i)
            if (!m_solos[i]->isChecked() && !m_mutes[i]->isChecked()) {
                m_mutes[i]->setChecked(true);
                send(CmdMute, i, true);
            }
        return;
    }
    bool anySolo = false;
    for (int i = 0; i < n; ++i)
        anySolo = anySolo || m_solos[i]->isChecked();
    if (anySolo) {
        // Other strips are still soloed: this one is now silenced like every
        // strip that is not.
        if (!m_mutes[c]->isChecked()) {
            m_mutes[c]->setChecked(true);
            send(CmdMute, c, true);
        }
        return;
    }
    for (int i = 0; i < n; ++i)
        if (i != c && m_mutes[i]->isChecked()) {
            m_mutes[i]->setChecked(false);
            send(CmdMute, i, false);
        }
}

void Mixer::initControls(int n)
{
    for (Meter* m : m_meters)
        m->clearValue();
    for (QLineEdit* e : m_names)
        e->clear();
    for (int i = n; i < m_meters.size(); ++i) {
        m_gains[i]->setText(QStringLiteral("0"));
        m_pans[i]->setValue(i % 2 == 0 ? 1 : 3);
        m_faders[i]->setValue(0);
        m_mutes[i]->setChecked(false);
        m_solos[i]->setChecked(false);
    }
}

void Mixer::setTrackNames(const QStringList& names)
{
    for (QLineEdit* e : m_names)
        e->clear();
    for (int i = 0; i < names.size() && i < m_names.size(); ++i)
        m_names[i]->setText(names[i]);
}

void Mixer::on_playStarted(const QString& path)
{
    const TakeTracks take = TakeTracks::read(path);
    m_playing = true;
    m_everPlayed = true;
    m_currentTake = path;
    m_active = std::min(take.channels, int(m_meters.size()));
    initControls(m_active);
    for (int i = 0; i < m_active; ++i)
        send(CmdPan, i, m_pans[i]->value());
    for (int i = 0; i < m_active; ++i)
        send(CmdGain, i, m_faders[i]->value() + 48);
    for (int i = 0; i < m_active; ++i)
        send(CmdMute, i, m_mutes[i]->isChecked());
    setTrackNames(take.trackNames);
    QSettings settings;
    if (settings.value(QStringLiteral("Preferences/showMixerOnPlay"), 2).toInt() == 2 &&
        !isVisible())
        emit startMixer();
}

void Mixer::on_playStoped()
{
    m_playing = false;
    for (float& l : m_levels)
        l = 41.0f;
    m_decay.start();
}

void Mixer::on_playPaused(bool playing)
{
    for (float& l : m_levels)
        l = 41.0f;
    if (!playing)
        m_decay.start();
    else
        clearPeakHolds();
}

void Mixer::on_meterUpdate(const QList<float>& levels)
{
    if (levels.isEmpty() || levels.size() > 2 * m_meters.size())
        return;
    for (int i = 0; i < levels.size(); ++i)
        m_levels[i] = levels[i];
    updateMeters();
}

void Mixer::on_meterPeakHoldTimeUpdate(quint16 ms)
{
    m_holdTime = ms / 50 + 4;
}

void Mixer::on_currentTakeChanged(const QString& path)
{
    if (m_playing)
        return;
    m_currentTake = path;
    setTrackNames(TakeTracks::read(path).trackNames);
}

void Mixer::updateDecay()
{
    bool falling = false;
    for (float p : m_peaks)
        falling = falling || p < 40.0f;
    if (falling)
        updateMeters();
    else
        m_decay.stop();
}

void Mixer::clearPeakHolds()
{
    m_hold.fill(0);
}

// Peak hold and fall, once per incoming level list or decay tick: a peak
// stays for the hold time, then falls 3 dB, waits a tick, falls again and
// from then on falls 3 dB a tick until it reaches the floor.
void Mixer::updateMeters()
{
    for (char& h : m_hold)
        if (h > 0)
            --h;
    for (int ch = 0; ch < m_meters.size(); ++ch) {
        const float level = (m_mode & 1) ? m_levels[2 * ch] : 41.0f;
        float& peak = m_peaks[ch];
        if (m_mode & 2) {
            if (m_hold[ch] == 0 && peak < 40.0f)
                peak += 3.0f;
            const float candidate = m_levels[2 * ch + 1];
            if (candidate < peak) {
                peak = candidate;
                m_hold[ch] = char(m_holdTime);
                m_fall[ch] = 5;
            }
        } else {
            peak = 41.0f;
        }
        if (m_mode & 1)
            m_meters[ch]->updateValue(level, peak);
        else if (m_mode & 2)
            m_meters[ch]->updateValue(peak, 41.0f);
        if (m_hold[ch] == 0) {
            m_fall[ch] = char(m_fall[ch] / 2);
            m_hold[ch] = m_fall[ch];
        }
    }
}
