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

// A chunk id is four printable ASCII characters, the first not a space.
bool validId(const char* id)
{
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(id[i]);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return id[0] != ' ';
}

QString idText(const char* id) { return QString::fromLatin1(id, 4).trimmed(); }

// The id as bytes; the ids every take has refer to constant text instead of
// taking an allocation each.
QByteArray chunkId(const char* id)
{
    static const char* const common[] = {"fmt ", "bext", "iXML", "data", "JUNK", "LIST"};
    for (const char* c : common) {
        if (idIs(id, c))
            return QByteArray::fromRawData(c, 4);
    }
    return QByteArray(id, 4);
}

// Ids that writers put after the audio. Such a header is a chunk even when
// its size is wrong (an append cut short); other bytes right after a data
// chunk whose size does not fit are taken for audio.
bool knownId(const char* id)
{
    static const char* const known[] = {"iXML", "bext", "LIST", "JUNK", "junk", "PAD ", "pad ",
                                        "cue ", "smpl", "inst", "fact", "axml", "chna", "levl",
                                        "_PMX", "ID3 ", "id3 ", "fmt ", "data", "FLLR"};
    for (const char* k : known) {
        if (idIs(id, k))
            return true;
    }
    return false;
}

} // namespace

AudioFile::AudioFile(bool fmtDataOnly) : m_fmtDataOnly(fmtDataOnly)
{
    m_bext.SetHeader(&m_info.bextHeader);
}

// cFile closes the file; the members free themselves.
AudioFile::~AudioFile() = default;

AudioFile& AudioFile::operator=(const AudioFile& other)
{
    if (this == &other)
        return *this;
    Close();
    setFileName(other.fileName());
    // The record no longer is what this object's own open read.
    m_statAtOpen = StatAtOpen();
    m_info = other.m_info;
    m_fileDataPos = other.m_fileDataPos;
    m_rebuildIxml = other.m_rebuildIxml;
    // The description entries travel with the header: a writer compiles them
    // into it, and entries left behind would blank the description.
    m_bext.CopyEntries(other.m_bext);
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
    m_sizeDamage = SizeDamage::None;
    m_dataDeclaredSize = 0;
    m_walkDamage.clear();
    m_walkEndedAfterData = false;
    m_statAtOpen = StatAtOpen();
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
    // The open itself tells a readable take apart (no separate look at the
    // path first); a path that did not open is then told apart for the message.
    setFileName(path);
    if (ReadContainer())
        return true;
    const QFileInfo fi(path);
    if (!fi.exists() || fi.isDir()) {
        const bool missing = !fi.exists();
        Reset(false);
        m_errorText = missing ? QStringLiteral("no such file")
                              : QStringLiteral("is a folder, not a take file");
    }
    return false;
}

qint64 AudioFile::Read(void* buffer, qint64 count)
{
    if (!m_inHead)
        return cFile::Read(buffer, count);
    if (count >= 0 && m_headPos <= quint64(m_head.size()) &&
        quint64(count) <= quint64(m_head.size()) - m_headPos) {
        std::memcpy(buffer, m_head.constData() + m_headPos, size_t(count));
        m_headPos += quint64(count);
        return count;
    }
    // Past the head: the file itself, from the same position.
    if (!cFile::Seek(m_headPos, true))
        return -1;
    const qint64 got = cFile::Read(buffer, count);
    m_headPos = cFile::GetPos();
    return got;
}

bool AudioFile::Seek(quint64 offset, bool fromStart)
{
    if (!m_inHead)
        return cFile::Seek(offset, fromStart);
    const quint64 target = fromStart ? offset : m_headPos + offset;
    if (qint64(target) < 0)
        return false; // as the file layer answers
    m_headPos = target;
    return true;
}

quint64 AudioFile::GetPos()
{
    return m_inHead ? m_headPos : cFile::GetPos();
}

