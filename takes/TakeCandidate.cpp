#include "TakeCandidate.h"

#include "AudioFile.h"
#include "KQHelper.h"

#include <QFileInfo>

TakeCandidate TakeCandidate::fromFile(const AudioFile& file)
{
    TakeCandidate c;
    c.path = file.fileName();
    c.fileName = QFileInfo(c.path).fileName();
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
