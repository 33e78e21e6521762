#pragma once

#include "SoundDefs.h"
#include "cAudioBext.h"
#include "cFile.h"

#include <QList>
#include <QString>
#include <QStringList>

// One take file. Init() reads the container, walks its chunks, fills m_info
// and remembers where the chunk bodies lie, then closes the file again; the
// file is reopened only to read samples or write headers. Getters and setters
// work on the record in memory; UpdateAudioFile()/WriteRiffHdrs() write it.
// Not shared between threads or windows: each user opens its own.
class AudioFile : public cFile
{
public:
    explicit AudioFile(bool fmtDataOnly = false);
    ~AudioFile() override;
    AudioFile(const AudioFile&) = delete;
    // Takes over the other take's file name, m_info, its description entries
    // and m_fileDataPos; not the other chunk positions, sizes or buffer.
    AudioFile& operator=(const AudioFile& other);

    // Reads the take at path. A path that does not exist is created empty and
    // true is returned (the writers rely on it); readers must check existence
    // first or use Open() below. removeFirst deletes an existing file first.
    bool Init(const QString& path, bool removeFirst = false);
    // Read-only open: never creates, changes or deletes anything. On failure
    // m_errorText says why ("not a take", "RF64 takes are not supported yet", ...).
    bool Open(const QString& path);
    using cFile::Open;
    void Reset(bool removeFile);
    const QString& errorText() const { return m_errorText; }

    // The file layer's calls, except while the headers are read (Open, Init):
    // then the file's first bytes are read at once and reads inside them are
    // served from memory.
    qint64 Read(void* buffer, qint64 count) override;
    bool Seek(quint64 offset, bool fromStart) override;
    quint64 GetPos() override;

    // --- Format (record fields) ---
    quint32 GetSampleRate() const { return m_info.sampleRate; }
    quint16 GetChannels() const { return m_info.channels; }
    quint16 GetBitDepth() const { return m_info.bitsPerSample; }
    quint64 GetTotalSamples() const { return m_info.totalSamples; }
    void SetSampleRate(const QString& rate);

    // --- Rates and timecode ---
    int getTCConstantsIndex() const;
    QString GetTCFlag() const;
    static bool IsDropFrame(const QString& flag);
    QString GetFrameRate() const;
    void SetFrameRate(const QString& userRate);
    QString GetTCRate() const;
    void SetTCFlag(const QString& flag);

    bool getNonDropFrameTC(int index, unsigned long long samples, int& h, int& m, int& s,
                           int& f) const;
    bool getNonDropFrameTC(int index, unsigned long long samples, int sampleRate, int& h, int& m,
                           int& s, int& f) const;
    bool getDropFrameTC(int index, unsigned long long samples, int& h, int& m, int& s,
                        int& f) const;
    bool getDropFrameTC(int index, unsigned long long samples, int sampleRate, int& h, int& m,
                        int& s, int& f) const;
    bool getStartTime(int& h, int& m, int& s, int& f) const;
    bool getEndTime(int& h, int& m, int& s, int& f) const;

    QString GetTCStart() const;
    QString GetTCStart(int rate) const;
    QString GetTCStart(const QString& userRate) const;
    QString GetTCStart(const QString& userRate, int rate) const;
    QString GetTCEnd() const;
    QString GetTCEnd(unsigned int offset) const;
    QString GetTCEnd(const QString& userRate, int rate) const;
    QString GetTCEnd(const QString& start, const QString& userRate, int rate) const;
    QString GetSyncPointTC(int i) const;

    QString GetDuration() const;
    QString GetDuration(const QString&) const { return GetDuration(); }
    QString GetDuration(int rate) const;
    QString GetSyncPointDuration(int i) const;
    QString GetSample2Time(unsigned int samples) const;
    QString GetSample2TimeLeft(unsigned int samples) const;

    QString GetSamplesSinceMidnight() const;
    QString GetSamplesSinceMidnight(const QString& userRate, const QString& tc) const;
    QString GetSamplesSinceMidnight(int rate, const QString& userRate, const QString& tc) const;
    void SetSamplesSinceMidnight(const QString& samples);
    static bool parseTC(const QString& tc, int& h, int& m, int& s, int& f);

    // Formats a timecode "%1:%2:%3:%4" or, drop-frame, "%1:%2:%3;%4".
    static QString FormatTC(int h, int m, int s, int f, bool dropFrame);

