#include "AudioFile.h"

#include "IxmlMerger.h"
#include "cUidGen.h"
#include "cXmlWriter.h"

#include <QtEndian>

#include <unistd.h>

#include <algorithm>
#include <cstring>

using namespace SoundDefs;

namespace
{

constexpr int kTransferFrames = 16192;
constexpr quint32 kBextChunkTotal = 8 + kBextHdrSize; // 610

bool writeId(cFile& f, const char* id)
{
    return f.Write(id, 4) == 4;
}

bool write32(cFile& f, quint32 v)
{
    const quint32 le = qToLittleEndian(v);
    return f.Write(&le, 4) == 4;
}

// True when the 4 bytes before bodyPos - 4 hold id: the chunk we read is
// still where we found it (the file was not replaced since it was opened).
bool chunkStillAt(QIODevice& f, quint64 bodyPos, const char* id)
{
    char got[4];
    return bodyPos >= 8 && f.seek(qint64(bodyPos - 8)) && f.read(got, 4) == 4 &&
           std::memcmp(got, id, 4) == 0;
}

} // namespace

QString AudioFile::RenderIxml() const
{
    // A document read from the file gets the record written into it, keeping
    // what other writers put there; one that did not parse is rebuilt.
    if (!m_info.ixmlDocument.isEmpty() && m_info.ixmlError.isEmpty()) {
        QString merged;
        if (IxmlMerger::merge(m_info.ixmlDocument, m_info, merged))
            return merged;
    }
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
        m_bext.SetBextField(cAudioBext::TimeReferenceLow,
                            quint32(m_info.timeReference & 0xFFFFFFFFu));
        m_bext.SetBextField(cAudioBext::TimeReferenceHigh, quint32(m_info.timeReference >> 32));
        m_bext.SetValue(QStringLiteral("FILENAME"), bare);
        if (!copied) {
            m_bext.SetBextField(cAudioBext::Originator,
                                QStringLiteral("Quorlan: VL20 S#") + gen.serial);
            m_bext.SetBextField(cAudioBext::OriginatorReference,
                                QStringLiteral("VL20 S#") + gen.serial);
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

bool AudioFile::ixmlWritable() const
{
    return !m_info.hasIxml || m_info.ixmlError.isEmpty() || m_rebuildIxml;
}

QString AudioFile::WriteRefusal() const
{
    if (m_info.fileType == kFileTypeFlac)
        return QStringLiteral("FLAC takes are never written");
    if (!ixmlWritable())
        return QStringLiteral("the iXML does not parse (%1); rebuilding it loses what it holds")
            .arg(m_info.ixmlError);
    return QString();
}

// The iXML keeps a copy of the bext description (BEXT/BWF_DESCRIPTION). Both
// are written from the same entries, so that a reader of either finds the
// saved values; a copy that differs only in its line breaks is left as it is.
void AudioFile::SyncIxmlDescription()
{
    if (!m_info.hasBext || !m_info.hasIxml)
        return;
    m_bext.Compile();
    QString description;
    m_bext.GetBextField(cAudioBext::Description, description);
    if (description.isEmpty())
        return;
    const auto plain = [](QString s) { return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); };
    if (plain(description) != plain(m_info.ixml.BWF_DESCRIPTION))
        m_info.ixml.BWF_DESCRIPTION = description;
}

quint32 AudioFile::PrepareIxmlAudioHdr(AudioRiffHdr& hdr, int extra)
{
    if (!m_info.hasIxml || !ixmlWritable())
        return 0;
    SyncIxmlDescription();
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

QByteArray AudioFile::FmtBodyForWrite() const
{
    const AudioFileInfo& i = m_info;
    QByteArray body = i.fmtBody;
    quint64 declared = 0;
    for (const RiffChunkRef& c : i.chunks) {
        if (c.id == "fmt ") {
            declared = c.size;
            break;
        }
    }
    // The body read is reused only when it is whole and still describes the
    // record's channels and sample layout (a split or combine changes them).
    const quint16 tagRead = body.size() >= 2 ? qFromLittleEndian<quint16>(body.constData()) : 0;
    const bool reuse = body.size() >= (tagRead == kFormatExtensible ? 40 : 16) &&
                       !(body.size() & 1) && declared == quint64(body.size()) &&
                       qFromLittleEndian<quint16>(body.constData() + 2) == i.channels &&
                       qFromLittleEndian<quint16>(body.constData() + 12) == i.blockAlign &&
                       qFromLittleEndian<quint16>(body.constData() + 14) == i.bitsPerSample;
    if (!reuse) {
        quint16 tag = i.formatTag;
        if (tag == 0 || tag == kFormatExtensible)
            tag = kFormatPcm;
        body = QByteArray(16, '\0');
        qToLittleEndian(tag, body.data());
        qToLittleEndian(i.channels, body.data() + 2);
        qToLittleEndian(i.blockAlign, body.data() + 12);
        qToLittleEndian(i.bitsPerSample, body.data() + 14);
    }
    qToLittleEndian(i.sampleRate, body.data() + 4);
    qToLittleEndian(quint32(i.blockAlign) * i.sampleRate, body.data() + 8);
    return body;
}

bool AudioFile::WriteFmtAudioHdr()
{
    const QByteArray body = FmtBodyForWrite();
    return writeId(*this, "fmt ") && write32(*this, quint32(body.size())) &&
           Write(body.constData(), body.size()) == body.size();
}

bool AudioFile::WriteBextAudioHdr()
{
    return writeId(*this, "bext") && write32(*this, kBextHdrSize) &&
           Write(&m_info.bextHeader, kBextHdrSize) == kBextHdrSize;
}

namespace
{

bool renderedByWriter(const QByteArray& id, bool keepIxml)
{
    return id == "fmt " || id == "bext" || id == "data" || (id == "iXML" && !keepIxml);
}

bool printableId(const char* id)
{
    for (int k = 0; k < 4; ++k) {
        if (id[k] < 0x20 || id[k] > 0x7E)
            return false;
    }
    return true;
}

quint64 carriedTotal(quint64 size)
{
    return 8 + size + (size & 1);
}

} // namespace

quint64 AudioFile::CarriedChunkBytes() const
{
    const quint64 tail = m_info.hasBext ? bextTail(~quint64(0)).size : 0;
    quint64 total = tail + (tail & 1);
    // An iXML document that may not be rendered can only travel as it is.
    const bool keepIxml = !ixmlWritable();
    for (const RiffChunkRef& c : m_info.chunks) {
        if (!renderedByWriter(c.id, keepIxml))
            total += carriedTotal(c.size);
    }
    return total;
}

// The chunks of src to carry over: those m_info.chunks lists, then those
// behind the last of them up to the RIFF end (the reader stops walking after
// the audio once it has what it needs). No chunk is read past the end of src.
bool AudioFile::planCarriedChunks(QIODevice& src, bool keepIxml, QVector<CarriedChunk>& out)
{
    out.clear();
    const quint64 srcSize = quint64(src.size());
    quint64 riffEnd = srcSize;
    char head[8];
    if (src.seek(0) && src.read(head, 8) == 8 && std::memcmp(head, "RIFF", 4) == 0)
        riffEnd = std::min<quint64>(srcSize, quint64(qFromLittleEndian<quint32>(head + 4)) + 8);
    quint64 dataHeader = ~quint64(0);
    for (const RiffChunkRef& c : m_info.chunks) {
        if (c.id == "data") {
            dataHeader = c.headerPos;
            break;
        }
    }
    auto consider = [&](const QByteArray& id, quint64 headerPos, quint64 size) {
        if (renderedByWriter(id, keepIxml) || headerPos + 8 > srcSize)
            return;
        out.append(
            {id, headerPos, std::min(size, srcSize - headerPos - 8), headerPos < dataHeader});
    };
    quint64 next = 12;
    for (const RiffChunkRef& c : m_info.chunks) {
        consider(c.id, c.headerPos, c.size);
        next = std::max(next, c.bodyPos + c.size + (c.size & 1));
    }
    while (next + 8 <= riffEnd) {
        if (!src.seek(qint64(next)) || src.read(head, 8) != 8 || !printableId(head))
            break;
        const quint64 size = qFromLittleEndian<quint32>(head + 4);
        if (size > riffEnd - next - 8)
            break;
        consider(QByteArray(head, 4), next, size);
        next += carriedTotal(size);
    }
    return true;
}

bool AudioFile::copyCarriedChunk(QIODevice& src, const CarriedChunk& c)
{
    // The source must still hold this chunk where it was read.
    char head[4];
    if (!src.seek(qint64(c.headerPos)) || src.read(head, 4) != 4 ||
        std::memcmp(head, c.id.constData(), 4) != 0 || !src.seek(qint64(c.headerPos + 8))) {
        m_errorText = QStringLiteral("the %1 chunk at byte %2 of the source is no longer there")
                          .arg(QString::fromLatin1(c.id))
                          .arg(c.headerPos);
        return false;
    }
    return writeId(*this, c.id.constData()) && write32(*this, quint32(c.size)) &&
           copyBody(src, c.size);
}

// Copies size bytes from the current position of src, and a pad byte after
// an odd size.
bool AudioFile::copyBody(QIODevice& src, quint64 size)
{
    QByteArray buffer(qsizetype(std::min<quint64>(size, 1 << 20)), Qt::Uninitialized);
    for (quint64 left = size; left > 0;) {
        const qint64 want = qint64(std::min<quint64>(left, quint64(buffer.size())));
        if (src.read(buffer.data(), want) != want || Write(buffer.constData(), want) != want)
            return false;
        left -= quint64(want);
    }
    return !(size & 1) || Write("\0", 1) == 1;
}

// The part of the source's bext chunk after the fixed header (the coding
// history), which the record does not hold: a full write keeps it.
AudioFile::CarriedChunk AudioFile::bextTail(quint64 srcSize) const
{
    for (const RiffChunkRef& c : m_info.chunks) {
        if (c.id == "bext" && c.size > quint64(kBextHdrSize) && c.bodyPos + kBextHdrSize < srcSize)
            return {c.id, c.headerPos, std::min(c.size, srcSize - c.bodyPos) - kBextHdrSize, true};
    }
    return {};
}

bool AudioFile::WriteRiffHdrs(const ChunkSource& source)
{
    m_errorText.clear();
    m_trailingChunks.clear();
    const bool keepIxml = source.file && source.keepIxml;
    // A FLAC take is never written, nor a record whose iXML would lose what
    // the document held (unless it is copied as it is).
    if (m_info.fileType == kFileTypeFlac || (!keepIxml && !ixmlWritable())) {
        m_errorText = WriteRefusal();
        return false;
    }
    QVector<CarriedChunk> carried;
    if (source.file && !planCarriedChunks(*source.file, keepIxml, carried))
        return false;
    bool ixmlCarried = false;
    quint64 before = 0, after = 0;
    for (const CarriedChunk& c : carried) {
        (c.beforeData ? before : after) += carriedTotal(c.size);
        ixmlCarried = ixmlCarried || c.id == "iXML";
        if (!c.beforeData)
            m_trailingChunks.append(c);
    }
    if (!cFile::Open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_errorText = errorString();
        return false;
    }
    if (m_transferBuffer.isEmpty())
        m_transferBuffer =
            QByteArray(qsizetype(qMax<int>(1, m_info.blockAlign)) * kTransferFrames, '\0');
    const CarriedChunk tail =
        source.file && m_info.hasBext ? bextTail(quint64(source.file->size())) : CarriedChunk();
    AudioRiffHdr ixml;
    const quint32 ixmlTotal = ixmlCarried ? 0 : PrepareIxmlAudioHdr(ixml, kIxmlPadding);
    if (m_info.hasBext)
        m_bext.Compile();
    const quint64 data = m_info.dataSize & 0xFFFFFFFFu;
    const QByteArray fmt = FmtBodyForWrite();
    // Chunks after the audio start on an even offset: the pad byte counts then.
    const quint64 riffSize = 4 + 8 + quint64(fmt.size()) +
                             (m_info.hasBext ? kBextChunkTotal + tail.size + (tail.size & 1) : 0) +
                             ixmlTotal + before + 8 + data + (after ? (data & 1) + after : 0);
    bool ok = writeId(*this, "RIFF") && write32(*this, quint32(riffSize)) &&
              writeId(*this, "WAVE") && WriteFmtAudioHdr();
    if (ok && m_info.hasBext && tail.size == 0)
        ok = WriteBextAudioHdr();
    else if (ok && m_info.hasBext)
        ok = writeId(*this, "bext") && write32(*this, quint32(kBextHdrSize + tail.size)) &&
             Write(&m_info.bextHeader, kBextHdrSize) == kBextHdrSize &&
             chunkStillAt(*source.file, tail.headerPos + 8, "bext") &&
             source.file->seek(qint64(tail.headerPos + 8 + kBextHdrSize)) &&
             copyBody(*source.file, tail.size);
    if (ok && ixmlTotal)
        ok = writeId(*this, "iXML") && write32(*this, ixml.size) &&
             Write(ixml.buffer.constData(), ixml.size) == qint64(ixml.size);
    for (const CarriedChunk& c : carried) {
        if (ok && c.beforeData)
            ok = copyCarriedChunk(*source.file, c);
    }
    ok = ok && writeId(*this, "data") && write32(*this, quint32(data));
    if (!ok) {
        if (m_errorText.isEmpty())
            m_errorText = errorString();
        Close();
        return false;
    }
    m_fileDataPos = GetPos();
    return true;
}

bool AudioFile::WriteRiffHdrs()
{
    return WriteRiffHdrs(ChunkSource());
}

bool AudioFile::WriteTrailingChunks(const ChunkSource& source)
{
    if (m_trailingChunks.isEmpty())
        return true;
    const quint64 data = m_info.dataSize & 0xFFFFFFFFu;
    if (!source.file || !Seek(m_fileDataPos + data + (data & 1), true)) {
        m_errorText = QStringLiteral("the chunks after the audio cannot be copied");
        return false;
    }
    for (const CarriedChunk& c : m_trailingChunks) {
        if (!copyCarriedChunk(*source.file, c)) {
            if (m_errorText.isEmpty())
                m_errorText = errorString();
            return false;
        }
    }
    return true;
}

namespace
{

// One region of the file an in-place update overwrites, with what it held.
struct Patch {
    quint64 pos;
    QByteArray bytes;
    QByteArray old;
};

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace

bool AudioFile::UpdateAudioFile(bool writeIxml, bool writeBext)
{
    m_errorText.clear();
    // Only a take read from a WAVE file can be patched: FLAC takes are never
    // written, and without the fmt position there is nothing known to patch.
    if (m_info.fileType != kFileTypeWave || m_fmtDataPos == 0 || !ixmlWritable()) {
        m_errorText = WriteRefusal();
        if (m_errorText.isEmpty())
            m_errorText = QStringLiteral("not a WAVE take that can be patched");
        return false;
    }
    if (m_info.hasBext)
        m_bext.Compile();
    // Unbuffered: every write reaches the file at once, so a failure is seen
    // where it happens and everything before it can be undone.
    if (!cFile::Open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        m_errorText = errorString();
        return false;
    }
    auto fail = [this](const QString& why) {
        if (m_errorText.isEmpty())
            m_errorText = why;
        Close();
        return false;
    };
    char riff[4];
    quint32 riffSizeLe = 0;
    if (Read(riff, 4) != 4 || std::memcmp(riff, "RIFF", 4) != 0 || Read(&riffSizeLe, 4) != 4 ||
        !chunkStillAt(*this, m_fmtDataPos, "fmt "))
        return fail(QStringLiteral("the file changed since it was read"));
    const quint64 riffSize = qFromLittleEndian(riffSizeLe);
    const quint64 fileSize = quint64(size());
    // Chunks are appended at the end of the RIFF only when that is the end of
    // the file: bytes past a stale RIFF size may be audio worth recovering.
    // Appended chunks start on an even offset; a missing pad byte becomes a
    // zero when the file grows past it.
    const bool canAppend = riffSize + 8 == fileSize || riffSize + 9 == fileSize;
    const quint64 appendAt = riffSize + 8 + (riffSize & 1);

    // The iXML chunk the take has, wherever the reader found it: a take never
    // gets a second one.
    quint64 ixmlPos = m_ixmlDataPos;
    quint64 ixmlRoom = m_ixmlChunkSize;
    for (const RiffChunkRef& c : m_info.chunks) {
        if (ixmlPos == 0 && c.id == "iXML" && c.bodyPos < fileSize) {
            ixmlPos = c.bodyPos;
            ixmlRoom = std::min<quint64>(c.size, fileSize - c.bodyPos);
        }
    }

    // Everything is checked before the first byte is written.
    bool result = false;
    QVector<Patch> patches;
    patches.append({m_fmtDataPos + 4,
                    le32(m_info.sampleRate) + le32(quint32(m_info.blockAlign) * m_info.sampleRate),
                    {}});
    QByteArray append;
    if (writeIxml && m_info.hasIxml) {
        const bool hadChunk = ixmlPos != 0;
        AudioRiffHdr ixml;
        const quint32 ixmlTotal = PrepareIxmlAudioHdr(ixml, hadChunk ? 0 : kIxmlPadding);
        if (ixmlTotal != 0) {
            if (hadChunk) {
                if (ixmlRoom < ixmlTotal || !chunkStillAt(*this, ixmlPos, "iXML"))
                    return fail(QStringLiteral("the iXML does not fit in its chunk"));
                // Fill the whole old body so that nothing of the old document remains.
                QByteArray body = ixml.buffer;
                body.append(QByteArray(qsizetype(ixmlRoom) - body.size(), ' '));
                patches.append({ixmlPos, body, {}});
            } else if (!canAppend || appendAt + ixmlTotal >= m_maxRiffFileSize) {
                return fail(QStringLiteral("the iXML cannot be appended"));
            } else {
                append += QByteArray("iXML") + le32(ixml.size) + ixml.buffer;
            }
            result = true;
        }
    }
    if (writeBext && m_info.hasBext) {
        if (m_bextDataPos != 0) {
            // A bext chunk shorter than the fixed header cannot take it in
            // place without overwriting the next chunk.
            if (m_bextChunkSize < quint32(kBextHdrSize) ||
                !chunkStillAt(*this, m_bextDataPos, "bext"))
                return fail(QStringLiteral("the bext chunk is too short"));
            patches.append(
                {m_bextDataPos,
                 QByteArray(reinterpret_cast<const char*>(&m_info.bextHeader), kBextHdrSize),
                 {}});
        } else if (!canAppend || appendAt + append.size() + kBextChunkTotal >= m_maxRiffFileSize) {
            return fail(QStringLiteral("the bext chunk cannot be appended"));
        } else {
            append += QByteArray("bext") + le32(kBextHdrSize) +
                      QByteArray(reinterpret_cast<const char*>(&m_info.bextHeader), kBextHdrSize);
        }
        result = true;
    }
    if (!append.isEmpty())
        patches.append({4, le32(quint32(appendAt + quint64(append.size()) - 8)), {}});

    // What every region held, and the bytes past the RIFF end the append covers.
    for (Patch& p : patches) {
        p.old.resize(p.bytes.size());
        if (!Seek(p.pos, true) || Read(p.old.data(), p.old.size()) != p.old.size())
            return fail(QStringLiteral("read failed: ") + errorString());
    }
    QByteArray oldTail;
    if (!append.isEmpty() && appendAt < fileSize) {
        oldTail.resize(qsizetype(fileSize - appendAt));
        if (!Seek(appendAt, true) || Read(oldTail.data(), oldTail.size()) != oldTail.size())
            return fail(QStringLiteral("read failed: ") + errorString());
    }

    // Undoes the first `written` patches and the append.
    auto rollBack = [&](int written) {
        const QString why = errorString();
        for (int k = written - 1; k >= 0; --k) {
            if (Seek(patches.at(k).pos, true))
                Write(patches.at(k).old.constData(), patches.at(k).old.size());
        }
        if (!append.isEmpty()) {
            resize(qint64(fileSize));
            if (!oldTail.isEmpty() && Seek(appendAt, true))
                Write(oldTail.constData(), oldTail.size());
        }
        return fail(QStringLiteral("write failed: ") + why);
    };

    // The append reaches the disk before any header points at it.
    if (!append.isEmpty()) {
        if (!Seek(appendAt, true) || Write(append.constData(), append.size()) != append.size() ||
            ::fsync(handle()) != 0)
            return rollBack(0);
    }
    for (int k = 0; k < patches.size(); ++k) {
        const Patch& p = patches.at(k);
        if (!Seek(p.pos, true) || Write(p.bytes.constData(), p.bytes.size()) != p.bytes.size())
            return rollBack(k + 1);
    }
    Close();
    return result;
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
    return rename(newPath);
}
