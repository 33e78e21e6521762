#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The waveform overview of a take: per track, the largest sample magnitude
// (full scale 1.0) in each of `bins` equal stretches of the take.
struct PeakEnvelope {
    int channels = 0;
    int bins = 0;
    std::vector<float> peaks; // bins × channels, bin-major

    float peak(int bin, int channel) const
    {
        return peaks[size_t(bin) * size_t(channels) + size_t(channel)];
    }

    // Reads the take (one file, or the mono files of one take in track
    // order). Blocking; meant for a worker thread. An empty envelope
    // (channels 0) when a file is not a playable take.
    static PeakEnvelope compute(const QStringList& files, int bins);
};

// Envelopes of the takes played, each kept with the size and modification
// time of its files and dropped when a file has changed. GUI thread only.
class PeakEnvelopeCache
{
public:
    // The envelope of files when it is still that of the files on disk.
    std::shared_ptr<const PeakEnvelope> find(const QStringList& files) const;
    void insert(const QStringList& files, std::shared_ptr<const PeakEnvelope> envelope);

private:
    struct Stamp {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Stamp& o) const { return size == o.size && modified == o.modified; }
    };
    static QList<Stamp> stampsOf(const QStringList& files);
    struct Entry {
        QList<Stamp> stamps;
        std::shared_ptr<const PeakEnvelope> envelope;
    };
    QHash<QString, Entry> m_entries; // by the files joined
};