    // --- Text items ---
    QString GetProjectName() const;
    void SetProjectName(const QString& v);
    QString GetSceneName() const;
    void SetSceneName(const QString& v);
    QString GetTakeName() const;
    void SetTakeName(const QString& v);
    QString GetTapeName() const;
    void SetTapeName(const QString& v);
    QString GetNotes() const;
    void SetNotes(const QString& v);
    QString GetUBITs() const;
    void SetUBITs(const QString& v);
    QString GetFileName() const;
    void SetFileName(const QString& v);
    QString GetMasterSpeed() const;
    QString GetSpeedNote() const;
    QString GetCurrentSpeed() const;
    QString GetDigitizerSampleRate() const;
    QString GetTimeStampSampleRate() const;
    void SetTimeStampSampleRate(const QString& v);
    QString GetUserInfo() const;
    void SetUserInfo(const QString& v);
    QString GetFileUID() const;
    QString GetVersion() const;
    QString GetOriginatorName() const;
    void SetOriginatorName(const QString& v);
    QString GetOriginatorReference() const;
    void SetOriginatorReference(const QString& v);
    QString GetOriginatorDate() const;
    QString GetOriginatorTime() const;

    QString GetCircled() const;
    void SetCircled(const QString& v);
    QString GetWild(); // stores its finding in WILD_TRACK
    void SetWild(const QString& v);

    QList<QStringList> GetTracksInfo() const;
    void SetTracksInfo(const QList<QStringList>& rows);
    int GetChanelIndex() const;
    QList<QStringList> GetSyncPointsInfo() const;
    QStringList GetHistoryInfo() const;
    QStringList GetFileSetInfo() const;

    // --- Writing ---
    void UpdateFileInfo();
    quint32 PrepareIxmlAudioHdr(SoundDefs::AudioRiffHdr& hdr, int extra);
    bool WriteFmtAudioHdr();
    bool WriteBextAudioHdr();

    // The file a full write (a rewrite or a copy) is made from, open for
    // reading, at the positions of m_info.chunks. The chunks the writer does
    // not render itself (cue , LIST, JUNK, vendor chunks) are copied from it
    // byte for byte: those before the data chunk by WriteRiffHdrs(), those
    // after it by WriteTrailingChunks() once the audio is written. keepIxml:
    // the iXML chunk is copied too instead of being rendered from the record;
    // a copy uses it, which makes no edits, so that an iXML document that
    // does not parse travels unchanged.
    struct ChunkSource {
        QIODevice* file = nullptr;
        bool keepIxml = false;
    };
    // Truncates the file and writes RIFF, fmt, bext, iXML, the chunks carried
    // from source that stood before the audio, and the data chunk header;
    // leaves the file open at the first sample byte. False with errorText()
    // when the file cannot be written or the record may not be (its iXML did
    // not parse and m_rebuildIxml is not set).
    bool WriteRiffHdrs(const ChunkSource& source);
    bool WriteRiffHdrs(); // a new take: nothing carried over
    // Appends the chunks of source that followed the audio, after the data
    // and its pad byte; the RIFF size written by WriteRiffHdrs() counts them.
    bool WriteTrailingChunks(const ChunkSource& source);
    // Bytes (headers and pad bytes included) a full write adds for the chunks
    // it carries over, as m_info.chunks declares them.
    quint64 CarriedChunkBytes() const;
    // The fmt body a write produces: the body read (extensible form, channel
    // mask) with the sample rate and byte rate of the record, or a 16-byte
    // PCM body when the record's format no longer matches what was read.
    QByteArray FmtBodyForWrite() const;
    // Why the record may not be written, or empty.
    QString WriteRefusal() const;
    // In place: the sample rate and byte rate, the bext body and the iXML
    // body are overwritten, chunks that are missing are appended. Either all
    // of it reaches the file or, on any failure, the file is left byte for
    // byte as it was (errorText() says why).
    bool UpdateAudioFile(bool writeIxml, bool writeBext);
    quint32 GetMaxDataSize() const;
    bool ReNameAudioFile(const QString& newPath);
    // The iXML document as it would be written (no padding).
    QString RenderIxml() const;

