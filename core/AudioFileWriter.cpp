#include "AudioFile.h"

#include "cUidGen.h"
#include "cXmlWriter.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace SoundDefs;

namespace {

constexpr int kTransferFrames = 16192;
constexpr quint32 kBextChunkTotal = 8 + kBextHdrSize; // 610

bool writeId(cFile& f, const char* id) { return f.Write(id, 4) == 4; }

bool write16(cFile& f, quint16 v)
{
    const quint16 le = qToLittleEndian(v);
    return f.Write(&le, 2) == 2;
}

bool write32(cFile& f, quint32 v)
{
    const quint32 le = qToLittleEndian(v);
    return f.Write(&le, 4) == 4;
}

// True when the 4 bytes before bodyPos - 4 hold id: the chunk we read is
// still where we found it (the file was not replaced since it was opened).
bool chunkStillAt(cFile& f, quint64 bodyPos, const char* id)
{
    char got[4];
    return bodyPos >= 8 && f.Seek(bodyPos - 8, true) && f.Read(got, 4) == 4 &&
           std::memcmp(got, id, 4) == 0;
}

} // namespace

QString AudioFile::RenderIxml() const
{
    QString doc;
    cAudioXmlWriter writer(&m_info, &doc);
    writer.startDoc();
    writer.WriteXmlData();
    writer.Publish();
    if (doc.endsWith(QLatin1String("\r\n")))
        doc.chop(2);
    return doc;
}

void AudioFile::UpdateFileInfo()
{
    if (m_info.hasBext && m_info.hasIxml)
        return;
    cUidGen gen;
    gen.serial = gen.GetRandom(12);
    const QString bare = bareFileName();

    if (!m_info.hasBext && m_createBext) {
        m_info.hasBext = true;
        m_bext.Clear();
        m_bext.SetHeader(&m_info.bextHeader);
        bool copied = false;
        const AudioIxmlData& x = m_info.ixml;
        if (m_info.hasIxml && !x.BWF_DESCRIPTION.isEmpty() && !x.BWF_ORIGINATOR.isEmpty()) {
            // XML readers turn "\r\n" into "\n", and a description line ends
            // only at a carriage return.
            QString description = x.BWF_DESCRIPTION;
            description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            description.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
            m_bext.SetBextField(cAudioBext::Description, description);
            m_bext.SetBextField(cAudioBext::Originator, x.BWF_ORIGINATOR);
            m_bext.SetBextField(cAudioBext::OriginatorReference, x.BWF_ORIGINATOR_REFERENCE);
            m_bext.SetBextField(cAudioBext::OriginationDate, x.BWF_ORIGINATION_DATE);
            m_bext.SetBextField(cAudioBext::OriginationTime, x.BWF_ORIGINATION_TIME);
            m_bext.SetBextField(cAudioBext::Version, x.BWF_VERSION);
            m_bext.SetBextField(cAudioBext::Reserved, x.BWF_RESERVED);
            m_bext.Parse(&m_info.bextHeader);
            copied = true;
        } else if (m_info.hasIxml) {
            m_bext.SetValue(QStringLiteral("TAKE"), x.TAKE);
            m_bext.SetValue(QStringLiteral("SPEED"), x.MASTER_SPEED);
            m_bext.SetValue(QStringLiteral("UBITS"), x.UBITS);
        }
        m_bext.SetBextField(cAudioBext::TimeReferenceLow, quint32(m_info.timeReference & 0xFFFFFFFFu));
        m_bext.SetBextField(cAudioBext::TimeReferenceHigh, quint32(m_info.timeReference >> 32));
        m_bext.SetValue(QStringLiteral("FILENAME"), bare);
        if (!copied) {
            m_bext.SetBextField(cAudioBext::Originator, QStringLiteral("Quorlan: VL20 S#") + gen.serial);
            m_bext.SetBextField(cAudioBext::OriginatorReference, QStringLiteral("VL20 S#") + gen.serial);
        }
        const int tracks = std::min<int>(m_info.channelList.size(), kMaxBextTrackEntries);
        for (int i = 0; i < tracks; ++i)
            m_bext.SetValue(QStringLiteral("TRK%1").arg(i + 1), m_info.channelList.at(i).name);
        m_bext.Compile();
    }

    if (!m_info.hasIxml && m_createIxml) {
        AudioIxmlData& x = m_info.ixml;
        m_info.hasIxml = true;
        x.IXML_VERSION = QStringLiteral("1.5");
        x.FILE_SAMPLE_RATE = QString::number(m_info.sampleRate);
        x.AUDIO_BIT_DEPTH = QString::number(m_info.bitsPerSample);
        x.CURRENT_FILENAME = bare;
        x.trackCount = m_info.channels;
        x.tracks = m_info.channelList;
        if (m_info.hasBext) {
            const struct {
                cAudioBext::BEXT_HDR_FIELD field;
                QString AudioIxmlData::*member;
            } copies[] = {
                {cAudioBext::Description, &AudioIxmlData::BWF_DESCRIPTION},
                {cAudioBext::Originator, &AudioIxmlData::BWF_ORIGINATOR},
                {cAudioBext::OriginatorReference, &AudioIxmlData::BWF_ORIGINATOR_REFERENCE},
                {cAudioBext::OriginationDate, &AudioIxmlData::BWF_ORIGINATION_DATE},
                {cAudioBext::OriginationTime, &AudioIxmlData::BWF_ORIGINATION_TIME},
                {cAudioBext::Version, &AudioIxmlData::BWF_VERSION},
                {cAudioBext::Reserved, &AudioIxmlData::BWF_RESERVED},
                {cAudioBext::TimeReferenceLow, &AudioIxmlData::BWF_TIME_REFERENCE_LOW},
                {cAudioBext::TimeReferenceHigh, &AudioIxmlData::BWF_TIME_REFERENCE_HIGH},
            };
            for (const auto& c : copies)
                m_bext.GetBextField(c.field, x.*(c.member));
        }
        x.FILE_SET_INDEX = QStringLiteral("1");
        x.ORIGINAL_FILENAME = bare;
        x.TOTAL_FILES = QStringLiteral("1");
        gen.GenUid();
        x.FAMILY_UID = gen.uid + QStringLiteral("00");
        x.FILE_UID = gen.GetFileUID(1);
    }
}

