#include "TakeEdits.h"

#include "AudioFile.h"

#include <QStringList>

#include <algorithm>

bool TakeEdits::isEmpty() const
{
    return !frameRate && !sampleRate && !samplesSinceMidnight && !project && !scene && !tape &&
           !take && !ubits && !notes && !user && !circled && !wild && tracks.isEmpty() &&
           !rebuildIxml;
}

bool TakeEdits::operator==(const TakeEdits& o) const
{
    return frameRate == o.frameRate && sampleRate == o.sampleRate &&
           samplesSinceMidnight == o.samplesSinceMidnight && project == o.project &&
           scene == o.scene && tape == o.tape && take == o.take && ubits == o.ubits &&
           notes == o.notes && user == o.user && circled == o.circled && wild == o.wild &&
           tracks == o.tracks && rebuildIxml == o.rebuildIxml;
}

void TakeEdits::applyTo(AudioFile& file, bool multi) const
{
    // Only a document that did not parse is rebuilt: one that parsed keeps
    // what this program does not know.
    if (rebuildIxml && !file.m_info.ixmlError.isEmpty())
        file.m_rebuildIxml = true;
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

QString TakeEdits::trackProblem(const QVector<int>& takeChannels) const
{
    for (const TrackEdit& t : tracks) {
        if (takeChannels.contains(t.channel))
            continue;
        QString text = QStringLiteral("track %1 is outside the take's %2 tracks")
                           .arg(t.channel)
                           .arg(takeChannels.size());
        // Tracks numbered other than 1..N (the outputs of a split keep their
        // source's numbers) are listed, or the message would make no sense.
        QVector<int> sorted = takeChannels;
        std::sort(sorted.begin(), sorted.end());
        bool plain = true;
        for (int i = 0; i < sorted.size(); ++i)
            plain = plain && sorted.at(i) == i + 1;
        if (!plain) {
            QStringList numbers;
            for (int c : sorted)
                numbers << QString::number(c);
            text += QStringLiteral(" (%1)").arg(numbers.join(QStringLiteral(", ")));
        }
        return text;
    }
    return QString();
}
