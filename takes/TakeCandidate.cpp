#include "TakeCandidate.h"

#include "AudioFile.h"
#include "KQHelper.h"

TakeCandidate TakeCandidate::fromFile(const AudioFile& file)
{
    TakeCandidate c;
    c.path = file.fileName();
    // The part after the last '/', as QFileInfo::fileName() gives it, without
    // building a file information object per file of an import.
    c.fileName = c.path.mid(c.path.lastIndexOf(QLatin1Char('/')) + 1);
    c.stem = KQHelper::nameStem(c.fileName);
    c.takeValuesOf(file);
    return c;
}

void TakeCandidate::takeValuesOf(const AudioFile& file)
{
    channels = file.GetChannels();
    totalSamples = file.GetTotalSamples();
    sampleRate = file.GetSampleRate();
    samplesSinceMidnight = file.GetSamplesSinceMidnight();
    channelIndex = file.GetChanelIndex();
}

void TakeCandidate::takeValuesOf(const TakeCandidate& other)
{
    channels = other.channels;
    totalSamples = other.totalSamples;
    sampleRate = other.sampleRate;
    samplesSinceMidnight = other.samplesSinceMidnight;
    channelIndex = other.channelIndex;
}