// Reads the opened path; on failure the record is reset and m_errorText says why.
bool AudioFile::ReadContainer()
{
    bool ok = false;
    QString why;
    if (!OpenRegularForReading(&m_fileSize, &why)) {
        // why says it: not a regular file, or the reason the open failed.
    } else {
        // One read for the chunks before the audio of most takes.
        m_head.resize(qsizetype(std::min<quint64>(m_fileSize, quint64(kHeadBytes))));
        const qint64 gotHead = m_head.isEmpty() ? 0 : cFile::Read(m_head.data(), m_head.size());
        m_head.truncate(qsizetype(std::max<qint64>(gotHead, 0)));
        m_headPos = 0;
        m_inHead = true;
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
        m_inHead = false;
        m_head = QByteArray();
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
    // A RIFF size left short by a power loss (0, or only the header) must not
    // hide the chunks and audio that follow: the walk runs to the end of the
    // file whichever is further, and FinishWave() reports the disagreement.
    const quint64 walkSize = std::max(riffSize, limit > 8 ? limit - 8 : 0);
    WalkChunks(walkSize, limit);
    return FinishWave();
}

void AudioFile::NoteWalkDamage(const QString& what)
{
    if (m_info.fileType == kFileTypeWave && m_walkDamage.isEmpty())
        m_walkDamage = what;
}

// Walks chunks from the current position. remaining counts down from the
// RIFF size (the file's when that is larger); limit is the absolute end of
// the bytes that may be read (end of file, or end of a FLAC block). No read
// or allocation ever passes limit, whatever a size field claims. Bytes that
// do not form a chunk header end the walk: audio is never walked as chunks.
void AudioFile::WalkChunks(quint64 remaining, quint64 limit)
{
    // True when a chunk of `size` body bytes starting at bodyPos lies in the file.
    auto fits = [limit](quint64 bodyPos, quint64 size) {
        return bodyPos <= limit && size <= limit - bodyPos;
    };
    auto sizeOf = [](const char* head) {
        quint32 raw = 0;
        std::memcpy(&raw, head + 4, 4);
        return quint64(qFromLittleEndian(raw));
    };
    // The chunk walked last, for the unpadded layout and for messages.
    QByteArray prevId;
    quint64 prevBody = 0;
    quint64 prevSize = 0;
    bool prevOdd = false;
    bool afterData = false;

    while (remaining > 8) {
        quint64 headerPos = GetPos();
        char head[8];
        if (Read(head, 8) != 8)
            break;
        quint64 size = sizeOf(head);
        bool plausible = validId(head) && fits(headerPos + 8, size);
        if (!plausible && prevOdd) {
            // Some writers leave out the pad byte after an odd-sized chunk:
            // the header then starts one byte earlier.
            char alt[8];
            if (Seek(headerPos - 1, true) && Read(alt, 8) == 8 && validId(alt) &&
                fits(headerPos + 7, sizeOf(alt))) {
                std::memcpy(head, alt, 8);
                size = sizeOf(alt);
                headerPos -= 1;
                remaining += 1;
                plausible = true;
            } else {
                Seek(headerPos + 8, true);
            }
        }
        if (!validId(head) || (afterData && !plausible && !knownId(head))) {
            // After a data chunk these bytes are most likely audio its size
            // field does not cover; FinishWave() judges that case.
            if (!afterData) {
                NoteWalkDamage(
                    prevId.isEmpty()
                        ? QStringLiteral("no chunk header stands at byte %1").arg(headerPos)
                        : QStringLiteral("the %1 chunk at byte %2 declares %3 bytes, no chunk "
                                         "header follows it at byte %4")
                              .arg(idText(prevId.constData()))
                              .arg(prevBody)
                              .arg(prevSize)
                              .arg(headerPos));
            }
            break;
        }
        afterData = false;
        const quint64 bodyPos = headerPos + 8;
        const quint64 left = limit > bodyPos ? limit - bodyPos : 0;
        quint64 consumed = 0;
        bool last = false;
        if (!m_fmtDataOnly)
            m_info.chunks.append({chunkId(head), headerPos, bodyPos, size});
        if (!fits(bodyPos, size) && !idIs(head, "data"))
            NoteWalkDamage(QStringLiteral("the %1 chunk at byte %2 declares %3 bytes, the file "
                                          "holds %4")
                               .arg(idText(head))
                               .arg(bodyPos)
                               .arg(size)
                               .arg(left));

        // The body up to its declared size (no pad byte), at most cap bytes.
        auto readBody = [&](quint64 cap) {
            const quint64 want = std::min(size, cap);
            QByteArray body(qsizetype(want), Qt::Uninitialized);
            const qint64 got = want ? Read(body.data(), qint64(want)) : 0;
            body.truncate(qsizetype(std::max<qint64>(got, 0)));
            return body;
        };
        // Past the body and its pad byte; when the size runs past the RIFF,
        // only past what was read of the body.
        auto skipBody = [&](quint64 read) {
            consumed = size <= remaining ? evenSize(size) : read;
            Seek(bodyPos + consumed, true);
        };

        if (idIs(head, "fmt ")) {
            if (!m_fmtDataOnly)
                m_fmtDataPos = bodyPos;
            // Only the head of the body is read; the rest (extension bytes, or
            // what a lying size claims) is skipped as if read.
            const QByteArray body = readBody(std::min(left, kFmtReadLimit));
            consumed = evenSize(size);
            Seek(bodyPos + consumed, true);
            AnalizeFmtAudioInfo(body);
            if (!m_fmtDataOnly)
                m_info.fmtBody = body;
        } else if (!m_fmtDataOnly && idIs(head, "iXML")) {
            m_ixmlDataPos = bodyPos;
            const QByteArray body = readBody(left);
            // The bytes an in-place update may fill: the declared body as far
            // as the file holds it. The pad byte is left alone, so a chunk
            // written without one keeps the next chunk's header intact.
            m_ixmlChunkSize = quint32(body.size());
            skipBody(quint64(body.size()));
            AnalizeIxmlAudioInfo(body);
        } else if (!m_fmtDataOnly && idIs(head, "bext")) {
            m_bextDataPos = bodyPos;
            const QByteArray body = readBody(left);
            m_bextChunkSize = quint32(body.size());
            skipBody(quint64(body.size()));
            AnalizeBextAudioInfo(body);
        } else if (!m_fmtDataOnly && idIs(head, "data")) {
            m_fileDataPos = bodyPos;
            m_dataDeclaredSize = size;
            m_info.dataSize = size;
            afterData = true;
            if (size <= remaining) {
                consumed = evenSize(size);
                Seek(bodyPos + consumed, true);
                // Everything wanted is known once the data chunk reaches the
                // end of the file; what follows it otherwise is looked at.
                last = m_bextDataPos != 0 && m_ixmlDataPos != 0 && bodyPos + consumed >= limit;
            } else {
                // A data size beyond the RIFF (a recording still being written, or
                // one cut short) runs to the end of the file. Walking on would read
                // audio bytes as chunk headers and could place a "chunk" inside the
                // samples, where a later in-place update would overwrite them.
                last = true;
            }
        } else if (m_fmtDataOnly && idIs(head, "data")) {
            m_fileDataPos = bodyPos;
            break;
        } else if (size <= remaining) {
            skipBody(0);
        } else {
            // A size past the RIFF counts 4 and the next id is read from the
            // body start.
            consumed = 4;
        }

        consumed = std::min(consumed, remaining);
        if (last || GetPos() >= limit)
            break;
        remaining -= std::min(remaining, 8 + consumed);
        prevId = QByteArray(head, 4);
        prevBody = bodyPos;
        prevSize = size;
        prevOdd = (size & 1) != 0 && consumed == evenSize(size);
    }
    m_walkEndedAfterData = afterData;
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
    // The size fields are checked against the file; the first disagreement
    // found is reported. A take keeps reading either way, with dataSize what
    // the file really holds, so that it can be shown, played and repaired.
    const quint64 held = m_fileSize > m_fileDataPos ? m_fileSize - m_fileDataPos : 0;
    const quint64 declared = m_dataDeclaredSize;
    const quint64 paddedEnd = m_fileDataPos + evenSize(declared);
    QString dataDamage;
    if (m_fileDataPos != 0 && m_fileDataPos + declared > m_fileSize) {
        dataDamage =
            QStringLiteral("the data chunk at byte %1 declares %2 bytes, the file holds %3")
                .arg(m_fileDataPos)
                .arg(declared)
                .arg(held);
        m_info.dataSize = held;
    } else if (m_fileDataPos != 0 && m_walkEndedAfterData && m_fileSize > paddedEnd &&
               m_fileSize - paddedEnd >= m_info.blockAlign) {
        // Bytes follow the data chunk and no chunk header stands at its end:
        // the size field stopped short of the audio. Fewer bytes than one
        // frame are the partial frame of a recording cut off mid-write.
        dataDamage = QStringLiteral("the data chunk at byte %1 declares %2 bytes, %3 follow")
                         .arg(m_fileDataPos)
                         .arg(declared)
                         .arg(held);
        m_info.dataSize = held;
    }
    // The RIFF may leave out, or count, the pad byte of a last odd-sized chunk.
    const quint64 riffEnd = quint64(m_riffSize) + 8;
    if (!m_walkDamage.isEmpty()) {
        m_info.damage = m_walkDamage;
        m_sizeDamage = SizeDamage::Chunks;
    } else if (!dataDamage.isEmpty()) {
        m_info.damage = dataDamage;
        m_sizeDamage = SizeDamage::DataSize;
    } else if (riffEnd > m_fileSize + 1 || riffEnd + 1 < m_fileSize) {
        m_info.damage = QStringLiteral("the RIFF size declares %1 bytes, the file holds %2")
                            .arg(riffEnd)
                            .arg(m_fileSize);
        m_sizeDamage = SizeDamage::RiffSize;
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
    // Some writers store binary bytes (a NUL among them) inside an element,
    // BWF_VERSION as two raw bytes for one; the document then goes on past the
    // NUL. It is read to its root's end tag, without the bytes XML cannot hold.
    bool dropControls = false;
    if (nul) {
        static constexpr char kRootEnd[] = "</BWFXML>";
        constexpr size_t kRootEndLen = sizeof(kRootEnd) - 1;
        const char* end = bytes + body.size();
        const char* rootEnd = nullptr;
        for (const char* p = nul; end - p >= qsizetype(kRootEndLen);) {
            const char* hit =
                static_cast<const char*>(memmem(p, size_t(end - p), kRootEnd, kRootEndLen));
            if (!hit)
                break;
            rootEnd = hit;
            p = hit + kRootEndLen;
        }
        if (rootEnd) {
            len = rootEnd + kRootEndLen - bytes;
            dropControls = true;
        }
    }
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
    if (dropControls)
        text.removeIf([](QChar c) {
            return c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
                   c != QLatin1Char('\r');
        });
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
