#include "TakeEdits.h"

#include "AudioFile.h"

bool TakeEdits::isEmpty() const
{
    return !frameRate && !sampleRate && !samplesSinceMidnight && !project && !scene && !tape &&
           !take && !ubits && !notes && !user && !circled && !wild && tracks.isEmpty();
}

bool TakeEdits::operator==(const TakeEdits& o) const
{
    return frameRate == o.frameRate && sampleRate == o.sampleRate &&
           samplesSinceMidnight == o.samplesSinceMidnight && project == o.project &&
           scene == o.scene && tape == o.tape && take == o.take && ubits == o.ubits &&
           notes == o.notes && user == o.user && circled == o.circled && wild == o.wild &&
           tracks == o.tracks;
}

void TakeEdits::applyTo(AudioFile& file, bool multi) const
{
    if (frameRate)
        file.SetFrameRate(*frameRate);
    if (sampleRate) {
        file.SetSampleRate(*sampleRate);
        file.SetTimeStampSampleRate(*sampleRate);
    }
    if (samplesSinceMidnight)
        file.SetSamplesSinceMidnight(*samplesSinceMidnight);
    if (project)
        file.SetProjectName(*project);
    if (scene)
        file.SetSceneName(*scene);
    if (tape)
        file.SetTapeName(*tape);
    if (take && !multi)
        file.SetTakeName(*take);
    if (ubits)
        file.SetUBITs(*ubits);
    if (notes)
        file.SetNotes(*notes);
    if (user)
        file.SetUserInfo(*user);
    if (circled)
        file.SetCircled(*circled);
    if (wild)
        file.SetWild(*wild);
    if (tracks.isEmpty())
        return;
    // Rows: channel, interleave, name, function.
    QList<QStringList> rows = file.GetTracksInfo();
    bool changed = false;
    for (QStringList& row : rows) {
        bool ok = false;
        const int channel = row.value(0).toInt(&ok);
        if (!ok || row.size() != 4)
            continue;
        for (const TrackEdit& t : tracks) {
            if (t.channel != channel)
                continue;
            row[2] = t.name;
            if (t.function)
                row[3] = *t.function;
            changed = true;
        }
    }
    if (changed)
        file.SetTracksInfo(rows);
}
