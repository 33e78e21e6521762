#pragma once

#include "SoundDefs.h"

#include <QString>

// Writes a take's record into the iXML document the take was read from, so
// that a save keeps what other writers put there. The elements this program
// knows (the text fields, TRACK_LIST/TRACK and SYNC_POINT_LIST/SYNC_POINT)
// get the record's values in place of their old text; everything else stays
// as written and in its order: unknown elements (LOCATION, AUX_DATA, vendor
// elements), attributes, comments, white space, and unknown children inside
// known containers. An element whose text already means the record's value
// keeps its bytes. Known elements the document lacks are added at the end of
// their parent when the record holds a value for them.
//
// TRACK elements are matched to the record's channels by CHANNEL_INDEX (then
// by position); the k-th TRACK of the document receives the k-th channel,
// surplus TRACKs are removed and missing ones added after the last. Sync
// points are matched by position the same way.
class IxmlMerger
{
public:
    // doc must be a well-formed document whose root is BWFXML (the reader
    // parsed it). Returns false, leaving out unchanged, for anything else.
    static bool merge(const QString& doc, const SoundDefs::AudioFileInfo& info, QString& out);
};
