#pragma once

#include "CommonDefs.h"

#include <QByteArray>
#include <QtEndian>
#include <QString>
#include <QVector>

#include <array>
#include <cstring>

// The metadata records of one take file. All integers inside file headers are
// little-endian; text inside the binary headers is 8-bit, NUL-padded and not
// necessarily NUL-terminated when a field is full.
namespace SoundDefs {

#pragma pack(push, 1)
// Fixed part of a bext chunk body, exactly 602 bytes, kept byte for byte.
struct BEXTAudioHdr {
    char Description[256];
    char Originator[32];
    char OriginatorReference[32];
    char OriginationDate[10];
    char OriginationTime[8];
    quint32 TimeReferenceLow;
    quint32 TimeReferenceHigh;
    quint8 Version[2];
    char Reserved[254]; // UMID and reserved bytes, opaque
};

// The 16-byte body of a "fmt " chunk (the common PCM part).
struct FMTAudioHdr {
    quint16 formatTag;
    quint16 channels;
    quint32 sampleRate;
    quint32 avgBytesPerSec;
    quint16 blockAlign;
    quint16 bitsPerSample;
};
#pragma pack(pop)

static_assert(sizeof(BEXTAudioHdr) == 602, "bext header must be 602 bytes");
static_assert(sizeof(FMTAudioHdr) == 16, "fmt body must be 16 bytes");

constexpr int kBextHdrSize = 602;
constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

// One track of a take. Indices are 1-based; 0 means unset.
struct AudioChannelInfo {
    QString name;
    QString function;
    qint32 channelIndex = 0;
    qint32 interleaveIndex = 0;
    void Clear();
};

// One iXML SYNC_POINT. Copying sets eventDurationCopy from the source's event
// duration, so every stored sync point carries its duration twice.
struct AudioSyncPoint {
    QString type;
    QString function;
    QString low;
    QString high;
    QString eventDuration;
    QString eventDurationCopy;

    AudioSyncPoint() = default;
    AudioSyncPoint(const AudioSyncPoint& other);
    AudioSyncPoint& operator=(const AudioSyncPoint& other);
    void Clear();
};

// The iXML texts of a take: 41 fields named after their elements, then the
// collections. SPEED_NOTE is the NOTE element under SPEED; NOTE is the take note.
struct AudioIxmlData {
    QString IXML_VERSION, PROJECT, SCENE, TAKE, TAPE, UBITS, FILE_UID, CIRCLED, NOTE, WILD_TRACK;
    QString SPEED_NOTE, MASTER_SPEED, CURRENT_SPEED, TIMECODE_FLAG, TIMECODE_RATE,
        FILE_SAMPLE_RATE, TIMESTAMP_SAMPLE_RATE, AUDIO_BIT_DEPTH, DIGITIZER_SAMPLE_RATE,
        TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI, TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO;
    QString PARENT_FILENAME, PARENT_UID, ORIGINAL_FILENAME, CURRENT_FILENAME;
    QString TOTAL_FILES, FAMILY_UID, FAMILY_NAME, FILE_SET_INDEX;
    QString BWF_DESCRIPTION, BWF_ORIGINATOR, BWF_ORIGINATOR_REFERENCE, BWF_ORIGINATION_DATE,
        BWF_ORIGINATION_TIME, BWF_TIME_REFERENCE_LOW, BWF_TIME_REFERENCE_HIGH, BWF_VERSION,
        BWF_UMID, BWF_RESERVED, BWF_CODING_HISTORY;
    QString USER;

    qint32 syncPointCount = 0;
    QVector<AudioSyncPoint> syncPoints;
    qint32 trackCount = 0;
    QVector<AudioChannelInfo> tracks;

    static constexpr int kTextFieldCount = 41;
    struct FieldDef {
        const char* path;    // element path under BWFXML, e.g. "SPEED/NOTE"
        const char* parent;  // "" for a direct child of BWFXML
        const char* element; // element name
        QString AudioIxmlData::*member;
    };
    // The 41 text fields in declaration order (the order of Clear()).
    static const std::array<FieldDef, kTextFieldCount>& Fields();

    QString& Text(int index) { return this->*(Fields()[index].member); }
    const QString& Text(int index) const { return this->*(Fields()[index].member); }

    void Clear();
};

// One chunk of a RIFF/WAVE take as the reader walked it.
struct RiffChunkRef {
    QByteArray id;         // the 4-byte chunk id
    quint64 headerPos = 0; // file offset of the id
    quint64 bodyPos = 0;   // file offset of the body (headerPos + 8)
    quint64 size = 0;      // body size as the size field declares it (no pad byte)
};

// The parsed take.
struct AudioFileInfo {
    quint32 fileType = 0; // 3 RIFF/WAVE, 2 FLAC, 0 not parsed
    quint32 sampleRate = 0;
    quint16 channels = 0;
    quint16 bitsPerSample = 0;
    quint16 blockAlign = 0;
    quint16 formatTag = 0;     // fmt format tag; the sub-format's tag for an extensible header
    quint64 timeReference = 0; // samples since midnight of the first sample
    quint64 dataSize = 0;      // bytes of audio data
    quint64 totalSamples = 0;  // sample frames
    quint64 durationMs = 0;
    bool hasBext = false;
    bool hasIxml = false;
    BEXTAudioHdr bextHeader;
    AudioIxmlData ixml;
    QVector<AudioChannelInfo> channelList;

    // What the reader found beyond the fields above; it travels with the
    // record so that a rewrite or a copy can keep what it does not edit.
    QVector<RiffChunkRef> chunks; // every chunk walked, in file order (WAVE takes)
    QByteArray fmtBody;           // the fmt body as read (at most 64 bytes): its form and mask
    QString ixmlDocument;         // the iXML text as read, without its padding
    QString ixmlError;            // the parser's message when the iXML did not parse, else empty
    QString damage; // empty when the chunk sizes agree with the file, else what and where

    AudioFileInfo() { Clear(); }
    void Clear();
};

constexpr quint32 kFileTypeNone = 0;
constexpr quint32 kFileTypeFlac = 2;
constexpr quint32 kFileTypeWave = 3;

// A chunk read from a RIFF stream: the caller has read the 4-byte id already.
struct AudioRiffHdr {
    char id[4] = {0, 0, 0, 0};
    quint32 size = 0;
    QByteArray buffer; // the body, zero-filled to the even size

    // Reads the 4-byte size and the body rounded up to even. At most maxBytes
    // are read and allocated, whatever the size field claims, so a lying size
    // cannot exhaust memory. Returns the number of body bytes read; size holds
    // the even size as claimed.
    qint64 StreamIn(CommonDefs::cStream& stream, quint64 maxBytes = ~quint64(0));
};

// Header of a FLAC metadata block and its body.
struct AudioFlacHdr {
    quint8 header[4] = {0, 0, 0, 0};
    QByteArray buffer;
    bool isLast() const { return (header[0] & 0x80) != 0; }
    int type() const { return header[0] & 0x7F; }
    quint32 length() const { return (quint32(header[1]) << 16) | (quint32(header[2]) << 8) | header[3]; }
};

} // namespace SoundDefs
