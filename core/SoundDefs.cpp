#include "SoundDefs.h"

#include <algorithm>

namespace SoundDefs {

void AudioChannelInfo::Clear()
{
    name.clear();
    function.clear();
    channelIndex = 0;
    interleaveIndex = 0;
}

AudioSyncPoint::AudioSyncPoint(const AudioSyncPoint& other)
    : type(other.type), function(other.function), low(other.low), high(other.high),
      eventDuration(other.eventDuration), eventDurationCopy(other.eventDuration)
{
}

AudioSyncPoint& AudioSyncPoint::operator=(const AudioSyncPoint& other)
{
    type = other.type;
    function = other.function;
    low = other.low;
    high = other.high;
    eventDuration = other.eventDuration;
    eventDurationCopy = other.eventDuration;
    return *this;
}

void AudioSyncPoint::Clear()
{
    type.clear();
    function.clear();
    low.clear();
    high.clear();
    eventDuration.clear();
    eventDurationCopy.clear();
}

const std::array<AudioIxmlData::FieldDef, AudioIxmlData::kTextFieldCount>& AudioIxmlData::Fields()
{
    using D = AudioIxmlData;
    static const std::array<FieldDef, kTextFieldCount> table = {{
        {"IXML_VERSION", "", "IXML_VERSION", &D::IXML_VERSION},
        {"PROJECT", "", "PROJECT", &D::PROJECT},
        {"SCENE", "", "SCENE", &D::SCENE},
        {"TAKE", "", "TAKE", &D::TAKE},
        {"TAPE", "", "TAPE", &D::TAPE},
        {"UBITS", "", "UBITS", &D::UBITS},
        {"FILE_UID", "", "FILE_UID", &D::FILE_UID},
        {"CIRCLED", "", "CIRCLED", &D::CIRCLED},
        {"NOTE", "", "NOTE", &D::NOTE},
        {"WILD_TRACK", "", "WILD_TRACK", &D::WILD_TRACK},
        {"SPEED/NOTE", "SPEED", "NOTE", &D::SPEED_NOTE},
        {"SPEED/MASTER_SPEED", "SPEED", "MASTER_SPEED", &D::MASTER_SPEED},
        {"SPEED/CURRENT_SPEED", "SPEED", "CURRENT_SPEED", &D::CURRENT_SPEED},
        {"SPEED/TIMECODE_FLAG", "SPEED", "TIMECODE_FLAG", &D::TIMECODE_FLAG},
        {"SPEED/TIMECODE_RATE", "SPEED", "TIMECODE_RATE", &D::TIMECODE_RATE},
        {"SPEED/FILE_SAMPLE_RATE", "SPEED", "FILE_SAMPLE_RATE", &D::FILE_SAMPLE_RATE},
        {"SPEED/TIMESTAMP_SAMPLE_RATE", "SPEED", "TIMESTAMP_SAMPLE_RATE", &D::TIMESTAMP_SAMPLE_RATE},
        {"SPEED/AUDIO_BIT_DEPTH", "SPEED", "AUDIO_BIT_DEPTH", &D::AUDIO_BIT_DEPTH},
        {"SPEED/DIGITIZER_SAMPLE_RATE", "SPEED", "DIGITIZER_SAMPLE_RATE", &D::DIGITIZER_SAMPLE_RATE},
        {"SPEED/TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI", "SPEED", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
         &D::TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI},
        {"SPEED/TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", "SPEED", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO",
         &D::TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO},
        {"HISTORY/PARENT_FILENAME", "HISTORY", "PARENT_FILENAME", &D::PARENT_FILENAME},
        {"HISTORY/PARENT_UID", "HISTORY", "PARENT_UID", &D::PARENT_UID},
        {"HISTORY/ORIGINAL_FILENAME", "HISTORY", "ORIGINAL_FILENAME", &D::ORIGINAL_FILENAME},
        {"HISTORY/CURRENT_FILENAME", "HISTORY", "CURRENT_FILENAME", &D::CURRENT_FILENAME},
        {"FILE_SET/TOTAL_FILES", "FILE_SET", "TOTAL_FILES", &D::TOTAL_FILES},
        {"FILE_SET/FAMILY_UID", "FILE_SET", "FAMILY_UID", &D::FAMILY_UID},
        {"FILE_SET/FAMILY_NAME", "FILE_SET", "FAMILY_NAME", &D::FAMILY_NAME},
        {"FILE_SET/FILE_SET_INDEX", "FILE_SET", "FILE_SET_INDEX", &D::FILE_SET_INDEX},
        {"BEXT/BWF_DESCRIPTION", "BEXT", "BWF_DESCRIPTION", &D::BWF_DESCRIPTION},
        {"BEXT/BWF_ORIGINATOR", "BEXT", "BWF_ORIGINATOR", &D::BWF_ORIGINATOR},
        {"BEXT/BWF_ORIGINATOR_REFERENCE", "BEXT", "BWF_ORIGINATOR_REFERENCE",
         &D::BWF_ORIGINATOR_REFERENCE},
        {"BEXT/BWF_ORIGINATION_DATE", "BEXT", "BWF_ORIGINATION_DATE", &D::BWF_ORIGINATION_DATE},
        {"BEXT/BWF_ORIGINATION_TIME", "BEXT", "BWF_ORIGINATION_TIME", &D::BWF_ORIGINATION_TIME},
        {"BEXT/BWF_TIME_REFERENCE_LOW", "BEXT", "BWF_TIME_REFERENCE_LOW", &D::BWF_TIME_REFERENCE_LOW},
        {"BEXT/BWF_TIME_REFERENCE_HIGH", "BEXT", "BWF_TIME_REFERENCE_HIGH",
         &D::BWF_TIME_REFERENCE_HIGH},
        {"BEXT/BWF_VERSION", "BEXT", "BWF_VERSION", &D::BWF_VERSION},
        {"BEXT/BWF_UMID", "BEXT", "BWF_UMID", &D::BWF_UMID},
        {"BEXT/BWF_RESERVED", "BEXT", "BWF_RESERVED", &D::BWF_RESERVED},
        {"BEXT/BWF_CODING_HISTORY", "BEXT", "BWF_CODING_HISTORY", &D::BWF_CODING_HISTORY},
        {"USER", "", "USER", &D::USER},
    }};
    return table;
}

void AudioIxmlData::Clear()
{
    for (const FieldDef& f : Fields())
        (this->*f.member).clear();
    syncPointCount = 0;
    syncPoints.clear();
    trackCount = 0;
    tracks.clear();
}

void AudioFileInfo::Clear()
{
    fileType = kFileTypeNone;
    sampleRate = 0;
    channels = 0;
    bitsPerSample = 0;
    blockAlign = 0;
    formatTag = 0;
    timeReference = 0;
    dataSize = 0;
    totalSamples = 0;
    durationMs = 0;
    hasBext = false;
    hasIxml = false;
    std::memset(&bextHeader, 0, sizeof(bextHeader));
    channelList.clear();
    ixml.Clear();
    chunks.clear();
    fmtBody.clear();
    ixmlDocument.clear();
    ixmlError.clear();
    damage.clear();
}

qint64 AudioRiffHdr::StreamIn(CommonDefs::cStream& stream, quint64 maxBytes)
{
    quint32 raw = 0;
    buffer.clear();
    if (stream.Read(&raw, 4) != 4) {
        size = 0;
        return 0;
    }
    raw = qFromLittleEndian(raw);
    quint64 even = quint64(raw) + (raw & 1u);
    size = quint32(std::min<quint64>(even, 0xFFFFFFFFu));
    const quint64 want = std::min<quint64>(even, maxBytes);
    buffer = QByteArray(qsizetype(want), '\0');
    const qint64 got = want ? stream.Read(buffer.data(), qint64(want)) : 0;
    if (got < 0)
        return 0;
    if (quint64(got) < want)
        buffer.truncate(got);
    return got;
}

} // namespace SoundDefs
