#include "AudioFile.h"

#include "IxmlParser.h"
#include "LogCategories.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace SoundDefs;

namespace {

// Body bytes kept of a "fmt " chunk: the extensible form needs 40.
constexpr quint64 kFmtReadLimit = 64;

quint64 evenSize(quint64 size) { return size + (size & 1u); }

bool idIs(const char* id, const char* want) { return std::memcmp(id, want, 4) == 0; }

} // namespace

AudioFile::AudioFile(bool fmtDataOnly) : m_fmtDataOnly(fmtDataOnly)
{
    m_info.Clear();
    m_bext.SetHeader(&m_info.bextHeader);
}

AudioFile::~AudioFile() { Reset(false); }

AudioFile& AudioFile::operator=(const AudioFile& other)
{
    if (this == &other)
        return *this;
    Close();
    setFileName(other.fileName());
    m_info = other.m_info;
    m_fileDataPos = other.m_fileDataPos;
    m_rebuildIxml = other.m_rebuildIxml;
    // The description entries travel with the header: a writer compiles them
    // into it, and entries left behind would blank the description.
    m_bext.keys = other.m_bext.keys;
    m_bext.values = other.m_bext.values;
    m_bext.prefix = other.m_bext.prefix;
    m_bext.SetHeader(&m_info.bextHeader);
    return *this;
}

void AudioFile::Reset(bool removeFile)
{
    Close();
    if (removeFile && !fileName().isEmpty())
        QFile::remove();
    setFileName(QString());
    m_info.Clear();
    m_ixmlChunkSize = 0;
    m_ixmlDataPos = 0;
    m_bextDataPos = 0;
    m_bextChunkSize = 0;
    m_fileSize = 0;
    m_isRf64 = false;
    m_errorText.clear();
    m_bext.Clear();
    m_bext.SetHeader(&m_info.bextHeader);
}

bool AudioFile::Init(const QString& path, bool removeFirst)
{
    Reset(false);
    if (path.isEmpty())
        return false;
    setFileName(path);
    if (removeFirst)
        QFile::remove(path);

    if (QFile::exists(path))
        return ReadContainer();

    // A missing path becomes an empty file: the writers create new takes this way.
    if (!cFile::Open(QIODevice::WriteOnly)) {
        Reset(false);
        return false;
    }
    Close();
    return true;
}

bool AudioFile::Open(const QString& path)
{
    Reset(false);
    if (path.isEmpty()) {
        m_errorText = QStringLiteral("no path given");
        return false;
    }
    const QFileInfo fi(path);
    if (!fi.exists()) {
        m_errorText = QStringLiteral("no such file");
        return false;
    }
    if (fi.isDir()) {
        m_errorText = QStringLiteral("is a folder, not a take file");
        return false;
    }
    setFileName(path);
    return ReadContainer();
}

// Reads the opened path; on failure the record is reset and m_errorText says why.
bool AudioFile::ReadContainer()
{
    bool ok = false;
    QString why;
    m_fileSize = quint64(QFile::size());
    if (!cFile::Open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot be opened: %1").arg(errorString());
    } else {
        char magic[4] = {0, 0, 0, 0};
        const qint64 got = Read(magic, 4);
        if (got == 4 && idIs(magic, "RIFF")) {
            quint32 riffSize = 0;
            char form[4] = {0, 0, 0, 0};
            if (Read(&riffSize, 4) == 4 && Read(form, 4) == 4 && idIs(form, "WAVE")) {
                m_info.fileType = kFileTypeWave;
                ok = ParseRiffHrds(qFromLittleEndian(riffSize), m_fileSize);
                if (!ok)
                    why = QStringLiteral("not a take: no usable fmt chunk");
            } else {
                why = QStringLiteral("not a take: RIFF file of another form than WAVE");
            }
        } else if (got == 4 && (idIs(magic, "RF64") || idIs(magic, "BW64"))) {
            m_isRf64 = true;
            why = QStringLiteral("RF64 takes are not supported yet");
        } else if (got == 4 && idIs(magic, "fLaC")) {
            ok = ParseFlacMetadata();
            if (!ok)
                why = QStringLiteral("not a take: damaged FLAC metadata");
        } else {
            why = QStringLiteral("not a take: neither a WAVE nor a FLAC file");
        }
        Close();
    }
    if (!ok) {
        const QString path = fileName();
        const bool rf64 = m_isRf64;
        Reset(false);
        setFileName(path);
        m_isRf64 = rf64;
        m_errorText = why;
        return false;
    }
    FinishChannelList();
    return true;
}

bool AudioFile::ParseRiffHrds(quint64 riffSize, quint64 limit)
{
    m_riffSize = quint32(riffSize);
    WalkChunks(riffSize, limit);
    return FinishWave();
}

