#include "PeakEnvelope.h"

#include "AudioFile.h"
#include "PlaybackMix.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

using namespace Playback;

PeakEnvelope PeakEnvelope::compute(const QStringList& files, int bins)
{
    PeakEnvelope env;
    if (files.isEmpty() || bins <= 0)
        return env;
    std::vector<std::unique_ptr<AudioFile>> takes;
    for (const QString& path : files) {
        auto f = std::make_unique<AudioFile>();
        if (!f->Open(path) || f->m_info.fileType != SoundDefs::kFileTypeWave ||
            !f->Open(QIODevice::ReadOnly) || !f->Seek(f->m_fileDataPos, true))
            return env;
        takes.push_back(std::move(f));
    }
    const SoundDefs::AudioFileInfo& first = takes.front()->m_info;
    const SampleFormat format = sampleFormatFor(first.formatTag, first.bitsPerSample);
    const int bps = bytesPerSample(format);
    const int perFile = takes.size() > 1 ? 1 : first.channels;
    const quint64 total = first.totalSamples;
    if (format == SampleFormat::Invalid || perFile <= 0 || total == 0)
        return env;
    env.channels = int(takes.size()) * perFile;
    env.bins = bins;
    env.peaks.assign(size_t(bins) * size_t(env.channels), 0.0f);
    constexpr quint64 kFrames = 65536;
    QByteArray buf;
    for (size_t t = 0; t < takes.size(); ++t) {
        const int stride = bps * perFile;
        buf.resize(qsizetype(kFrames) * stride);
        for (quint64 frame = 0; frame < total;) {
            const quint64 want = std::min(kFrames, total - frame);
            const qint64 got = takes[t]->Read(buf.data(), qint64(want) * stride) / stride;
            if (got <= 0)
                break;
            const auto* p = reinterpret_cast<const uchar*>(buf.constData());
            for (qint64 f = 0; f < got; ++f, ++frame) {
                const size_t bin = size_t(frame * quint64(bins) / total);
                for (int c = 0; c < perFile; ++c, p += bps) {
                    float& peak = env.peaks[bin * size_t(env.channels) + t + size_t(c)];
                    peak = std::max(peak, std::fabs(sampleValue(p, format)));
                }
            }
        }
        takes[t]->Close();
    }
    return env;
}

QList<PeakEnvelopeCache::Stamp> PeakEnvelopeCache::stampsOf(const QStringList& files)
{
    QList<Stamp> stamps;
    for (const QString& f : files) {
        const QFileInfo info(f);
        stamps.append({info.exists() ? info.size() : -1, info.lastModified()});
    }
    return stamps;
}

std::shared_ptr<const PeakEnvelope> PeakEnvelopeCache::find(const QStringList& files) const
{
    const auto it = m_entries.constFind(files.join(QLatin1Char('\n')));
    if (it == m_entries.constEnd() || it->stamps != stampsOf(files))
        return nullptr;
    return it->envelope;
}

void PeakEnvelopeCache::insert(const QStringList& files,
                               std::shared_ptr<const PeakEnvelope> envelope)
{
    m_entries.insert(files.join(QLatin1Char('\n')), {stampsOf(files), std::move(envelope)});
}
