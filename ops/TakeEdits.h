#pragma once

#include <QString>
#include <QVector>

#include <optional>

class AudioFile;

// New name (and optionally function) for the track whose channel index is
// channel (1-based, as in the take's track list).
struct TrackEdit {
    int channel = 0;
    QString name;
    std::optional<QString> function; // unset: the function stays

    bool operator==(const TrackEdit& o) const
    {
        return channel == o.channel && name == o.name && function == o.function;
    }
};

// The fields of a take that an edit changed; an unset field is not written.
// Values are the texts the setters of AudioFile take: frameRate a user form
// of the frame-rate table ("29.97 DF"), sampleRate and samplesSinceMidnight
// decimal integers, circled and wild "Y" for yes and anything else for no.
struct TakeEdits {
    std::optional<QString> frameRate;
    std::optional<QString> sampleRate; // also the timestamp sample rate
    std::optional<QString> samplesSinceMidnight;
    std::optional<QString> project;
    std::optional<QString> scene;
    std::optional<QString> tape;
    std::optional<QString> take;
    std::optional<QString> ubits;
    std::optional<QString> notes;
    std::optional<QString> user;
    std::optional<QString> circled;
    std::optional<QString> wild;
    QVector<TrackEdit> tracks;
    // The take's iXML did not parse and the caller accepts that the next
    // write renders it from what was read (AudioFile::m_rebuildIxml); what the
    // document held beyond that is lost. An edit by itself.
    bool rebuildIxml = false;

    bool isEmpty() const;
    // Same fields set to the same values (a file written with these edits
    // need not be written again).
    bool operator==(const TakeEdits& o) const;
    bool operator!=(const TakeEdits& o) const { return !(*this == o); }

    // Writes the set fields into file (in memory) through its setters, in the
    // order of the editor's save: frame rate, sample rate with timestamp sample
    // rate, samples since midnight, project, scene, tape, take, ubits, notes,
    // user, circled, wild, tracks. multi: part of a save of several takes at
    // once, which never writes the take name. A track edit applies to the
    // file's track with that channel index; a file without it is unchanged.
    void applyTo(AudioFile& file, bool multi) const;
    // Empty when every track edit names a track of the take, else why not
    // ("track 5 is outside the take's 4 tracks"). takeChannels: the channel
    // indices of the take's tracks (of all its files, for a mono group).
    QString trackProblem(const QVector<int>& takeChannels) const;
};