// Walks chunks from the current position. remaining counts down from the
// RIFF size as the file states it; limit is the absolute end of the bytes
// that may be read (end of file, or end of a FLAC block). No read or
// allocation ever passes limit, whatever a size field claims.
void AudioFile::WalkChunks(quint64 remaining, quint64 limit)
{
    while (remaining > 8) {
        char id[4];
        if (Read(id, 4) != 4)
            break;
        const quint64 bodyPos = GetPos() + 4;
        const quint64 left = limit > bodyPos ? limit - bodyPos : 0;
        quint64 consumed = 0;
        bool last = false;
        if (!m_fmtDataOnly && bodyPos <= limit) {
            quint32 declared = 0;
            const quint64 here = GetPos();
            if (Read(&declared, 4) == 4)
                m_info.chunks.append({QByteArray(id, 4), bodyPos - 8, bodyPos,
                                      qFromLittleEndian(declared)});
            Seek(here, true);
        }

        auto skipChunk = [&]() {
            quint32 raw = 0;
            if (Read(&raw, 4) != 4)
                return false;
            const quint64 size = qFromLittleEndian(raw);
            if (size <= remaining) {
                consumed = evenSize(size);
                Seek(bodyPos + consumed, true);
            } else {
                consumed = 4;
            }
            return true;
        };

        if (idIs(id, "fmt ")) {
            if (!m_fmtDataOnly)
                m_fmtDataPos = bodyPos;
            AudioRiffHdr hdr;
            consumed = quint64(hdr.StreamIn(*this, std::min(left, kFmtReadLimit)));
            // Only the head of the body is read; the rest (extension bytes, or
            // what a lying size claims) is skipped as if read.
            if (hdr.size > consumed) {
                consumed = hdr.size;
                Seek(bodyPos + consumed, true);
            }
            AnalizeFmtAudioInfo(hdr.buffer);
            if (!m_fmtDataOnly)
                m_info.fmtBody = hdr.buffer.left(qsizetype(std::min<quint64>(hdr.size, kFmtReadLimit)));
        } else if (!m_fmtDataOnly && idIs(id, "iXML")) {
            m_ixmlDataPos = bodyPos;
            AudioRiffHdr hdr;
            consumed = quint64(hdr.StreamIn(*this, left));
            m_ixmlChunkSize = quint32(consumed);
            AnalizeIxmlAudioInfo(hdr.buffer);
        } else if (!m_fmtDataOnly && idIs(id, "bext")) {
            m_bextDataPos = bodyPos;
            AudioRiffHdr hdr;
            consumed = quint64(hdr.StreamIn(*this, left));
            m_bextChunkSize = quint32(std::min<quint64>(consumed, hdr.size));
            AnalizeBextAudioInfo(hdr.buffer);
        } else if (!m_fmtDataOnly && idIs(id, "data")) {
            m_fileDataPos = bodyPos;
            quint32 raw = 0;
            if (Read(&raw, 4) != 4)
                break;
            const quint64 size = qFromLittleEndian(raw);
            m_info.dataSize = size;
            if (size <= remaining) {
                consumed = evenSize(size);
                Seek(bodyPos + consumed, true);
                last = m_bextDataPos != 0 && m_ixmlDataPos != 0;
            } else {
                // A data size beyond the RIFF (a recording still being written, or
                // one cut short) runs to the end of the file. Walking on would read
                // audio bytes as chunk headers and could place a "chunk" inside the
                // samples, where a later in-place update would overwrite them.
                last = true;
            }
        } else if (m_fmtDataOnly && idIs(id, "data")) {
            m_fileDataPos = bodyPos;
            break;
        } else if (!skipChunk()) {
            break;
        }

        consumed = std::min(consumed, remaining);
        if (last || GetPos() >= limit)
            break;
        remaining -= std::min(remaining, 8 + consumed);
    }
}

void AudioFile::FinishChannelList()
{
    if (m_fmtDataOnly)
        return;
    if (!m_info.ixml.tracks.isEmpty())
        m_info.channelList = m_info.ixml.tracks;
    if (m_info.channelList.size() < m_info.channels) {
        m_info.channelList.clear();
        m_info.channelList.reserve(m_info.channels);
        for (int i = 1; i <= m_info.channels; ++i) {
            AudioChannelInfo ch;
            ch.name = QStringLiteral(" ");
            ch.channelIndex = i;
            ch.interleaveIndex = i;
            m_info.channelList.append(ch);
        }
    }
}

