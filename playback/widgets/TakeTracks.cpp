#include "TakeTracks.h"

#include "AudioFile.h"
#include "KQHelper.h"
#include "TakeFolderCache.h"

#include <QFileInfo>

namespace
{

QString firstTrackName(const AudioFile& f, int channel)
{
    for (const SoundDefs::AudioChannelInfo& c : f.m_info.channelList)
        if (c.channelIndex == channel + 1 || (channel == 0 && f.m_info.channels == 1))
            return c.name;
    return QString();
}

} // namespace

TakeTracks TakeTracks::read(const QString& path)
{
    TakeTracks t;
    AudioFile f;
    if (path.isEmpty() || !QFileInfo(path).isFile() || !f.Open(path))
        return t;
    t.ok = true;
    if (f.GetChannels() >= 2) {
        t.files = QStringList{path};
        t.name = QFileInfo(path).completeBaseName();
        t.channels = f.GetChannels();
        for (int c = 0; c < t.channels; ++c)
            t.trackNames << firstTrackName(f, c);
        return t;
    }
    TakeFolderCache cache; // one take: its folder is read once
    KQHelper::getTakeFiles(cache, &f, t.files, t.name);
    if (t.files.isEmpty())
        t.files = QStringList{path};
    if (t.name.isEmpty())
        t.name = QFileInfo(path).completeBaseName();
    t.channels = int(t.files.size());
    for (const QString& file : t.files) {
        AudioFile m;
        t.trackNames << (m.Open(file) ? firstTrackName(m, 0) : QString());
    }
    return t;
}
