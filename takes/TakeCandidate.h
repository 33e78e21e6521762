#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class AudioFile;

// What take grouping needs to know about one file: its name and the four
// values that must agree between the files of a mono take, plus the channel
// index that orders them. Plain value, cheap to copy (implicitly shared text).
struct TakeCandidate {
    QString path;     // as listed or as opened; absolute for listed files
    QString fileName; // bare name, no folder
    QString stem;     // KQHelper::nameStem(fileName)
    quint16 channels = 0;
    quint64 totalSamples = 0;
    quint32 sampleRate = 0;
    QString samplesSinceMidnight; // AudioFile::GetSamplesSinceMidnight()
    int channelIndex = 0;         // AudioFile::GetChanelIndex()

    // The values of an open take file; path is the name the file was opened with.
    static TakeCandidate fromFile(const AudioFile& file);
    // Sets the grouping values (not the names) from an open take file.
    void takeValuesOf(const AudioFile& file);
    // Sets the grouping values (not the names) from other.
    void takeValuesOf(const TakeCandidate& other);

    // True when this file belongs to the mono take of given: equal stems
    // (case-sensitive), equal lengths, rates and start timestamps, and this
    // file has exactly one channel.
    bool joins(const TakeCandidate& given) const
    {
        return channels == 1 && stem == given.stem && totalSamples == given.totalSamples &&
               sampleRate == given.sampleRate && samplesSinceMidnight == given.samplesSinceMidnight;
    }
};