quint32 AudioFile::PrepareIxmlAudioHdr(AudioRiffHdr& hdr, int extra)
{
    if (!m_info.hasIxml)
        return 0;
    // Stored as UTF-8, which the document declares.
    const QByteArray text = RenderIxml().toUtf8();
    const quint64 len = quint64(text.size());
    quint64 pad = extra > 0 ? quint64(extra) : 0;
    if (pad == 0 && m_ixmlChunkSize != 0 && m_ixmlChunkSize > len + 16)
        pad = m_ixmlChunkSize - 16 - len;
    const quint64 body = (pad + len + 4) & ~quint64(3);
    if (body > 0xFFFFFFF0u)
        return 0;
    std::memcpy(hdr.id, "iXML", 4);
    hdr.size = quint32(body);
    hdr.buffer = text;
    hdr.buffer.append(QByteArray(qsizetype(body - len), ' '));
    return quint32(body + 8);
}

bool AudioFile::WriteFmtAudioHdr()
{
    quint16 tag = m_info.formatTag;
    if (tag == 0 || tag == kFormatExtensible)
        tag = kFormatPcm;
    return writeId(*this, "fmt ") && write32(*this, 16) && write16(*this, tag) &&
           write16(*this, m_info.channels) && write32(*this, m_info.sampleRate) &&
           write32(*this, quint32(m_info.blockAlign) * m_info.sampleRate) &&
           write16(*this, m_info.blockAlign) && write16(*this, m_info.bitsPerSample);
}

bool AudioFile::WriteBextAudioHdr()
{
    return writeId(*this, "bext") && write32(*this, kBextHdrSize) &&
           Write(&m_info.bextHeader, kBextHdrSize) == kBextHdrSize;
}