    SoundDefs::AudioFileInfo m_info;
    SoundDefs::cAudioBext m_bext;
    quint32 m_ixmlChunkSize = 0;
    quint64 m_ixmlDataPos = 0;
    quint64 m_bextDataPos = 0;
    quint32 m_bextChunkSize = 0; // body bytes of the bext chunk read; 0 when none
    quint64 m_fmtDataPos = 0;
    quint64 m_fileDataPos = 0;
    quint32 m_riffSize = 0;
    quint64 m_fileSize = 0;
    bool m_fmtDataOnly = false;
    bool m_isRf64 = false;
    // What m_info.damage is about, for a tool that mends size fields: the data
    // size (cut short by a power loss), the RIFF size alone, or a chunk the
    // walk could not follow (never mended automatically).
    enum class SizeDamage { None, DataSize, RiffSize, Chunks };
    SizeDamage m_sizeDamage = SizeDamage::None;
    quint64 m_dataDeclaredSize = 0; // the data chunk's size field as written
    // Set by a caller that accepts losing what an unparsable iXML document
    // held: the writers then render the iXML from the record alone. Without it
    // a take whose iXML did not parse (m_info.ixmlError) is never written.
    bool m_rebuildIxml = false;

    // Frame-rate table (rows are rate indices) and known sample rates.
    static const QStringList m_userPresentation;
    static const QStringList m_bextPresentation;
    static const QStringList m_iXMLPresentation;
    static const QStringList m_dropFrameFlag;
    static const int m_frameCount[7];
    static const int m_rFactor[7];
    static const int m_mFactor[7];
    static const QList<int> m_sampleRates;
    static constexpr quint32 m_maxRiffFileSize = 4294967295u;
    static constexpr bool m_createBext = true;
    static constexpr bool m_createIxml = true;
    // Track-name entries kept in a bext description: a take has at most 64
    // channel slots, and the 256-byte description holds far fewer lines. A
    // hostile channel count must not make each edit quadratic.
    static constexpr int kMaxBextTrackEntries = 64;
    // Padding after a new iXML document, in bytes.
    static constexpr int kIxmlPadding = 8192;

private:
    void SyncIxmlDescription();
    struct CarriedChunk {
        QByteArray id;
        quint64 headerPos = 0; // in the source
        quint64 size = 0;      // body bytes copied (bounded by the source's size)
        bool beforeData = true;
    };
    bool planCarriedChunks(QIODevice& src, bool keepIxml, QVector<CarriedChunk>& out);
    bool copyCarriedChunk(QIODevice& src, const CarriedChunk& c);
    bool copyBody(QIODevice& src, quint64 size);
    CarriedChunk bextTail(quint64 srcSize) const;
    bool ixmlWritable() const;

    // Chunks WriteRiffHdrs() counted for after the audio.
    QVector<CarriedChunk> m_trailingChunks;

    bool ReadContainer();
    bool ParseRiffHrds(quint64 riffSize, quint64 limit);
    void WalkChunks(quint64 remaining, quint64 limit);
    void NoteWalkDamage(const QString& what);
    bool ParseFlacMetadata();
    void AnalizeFmtAudioInfo(const QByteArray& body);
    void AnalizeBextAudioInfo(const QByteArray& body);
    void AnalizeIxmlAudioInfo(const QByteArray& body);
    void AnalizeFlacAudioInfo(const QByteArray& streamInfo);
    bool ParseFlacApplication(quint32 length, quint64 blockEnd);
    void FinishChannelList();
    bool FinishWave();

    QString bextFirst(const char* key, const QString& ixmlField) const;
    QString ixmlFirst(const QString& ixmlField, const char* key) const;
    QString ixmlOnly(const QString& ixmlField) const;
    QString descriptionValue(const char* key) const;
    void setWithBext(QString SoundDefs::AudioIxmlData::*field, const char* key, const QString& v);
    int userRateIndex(const QString& userRate) const;
    QString formatSamplesTC(unsigned long long samples, int index, bool dropFrame,
                            quint32 rate) const;
    QString bareFileName() const;

    // Bytes read at once when the headers are read: what the file layer
    // buffers anyway. Most takes hold every chunk before the audio in them.
    static constexpr qint64 kHeadBytes = 16 * 1024;
    QByteArray m_head;     // the file's first bytes, while the headers are read
    quint64 m_headPos = 0; // the read position then
    bool m_inHead = false; // Read, Seek and GetPos work on m_head

    QString m_errorText;
    // Found by the chunk walk, judged by FinishWave(): the first chunk the walk
    // could not follow, and whether the walk ended right after the data chunk.
    QString m_walkDamage;
    bool m_walkEndedAfterData = false;
};
