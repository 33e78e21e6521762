#include "AudioFile.h"


using namespace SoundDefs;

namespace {

// 30-frame drop-frame constants: frames per hour, per minute after the drop.
constexpr unsigned long long kDfFramesPerHour = 107892;
constexpr unsigned long long kDfFramesPerMinute = 1798;
// Row used when a take's own rate cannot be found: 30 ND.
constexpr int kDefaultRateIndex = 5;

// Appends v with at least two digits, zero-padded (arg(v, 2, 10, '0')).
// Built by hand: every row of the take list formats three timecodes.
void appendTwo(QString& out, int v)
{
    if (v >= 0 && v < 100) {
        const char16_t digits[2] = {char16_t(u'0' + v / 10), char16_t(u'0' + v % 10)};
        out.append(reinterpret_cast<const QChar*>(digits), 2);
    } else {
        out += QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
    }
}

// "hh:mm:ss"
QString clockText(int h, int m, int s)
{
    QString t;
    t.reserve(8);
    appendTwo(t, h);
    t += QLatin1Char(':');
    appendTwo(t, m);
    t += QLatin1Char(':');
    appendTwo(t, s);
    return t;
}

bool endsWithNd(const QString& text)
{
    return text.endsWith(QLatin1String("ND"), Qt::CaseInsensitive) ||
           text.endsWith(QLatin1String("NDF"), Qt::CaseInsensitive);
}

} // namespace

QString AudioFile::descriptionValue(const char* key) const
{
    QString v;
    if (m_info.hasBext)
        m_bext.GetDescriptionValue(key, v, false);
    return v;
}

int AudioFile::userRateIndex(const QString& userRate) const
{
    return m_userPresentation.indexOf(userRate);
}

