#include "AudioFile.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace SoundDefs;

namespace {
constexpr int kStreamInfo = 0;
constexpr int kApplication = 2;
constexpr quint32 kStreamInfoSize = 34;
// Chunk bodies carried in FLAC blocks are metadata; anything larger is not
// read into memory.
constexpr quint32 kMaxMetadataBlock = 16u * 1024u * 1024u;
} // namespace

// Walks the metadata blocks after the "fLaC" marker. Format comes from
// STREAMINFO; bext and iXML come from APPLICATION blocks in any of the forms
// encoders use: id "RIFF" followed by chunks, the foreign-metadata form (id
// "riff", one chunk per block), or id "bext"/"iXML" followed by a chunk body.
bool AudioFile::ParseFlacMetadata()
{
    m_info.fileType = kFileTypeFlac;
    AudioFlacHdr hdr;
    if (Read(hdr.header, 4) != 4 || hdr.type() != kStreamInfo || hdr.length() < kStreamInfoSize)
        return false;
    QByteArray streamInfo(int(kStreamInfoSize), '\0');
    if (Read(streamInfo.data(), kStreamInfoSize) != kStreamInfoSize)
        return false;
    AnalizeFlacAudioInfo(streamInfo);
    quint64 next = GetPos() + (hdr.length() - kStreamInfoSize);

    bool lastBlock = hdr.isLast();
    while (!lastBlock) {
        if (!Seek(next, true) || Read(hdr.header, 4) != 4)
            break; // truncated metadata: keep what was read
        lastBlock = hdr.isLast();
        const quint32 length = hdr.length();
        const quint64 bodyPos = GetPos();
        const quint64 blockEnd = bodyPos + length;
        if (blockEnd > m_fileSize)
            break;
        if (hdr.type() == kApplication && length >= 4)
            ParseFlacApplication(length, blockEnd);
        next = blockEnd;
    }
    // The RIFF positions and sizes found inside blocks describe the original
    // WAVE file, not this one.
    m_fileDataPos = 0;
    m_info.dataSize = quint64(m_info.blockAlign) * m_info.totalSamples;
    return true;
}

bool AudioFile::ParseFlacApplication(quint32 length, quint64 blockEnd)
{
    char appId[4];
    if (Read(appId, 4) != 4)
        return false;
    const quint32 rest = length - 4;
    if (std::memcmp(appId, "RIFF", 4) == 0) {
        WalkChunks(rest, blockEnd);
        return true;
    }
    if (std::memcmp(appId, "riff", 4) == 0) {
        char head[4];
        if (rest < 8 || Read(head, 4) != 4)
            return false;
        if (std::memcmp(head, "RIFF", 4) == 0)
            return true; // the RIFF/WAVE header block carries no chunk
        Seek(blockEnd - rest, true);
        WalkChunks(rest, blockEnd);
        return true;
    }
    const bool isBext = std::memcmp(appId, "bext", 4) == 0;
    const bool isIxml = std::memcmp(appId, "iXML", 4) == 0;
    if ((!isBext && !isIxml) || rest > kMaxMetadataBlock)
        return false;
    QByteArray body(int(rest), '\0');
    const qint64 got = Read(body.data(), rest);
    body.truncate(int(std::max<qint64>(got, 0)));
    if (isBext) {
        m_bextDataPos = blockEnd - rest;
        m_bextChunkSize = quint32(body.size());
        AnalizeBextAudioInfo(body);
    } else {
        m_ixmlDataPos = blockEnd - rest;
        m_ixmlChunkSize = quint32(body.size());
        AnalizeIxmlAudioInfo(body);
    }
    return true;
}

void AudioFile::AnalizeFlacAudioInfo(const QByteArray& streamInfo)
{
    const auto* b = reinterpret_cast<const quint8*>(streamInfo.constData());
    m_info.sampleRate = (quint32(b[10]) << 12) | (quint32(b[11]) << 4) | (b[12] >> 4);
    m_info.channels = quint16(((b[12] >> 1) & 7) + 1);
    m_info.bitsPerSample = quint16((((b[12] & 1) << 4) | (b[13] >> 4)) + 1);
    m_info.blockAlign = quint16(((m_info.bitsPerSample + 7) / 8) * m_info.channels);
    m_info.totalSamples = (quint64(b[13] & 0x0F) << 32) | (quint64(b[14]) << 24) |
                          (quint64(b[15]) << 16) | (quint64(b[16]) << 8) | quint64(b[17]);
    m_info.durationMs =
        m_info.sampleRate ? quint64(double(m_info.totalSamples) * 1000.0 / m_info.sampleRate + 0.5)
                          : 0;
    m_info.dataSize = quint64(m_info.blockAlign) * m_info.totalSamples;
    m_info.formatTag = kFormatPcm;
}
