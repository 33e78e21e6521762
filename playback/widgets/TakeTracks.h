#pragma once

#include <QString>
#include <QStringList>

// What the transport window and the mixer need to know of a take, read from
// its files: the files to play (a polyphonic file alone; a mono file with the
// other mono files of its take, in track order), its display name, its
// channel count and its track names.
struct TakeTracks {
    bool ok = false; // false: the file is missing or is not a take
    QStringList files;
    QString name;
    int channels = 0;
    QStringList trackNames; // one per channel, empty when unnamed

    static TakeTracks read(const QString& path);
};