int AudioFile::getTCConstantsIndex() const
{
    if (m_info.hasIxml) {
        for (int i = 0; i < m_iXMLPresentation.size(); ++i) {
            if (m_iXMLPresentation.at(i) == m_info.ixml.TIMECODE_RATE &&
                m_dropFrameFlag.at(i) == m_info.ixml.TIMECODE_FLAG)
                return i;
        }
        return -1;
    }
    if (!m_info.hasBext)
        return -1;
    const QString speed = descriptionValue("SPEED");
    if (!speed.isEmpty())
        return m_bextPresentation.indexOf(speed);

    const QString rate = descriptionValue("FRAMERATE");
    if (rate.isEmpty())
        return -1;
    // The leading integer of texts such as "25ND" or "29.97DF".
    const QString trimmed = rate.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && digits < 9 && trimmed.at(digits).isDigit())
        ++digits;
    const int n = trimmed.left(digits).toInt();
    const QString suffix = endsWithNd(rate) ? QStringLiteral("ND") : QStringLiteral("DF");
    const QString number = QString::number(n);
    for (int i = 0; i < m_bextPresentation.size(); ++i) {
        const QString& row = m_bextPresentation.at(i);
        if (row.contains(number, Qt::CaseInsensitive) && row.contains(suffix, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

QString AudioFile::GetTCFlag() const
{
    QString flag = m_info.hasIxml ? m_info.ixml.TIMECODE_FLAG : QString();
    if (flag.isEmpty() && m_info.hasBext) {
        flag = descriptionValue("SPEED");
        if (flag.isEmpty())
            flag = descriptionValue("FRAMERATE");
    }
    if (flag.isEmpty() || endsWithNd(flag))
        return QStringLiteral("ND");
    return QStringLiteral("DF");
}

bool AudioFile::IsDropFrame(const QString& flag)
{
    return flag.compare(QLatin1String("DF"), Qt::CaseInsensitive) == 0;
}

QString AudioFile::GetFrameRate() const
{
    const int i = getTCConstantsIndex();
    return i < 0 ? QString() : m_userPresentation.at(i);
}

void AudioFile::SetFrameRate(const QString& userRate)
{
    const int i = userRateIndex(userRate);
    if (i < 0)
        return;
    m_info.ixml.MASTER_SPEED = m_iXMLPresentation.at(i);
    m_info.ixml.TIMECODE_RATE = m_iXMLPresentation.at(i);
    m_info.ixml.TIMECODE_FLAG = m_dropFrameFlag.at(i);
    UpdateFileInfo();
    if (m_info.hasBext)
        m_bext.SetValue(QStringLiteral("SPEED"), m_bextPresentation.at(i));
}

QString AudioFile::GetTCRate() const
{
    QString rate;
    if (m_info.hasBext) {
        rate = descriptionValue("SPEED");
        if (rate.isEmpty())
            rate = descriptionValue("FRAMERATE");
    } else if (m_info.hasIxml) {
        rate = m_info.ixml.TIMECODE_RATE;
    }
    return rate.isEmpty() ? QStringLiteral("30/1") : rate;
}

void AudioFile::SetTCFlag(const QString& flag)
{
    m_info.ixml.TIMECODE_FLAG = flag;
    UpdateFileInfo();
}

// frames = (mf * fc * samples) / (rf * rate), truncating. 128-bit so that any
// 64-bit sample count is safe.
static bool samplesToFrames(int index, unsigned long long samples, int sampleRate,
                            unsigned long long& frames)
{
    if (index < 0 || index > 6 || sampleRate <= 0)
        return false;
    using u128 = unsigned __int128;
    const u128 num = u128(AudioFile::m_mFactor[index]) * u128(AudioFile::m_frameCount[index]) *
                     u128(samples);
    const u128 den = u128(AudioFile::m_rFactor[index]) * u128(unsigned(sampleRate));
    frames = static_cast<unsigned long long>(num / den);
    return true;
}

bool AudioFile::getNonDropFrameTC(int index, unsigned long long samples, int& h, int& m, int& s,
                                  int& f) const
{
    return getNonDropFrameTC(index, samples, int(m_info.sampleRate), h, m, s, f);
}

bool AudioFile::getNonDropFrameTC(int index, unsigned long long samples, int sampleRate, int& h,
                                  int& m, int& s, int& f) const
{
    unsigned long long frames = 0;
    if (!samplesToFrames(index, samples, sampleRate, frames))
        return false;
    const unsigned long long fc = unsigned(m_frameCount[index]);
    const unsigned long long seconds = frames / fc;
    f = int(frames - seconds * fc);
    h = int(seconds / 3600);
    m = int((seconds % 3600) / 60);
    s = int(seconds % 60);
    return true;
}

bool AudioFile::getDropFrameTC(int index, unsigned long long samples, int& h, int& m, int& s,
                               int& f) const
{
    return getDropFrameTC(index, samples, int(m_info.sampleRate), h, m, s, f);
}

bool AudioFile::getDropFrameTC(int index, unsigned long long samples, int sampleRate, int& h,
                               int& m, int& s, int& f) const
{
    unsigned long long frames = 0;
    if (!samplesToFrames(index, samples, sampleRate, frames))
        return false;
    h = int(frames / kDfFramesPerHour);
    const unsigned long long r = frames % kDfFramesPerHour;
    const unsigned long long t = r / kDfFramesPerMinute;
    const unsigned long long mm = (r - 2 * (t / 10)) / kDfFramesPerMinute;
    const unsigned long long x = r - kDfFramesPerMinute * mm - 2 * (mm / 10);
    m = int(mm);
    s = int(x / 30);
    f = int(x % 30);
    return true;
}

bool AudioFile::getStartTime(int& h, int& m, int& s, int& f) const
{
    int index = getTCConstantsIndex();
    if (index < 0)
        index = kDefaultRateIndex;
    return IsDropFrame(GetTCFlag()) ? getDropFrameTC(index, m_info.timeReference, h, m, s, f)
                                    : getNonDropFrameTC(index, m_info.timeReference, h, m, s, f);
}

bool AudioFile::getEndTime(int& h, int& m, int& s, int& f) const
{
    int index = getTCConstantsIndex();
    if (index < 0)
        index = kDefaultRateIndex;
    const unsigned long long end = m_info.timeReference + m_info.totalSamples;
    return IsDropFrame(GetTCFlag()) ? getDropFrameTC(index, end, h, m, s, f)
                                    : getNonDropFrameTC(index, end, h, m, s, f);
}

QString AudioFile::FormatTC(int h, int m, int s, int f, bool dropFrame)
{
    QString t = clockText(h, m, s);
    t += QLatin1Char(dropFrame ? ';' : ':');
    appendTwo(t, f);
    return t;
}

QString AudioFile::formatSamplesTC(unsigned long long samples, int index, bool dropFrame,
                                   quint32 rate) const
{
    int h = 0, m = 0, s = 0, f = 0;
    const bool ok = dropFrame ? getDropFrameTC(index, samples, int(rate), h, m, s, f)
                              : getNonDropFrameTC(index, samples, int(rate), h, m, s, f);
    return ok ? FormatTC(h, m, s, f, dropFrame) : QString();
}

namespace {
int takeIndexOrDefault(const AudioFile& file)
{
    const int i = file.getTCConstantsIndex();
    return i < 0 ? kDefaultRateIndex : i;
}
} // namespace

QString AudioFile::GetTCStart() const { return GetTCStart(int(m_info.sampleRate)); }

QString AudioFile::GetTCStart(int rate) const
{
    return formatSamplesTC(m_info.timeReference, takeIndexOrDefault(*this),
                           IsDropFrame(GetTCFlag()), quint32(rate));
}

QString AudioFile::GetTCStart(const QString& userRate) const
{
    return GetTCStart(userRate, int(m_info.sampleRate));
}

QString AudioFile::GetTCStart(const QString& userRate, int rate) const
{
    const int i = userRateIndex(userRate);
    if (i < 0)
        return QString();
    return formatSamplesTC(m_info.timeReference, i, userRate.contains(QLatin1String("DF")),
                           quint32(rate));
}

QString AudioFile::GetTCEnd() const
{
    return formatSamplesTC(m_info.timeReference + m_info.totalSamples, takeIndexOrDefault(*this),
                           IsDropFrame(GetTCFlag()), m_info.sampleRate);
}

QString AudioFile::GetTCEnd(unsigned int offset) const
{
    return formatSamplesTC(m_info.timeReference + offset, takeIndexOrDefault(*this),
                           IsDropFrame(GetTCFlag()), m_info.sampleRate);
}

QString AudioFile::GetTCEnd(const QString& userRate, int rate) const
{
    return GetTCEnd(QString::number(m_info.timeReference), userRate, rate);
}

QString AudioFile::GetTCEnd(const QString& start, const QString& userRate, int rate) const
{
    const int i = userRateIndex(userRate);
    if (i < 0)
        return QString();
    return formatSamplesTC(start.toULongLong() + m_info.totalSamples, i,
                           userRate.contains(QLatin1String("DF")), quint32(rate));
}

QString AudioFile::GetSyncPointTC(int i) const
{
    if (!m_info.hasIxml || i < 0 || i >= m_info.ixml.syncPoints.size())
        return QString();
    const AudioSyncPoint& p = m_info.ixml.syncPoints.at(i);
    const unsigned long long samples = (p.high.toULongLong() << 32) + p.low.toULongLong();
    return formatSamplesTC(samples, takeIndexOrDefault(*this), IsDropFrame(GetTCFlag()),
                           m_info.sampleRate);
}

static QString formatSeconds(unsigned long long seconds)
{
    return clockText(int(seconds / 3600), int((seconds / 60) % 60), int(seconds % 60));
}

QString AudioFile::GetDuration() const { return GetDuration(int(m_info.sampleRate)); }

QString AudioFile::GetDuration(int rate) const
{
    if (rate <= 0)
        return QString();
    const auto ms = static_cast<unsigned long long>(double(m_info.totalSamples) * 1000.0 / rate + 0.5);
    return formatSeconds(ms / 1000);
}

QString AudioFile::GetSyncPointDuration(int i) const
{
    if (!m_info.hasIxml || i < 0 || i >= m_info.ixml.syncPoints.size())
        return QString();
    const unsigned long long samples = m_info.ixml.syncPoints.at(i).eventDuration.toULongLong();
    const int index = takeIndexOrDefault(*this);
    int h = 0, m = 0, s = 0, f = 0;
    const bool ok = IsDropFrame(GetTCFlag()) ? getDropFrameTC(index, samples, h, m, s, f)
                                             : getNonDropFrameTC(index, samples, h, m, s, f);
    if (!ok)
        return QString();
    return clockText(h, m, s);
}

static QString formatPosition(unsigned long long samples, quint32 rate, bool left)
{
    if (rate == 0)
        return QString();
    const auto ms = static_cast<unsigned long long>(double(samples) * 1000.0 / rate + 0.5);
    const unsigned long long seconds = ms / 1000;
    QString t = left ? QStringLiteral("-") : QString();
    t += clockText(int(seconds / 3600), int((seconds / 60) % 60), int(seconds % 60));
    t += QLatin1Char('.');
    t += QString::number((ms % 1000) / 100);
    return t;
}

QString AudioFile::GetSample2Time(unsigned int samples) const
{
    return formatPosition(samples, m_info.sampleRate, false);
}

QString AudioFile::GetSample2TimeLeft(unsigned int samples) const
{
    const unsigned long long rest =
        m_info.totalSamples > samples ? m_info.totalSamples - samples : 0;
    return formatPosition(rest, m_info.sampleRate, true);
}

QString AudioFile::GetSamplesSinceMidnight() const { return QString::number(m_info.timeReference); }

QString AudioFile::GetSamplesSinceMidnight(const QString& userRate, const QString& tc) const
{
    return GetSamplesSinceMidnight(int(m_info.sampleRate), userRate, tc);
}

QString AudioFile::GetSamplesSinceMidnight(int rate, const QString& userRate,
                                           const QString& tc) const
{
    const int i = userRateIndex(userRate);
    int h = 0, m = 0, s = 0, f = 0;
    if (i < 0 || rate <= 0 || !parseTC(tc, h, m, s, f) || h < 0 || m < 0 || s < 0 || f < 0)
        return QString();
    unsigned long long frames;
    if (userRate.contains(QLatin1String("DF")))
        frames = kDfFramesPerHour * h + kDfFramesPerMinute * m + 2 * (m / 10) + 30ull * s + f;
    else
        frames = (3600ull * h + 60ull * m + s) * unsigned(m_frameCount[i]) + f;
    // The first sample of the frame: its exact start, rounded up when it falls
    // between two samples. The frame of that sample (rounded down) is the same
    // frame again, so a start timecode survives a change of rate, and a take
    // that starts on a frame keeps its exact timestamp.
    using u128 = unsigned __int128;
    const u128 num = u128(frames) * u128(m_rFactor[i]) * u128(unsigned(rate));
    const u128 den = u128(m_mFactor[i]) * u128(m_frameCount[i]);
    return QString::number(static_cast<unsigned long long>((num + den - 1) / den));
}

void AudioFile::SetSamplesSinceMidnight(const QString& samples)
{
    const unsigned long long v = samples.toULongLong();
    const QString hi = QString::number(quint32(v >> 32));
    const QString lo = QString::number(quint32(v & 0xFFFFFFFFu));
    m_info.timeReference = v;
    m_info.ixml.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI = hi;
    m_info.ixml.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO = lo;
    m_info.ixml.BWF_TIME_REFERENCE_HIGH = hi;
    m_info.ixml.BWF_TIME_REFERENCE_LOW = lo;
    if (m_info.hasBext) {
        m_bext.SetBextField(cAudioBext::TimeReferenceLow, quint32(v & 0xFFFFFFFFu));
        m_bext.SetBextField(cAudioBext::TimeReferenceHigh, quint32(v >> 32));
    }
    UpdateFileInfo();
}

bool AudioFile::parseTC(const QString& tc, int& h, int& m, int& s, int& f)
{
    const QStringList parts = tc.split(QLatin1Char(':'));
    if (parts.size() < 1 || parts.at(0).isEmpty())
        return false;
    h = parts.at(0).toInt();
    if (parts.size() < 2 || parts.at(1).isEmpty())
        return false;
    m = parts.at(1).toInt();
    if (parts.size() < 3 || parts.at(2).isEmpty())
        return false;
    QString sec = parts.at(2);
    if (sec.size() >= 3)
        sec.truncate(2);
    s = sec.toInt();
    const QString frames = tc.right(2);
    if (frames.isEmpty())
        return false;
    f = frames.toInt();
    return true;
}
