#include "TakeColumns.h"

#include "AudioFile.h"

#include <QDateTime>
#include <QFileInfo>

namespace TakeColumns {

const QStringList& headersList()
{
    static const QStringList list = {
        "File Name",   "Current Name",  "Channels",       "Project",
        "Tape",        "Scene",         "Take",           "Start TC",
        "Length",      "End TC",        "Originator",     "Originator Ref",
        "Date",        "Time",          "Circled",        "Wild",
        "Sample Rate", "Frame Rate",    "Bit Depth",      "Ubits",
        "Samples Since Midnight",       "TC Sample Rate", "Current Speed",
        "Speed Note",  "Master Speed",  "Digitizer Rate", "User",
        "File UID",    "SW Version",    "Notes",          "Path"};
    return list;
}

const QStringList& defaultList()
{
    static const QStringList list = [] {
        QStringList l;
        const QStringList& h = headersList();
        for (int i = 0; i < h.size(); ++i)
            l << QString::number(i) + (i == Length ? QStringLiteral("Duration") : h.at(i));
        return l;
    }();
    return list;
}

const QStringList& trackHeadersList()
{
    static const QStringList list = {"Channel", "Interleave", "Name", "Function"};
    return list;
}

const QStringList& syncPointsHeadersList()
{
    static const QStringList list = {"Type", "Function", "Comment", "TC", "Length"};
    return list;
}

const QStringList& historyHeadersList()
{
    static const QStringList list = {"Original Name", "Parent Name", "Parent UID"};
    return list;
}

const QStringList& fileSetHeadersList()
{
    static const QStringList list = {"File Count", "Family UID", "Family Name", "File Set Index"};
    return list;
}

QString groupName(const QString& fileName)
{
    const qsizetype us = fileName.lastIndexOf(QLatin1Char('_'));
    if (us < 0)
        return fileName;
    // The "." that ends the track part is the first one after the last "_";
    // taking the first "." of the whole name would keep the track number in
    // names such as "Sc1.2_T3_4.wav".
    qsizetype dot = fileName.indexOf(QLatin1Char('.'), us);
    if (dot < 0)
        dot = fileName.size();
    QString name = fileName;
    name.replace(us, dot - us, QStringLiteral("_X"));
    return name;
}

QString labelText(int count, bool mono)
{
    return QString::number(count) + (mono ? QLatin1String("(MONO)") : QLatin1String("(POLY)"));
}

QString takeLabel(const AudioFile& file, int fileCount)
{
    const bool mono = file.GetChannels() == 1;
    return labelText(mono ? fileCount : int(file.GetChannels()), mono);
}

void setTakeCells(QStringList& cells, const QString& takeName, const QString& currentName,
                  int channels, int fileCount)
{
    if (cells.size() != Count)
        return;
    const bool mono = channels == 1;
    cells[FileName] = takeName;
    cells[CurrentName] =
        !currentName.isEmpty() && mono && fileCount > 1 && currentName.contains(QLatin1Char('_'))
            ? groupName(currentName)
            : currentName;
    cells[Channels] = labelText(mono ? fileCount : channels, mono);
}

namespace {

QDateTime creationTime(const QFileInfo& fi)
{
    const QDateTime birth = fi.birthTime();
    return birth.isValid() ? birth : fi.lastModified();
}

} // namespace

QStringList cells(AudioFile& file, const QString& takeName, int fileCount)
{
    QStringList c;
    c.reserve(Count);
    const QFileInfo fi(file.fileName());

    QString date = file.GetOriginatorDate();
    QString time = file.GetOriginatorTime();
    if (date.isEmpty() || time.isEmpty()) {
        const QDateTime created = creationTime(fi);
        if (date.isEmpty())
            date = created.toString(QStringLiteral("yyyy-MM-dd"));
        if (time.isEmpty())
            time = created.toString(QStringLiteral("hh-mm-ss"));
    }
    const QString frameRate = file.GetFrameRate();

    // Name, current name and label are set below, by the take's rule.
    c << QString() << QString() << QString() << file.GetProjectName() << file.GetTapeName()
      << file.GetSceneName() << file.GetTakeName() << file.GetTCStart() << file.GetDuration()
      << file.GetTCEnd() << file.GetOriginatorName() << file.GetOriginatorReference() << date
      << time << file.GetCircled() << file.GetWild() << QString::number(file.GetSampleRate())
      << frameRate << QString::number(file.GetBitDepth()) << file.GetUBITs()
      << file.GetSamplesSinceMidnight() << file.GetTimeStampSampleRate() << file.GetCurrentSpeed()
      << file.GetSpeedNote() << frameRate << file.GetDigitizerSampleRate() << file.GetUserInfo()
      << file.GetFileUID() << file.GetVersion() << file.GetNotes() << fi.absoluteFilePath();
    setTakeCells(c, takeName, file.GetFileName(), file.GetChannels(), fileCount);
    return c;
}

} // namespace TakeColumns