bool AudioFile::WriteRiffHdrs()
{
    // A FLAC take is never written.
    if (m_info.fileType == kFileTypeFlac)
        return false;
    if (!cFile::Open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (m_transferBuffer.isEmpty())
        m_transferBuffer = QByteArray(qsizetype(qMax<int>(1, m_info.blockAlign)) * kTransferFrames,
                                      '\0');
    AudioRiffHdr ixml;
    const quint32 ixmlTotal = PrepareIxmlAudioHdr(ixml, kIxmlPadding);
    if (m_info.hasBext)
        m_bext.Compile();
    const quint32 riffSize = quint32(36 + ixmlTotal + (m_info.hasBext ? kBextChunkTotal : 0) +
                                     quint32(m_info.dataSize & 0xFFFFFFFFu));
    bool ok = writeId(*this, "RIFF") && write32(*this, riffSize) && writeId(*this, "WAVE") &&
              WriteFmtAudioHdr();
    if (ok && m_info.hasBext)
        ok = WriteBextAudioHdr();
    if (ok && ixmlTotal)
        ok = writeId(*this, "iXML") && write32(*this, ixml.size) &&
             Write(ixml.buffer.constData(), ixml.size) == qint64(ixml.size);
    ok = ok && writeId(*this, "data") && write32(*this, quint32(m_info.dataSize & 0xFFFFFFFFu));
    if (!ok) {
        Close();
        return false;
    }
    m_fileDataPos = GetPos();
    return true;
}

bool AudioFile::UpdateAudioFile(bool writeIxml, bool writeBext)
{
    // Only a take read from a WAVE file can be patched: FLAC takes are never
    // written, and without the fmt position there is nothing known to patch.
    if (m_info.fileType != kFileTypeWave || m_fmtDataPos == 0)
        return false;
    if (m_info.hasBext)
        m_bext.Compile();
    if (!cFile::Open(QIODevice::ReadWrite))
        return false;
    auto fail = [this]() {
        Close();
        return false;
    };
    char riff[4];
    quint32 riffSizeLe = 0;
    if (Read(riff, 4) != 4 || std::memcmp(riff, "RIFF", 4) != 0 || Read(&riffSizeLe, 4) != 4 ||
        !chunkStillAt(*this, m_fmtDataPos, "fmt "))
        return fail();
    const quint64 riffSize = qFromLittleEndian(riffSizeLe);
    const quint64 fileSize = quint64(size());
    // Chunks are appended at the end of the RIFF only when that is the end of
    // the file: bytes past a stale RIFF size may be audio worth recovering.
    // Appended chunks start on an even offset; a missing pad byte becomes a
    // zero when the file grows past it.
    const bool canAppend = riffSize + 8 == fileSize || riffSize + 9 == fileSize;
    const quint64 appendAt = riffSize + 8 + (riffSize & 1);

    // Everything is checked before the first byte is written, so a refused
    // update leaves the file exactly as it was.
    bool result = false;
    AudioRiffHdr ixml;
    quint32 ixmlTotal = 0;
    bool ixmlInPlace = false;
    if (writeIxml && m_info.hasIxml) {
        const bool hadChunk = m_ixmlDataPos != 0;
        ixmlTotal = PrepareIxmlAudioHdr(ixml, hadChunk ? 0 : kIxmlPadding);
        if (ixmlTotal != 0) {
            if (hadChunk) {
                if (m_ixmlChunkSize < ixmlTotal || !chunkStillAt(*this, m_ixmlDataPos, "iXML"))
                    return fail();
                ixmlInPlace = true;
            } else if (!canAppend || appendAt + ixmlTotal >= m_maxRiffFileSize) {
                return fail();
            }
            result = true;
        }
    }
    const bool bextAppend = writeBext && m_info.hasBext && m_bextDataPos == 0;
    const bool bextInPlace = writeBext && m_info.hasBext && m_bextDataPos != 0;
    const quint64 ixmlAppended = (ixmlTotal && !ixmlInPlace) ? ixmlTotal : 0;
    if (bextAppend &&
        (!canAppend || appendAt + ixmlAppended + kBextChunkTotal >= m_maxRiffFileSize))
        return fail();
    // A bext chunk shorter than the fixed header cannot take it in place
    // without overwriting the next chunk.
    if (bextInPlace && (m_bextChunkSize < quint32(kBextHdrSize) ||
                        !chunkStillAt(*this, m_bextDataPos, "bext")))
        return fail();

    if (!Seek(m_fmtDataPos + 4, true) || !write32(*this, m_info.sampleRate))
        return fail();
    quint64 end = appendAt;
    if (ixmlInPlace) {
        // Fill the whole old body so that nothing of the old document remains.
        QByteArray body = ixml.buffer;
        body.append(QByteArray(qsizetype(m_ixmlChunkSize) - body.size(), ' '));
        if (!Seek(m_ixmlDataPos, true) || Write(body.constData(), body.size()) != body.size())
            return fail();
    } else if (ixmlAppended) {
        if (!Seek(end, true) || !writeId(*this, "iXML") || !write32(*this, ixml.size) ||
            Write(ixml.buffer.constData(), ixml.size) != qint64(ixml.size))
            return fail();
        end += ixmlAppended;
    }
    if (bextInPlace) {
        if (!Seek(m_bextDataPos, true) || Write(&m_info.bextHeader, kBextHdrSize) != kBextHdrSize)
            return fail();
    } else if (bextAppend) {
        if (!Seek(end, true) || !WriteBextAudioHdr())
            return fail();
        end += kBextChunkTotal;
    }
    if (writeBext && m_info.hasBext)
        result = true;
    if (end != appendAt) {
        if (!Seek(4, true) || !write32(*this, quint32(end - 8)))
            return fail();
    }
    const bool flushed = flush();
    Close();
    return result && flushed;
}

quint32 AudioFile::GetMaxDataSize() const
{
    const quint64 max = quint64(m_maxRiffFileSize) - 45 - m_info.blockAlign;
    return quint32(max & ~quint64(1));
}

bool AudioFile::ReNameAudioFile(const QString& newPath)
{
    Close();
    // The take follows its file only when the rename happened: pointing it at a
    // path that does not exist would let a later Init() create an empty file there.
    return QFile::rename(newPath);
}
