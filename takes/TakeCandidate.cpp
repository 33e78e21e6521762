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
    c.channels = file.GetChannels();
    c.totalSamples = file.GetTotalSamples();
    c.sampleRate = file.GetSampleRate();
    c.samplesSinceMidnight = file.GetSamplesSinceMidnight();
    c.channelIndex = file.GetChanelIndex();
    return c;
}
