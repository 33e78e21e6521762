#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes small take files the way field recorders lay them out (fmt, bext,
// iXML, data), with exactly the values take grouping looks at.
struct TakeShape {
    int channels = 1;
    int sampleRate = 48000;
    int bits = 24;
    int frames = 480;
    quint64 timestamp = 0; // samples since midnight, in the iXML SPEED block
    // iXML CHANNEL_INDEX of a mono file's one track; poly files number their
    // tracks 1..channels. With trackList false no TRACK_LIST is written.
    int channelIndex = 1;
    bool trackList = true;
    QString trackName = "Boom";
    QString scene = "12";
    QString take = "3";
    QString recordedName; // bext FILENAME entry; none when empty
    QString originationDate = "2024-05-06";
    QString originationTime = "10:11:12";
    bool ixml = true;
    QStringList bextTracks; // TRK1.. entries in the description
    QString note; // written into the iXML as it is: "&" makes a document that does not parse
    // Bytes cut from the end of the file: its data chunk then claims more than
    // the file holds, as after a power loss (a damaged take).
    int chop = 0;
};

namespace TakeFileMaker
{
QByteArray ixml(const TakeShape& s);
QByteArray build(const TakeShape& s);
bool write(const QString& path, const TakeShape& s);
// A mono take of count files stem_1.WAV .. stem_<count>.WAV with channel
// indices 1..count; returns their paths.
QStringList writeMonoTake(const QString& folder, const QString& stem, int count,
                          const TakeShape& base = TakeShape());
// Writes demo takes into folder through the product's own writer: odd takes
// polyphonic, even takes mono groups of `channels` files. Returns the files
// written.
QStringList writeDemoTakes(const QString& folder, int takes, int channels = 4, int firstTake = 1);
} // namespace TakeFileMaker