bool AudioFile::FinishWave()
{
    if (m_info.fileType != kFileTypeWave || m_info.blockAlign == 0 || m_info.sampleRate == 0)
        return false;
    if (m_fileDataPos + m_info.dataSize > m_fileSize) {
        m_info.damage = QStringLiteral("the data chunk at byte %1 declares %2 bytes, the file holds %3")
                            .arg(m_fileDataPos)
                            .arg(m_info.dataSize)
                            .arg(m_fileSize > m_fileDataPos ? m_fileSize - m_fileDataPos : 0);
        m_info.dataSize = m_fileSize > m_fileDataPos ? m_fileSize - m_fileDataPos : 0;
    } else if (quint64(m_riffSize) + 8 != m_fileSize && quint64(m_riffSize) + 9 != m_fileSize) {
        m_info.damage = QStringLiteral("the RIFF size declares %1 bytes, the file holds %2")
                            .arg(quint64(m_riffSize) + 8)
                            .arg(m_fileSize);
    }
    m_info.totalSamples = m_info.dataSize / m_info.blockAlign;
    m_info.durationMs = quint64(double(m_info.totalSamples) * 1000.0 / m_info.sampleRate + 0.5);
    return true;
}

void AudioFile::AnalizeFmtAudioInfo(const QByteArray& body)
{
    if (m_info.fileType != kFileTypeWave || body.size() < 16)
        return;
    const char* b = body.constData();
    m_info.formatTag = qFromLittleEndian<quint16>(b);
    m_info.channels = qFromLittleEndian<quint16>(b + 2);
    m_info.sampleRate = qFromLittleEndian<quint32>(b + 4);
    m_info.blockAlign = qFromLittleEndian<quint16>(b + 12);
    m_info.bitsPerSample = qFromLittleEndian<quint16>(b + 14);
    // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID starts with the real tag.
    if (m_info.formatTag == kFormatExtensible && body.size() >= 26)
        m_info.formatTag = qFromLittleEndian<quint16>(b + 24);
    qCDebug(lcCore).noquote() << "FMT Hdr Ch-" << m_info.channels << "Smpl-" << m_info.sampleRate
                              << "BlkAlgn-" << m_info.blockAlign << "Bits/Smpl-"
                              << m_info.bitsPerSample;
}

void AudioFile::AnalizeBextAudioInfo(const QByteArray& body)
{
    std::memset(&m_info.bextHeader, 0, sizeof(m_info.bextHeader));
    std::memcpy(&m_info.bextHeader, body.constData(),
                std::min<size_t>(sizeof(m_info.bextHeader), size_t(body.size())));
    m_info.hasBext = true;
    m_info.timeReference = quint64(qFromLittleEndian(m_info.bextHeader.TimeReferenceLow)) |
                           (quint64(qFromLittleEndian(m_info.bextHeader.TimeReferenceHigh)) << 32);
    m_bext.Parse(&m_info.bextHeader);

    QStringList keys, values;
    if (m_bext.GetDescriptionValues("TRK", keys, values)) {
        m_info.channelList.clear();
        for (int i = 0; i < values.size(); ++i) {
            AudioChannelInfo ch;
            ch.name = values.at(i);
            ch.channelIndex = i + 1;
            ch.interleaveIndex = 1;
            m_info.channelList.append(ch);
        }
    }
}

void AudioFile::AnalizeIxmlAudioInfo(const QByteArray& body)
{
    // The text runs to the first NUL or to the end of the body; an unpadded
    // chunk keeps its last character.
    const char* bytes = body.constData();
    const char* nul = static_cast<const char*>(std::memchr(bytes, 0, size_t(body.size())));
    qsizetype len = nul ? nul - bytes : body.size();
    // Padding after the document is insignificant; not decoding it keeps
    // reading a take cheap (new chunks carry 8 KiB of it). The body is
    // NUL-terminated at len, so strspn cannot run past it.
    const char* lastTag = static_cast<const char*>(memrchr(bytes, '>', size_t(len)));
    if (lastTag) {
        const qsizetype tail = len - (lastTag + 1 - bytes);
        if (qsizetype(std::strspn(lastTag + 1, " \r\n\t")) >= tail)
            len = lastTag + 1 - bytes;
    }
    const QByteArray raw = QByteArray::fromRawData(bytes, len);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(raw);
    if (utf8.hasError())
        text = QString::fromLatin1(raw);
    m_info.hasIxml = true;

    IxmlParser parser(m_info);
    parser.initParser();
    if (!parser.parse(text)) {
        m_info.ixmlError = parser.lastError();
        qCDebug(lcCore).noquote() << m_info.ixmlError;
    }
    m_info.ixmlDocument = text;

    const QString& hi = m_info.ixml.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI;
    const QString& lo = m_info.ixml.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO;
    if (!hi.isEmpty() || !lo.isEmpty())
        m_info.timeReference = (hi.toULongLong() << 32) + lo.toULongLong();
}

QString AudioFile::bareFileName() const { return QFileInfo(fileName()).fileName(); }
