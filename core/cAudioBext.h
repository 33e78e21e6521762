#pragma once

#include "SoundDefs.h"

#include <QStringList>
#include <QVector>

namespace SoundDefs {

// The key=value entries of a bext Description, and the fixed bext header
// fields by number. The header is not owned; an AudioFile points it at the
// bextHeader of its own record.
class cAudioBext
{
public:
    enum BEXT_HDR_FIELD {
        Description = 0,
        Originator = 1,
        OriginatorReference = 2,
        OriginationDate = 3,
        OriginationTime = 4,
        TimeReferenceLow = 5,
        TimeReferenceHigh = 6,
        Version = 7,
        Reserved = 8,
    };
    // Byte widths of the fields above, in field order.
    static const int kFieldWidth[9];
    static const int kFieldOffset[9];

    cAudioBext() { Clear(); }

    void Clear();
    // Remembers hdr and rebuilds the entry lists from its Description.
    void Parse(BEXTAudioHdr* hdr);
    // Writes the entry lists back into the header's Description.
    void Compile();
    void SetHeader(BEXTAudioHdr* hdr) { header = hdr; }

    bool SetValue(const QString& key, const QString& value);
    bool GetDescriptionValue(const char* key, QString& value, bool exact) const;
    bool GetDescriptionValues(const char* key, QStringList& keysOut, QStringList& valuesOut) const;
    bool DeleteEntry(const char* key, bool substring);

    void GetBextField(BEXT_HDR_FIELD field, QString& out) const;
    void SetBextField(BEXT_HDR_FIELD field, const QString& value);
    void SetBextField(BEXT_HDR_FIELD field, unsigned int value);

    BEXTAudioHdr* header = nullptr;
    QStringList keys;   // with their one-letter prefix; an empty key is a deleted entry
    QStringList values; // parallel to keys
    QString prefix;     // put in front of new keys, "s" by default
    // Free text that other writers put into the Description is kept as it
    // was: indices of lines that had no "=" (written back without one), and
    // the text after the last line break (written back verbatim, last).
    QVector<int> bareLines;
    QByteArray tail;

    // Takes over another list's entries and free text (not its header).
    void CopyEntries(const cAudioBext& other);
};

} // namespace SoundDefs
