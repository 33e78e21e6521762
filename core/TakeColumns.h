#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class AudioFile;

// The 31 columns of the take list and the titles of its side tables. Shared
// by the take list model, the CLI and the reports, so that every view of a
// take shows the same cells.
namespace TakeColumns {

enum Column {
    FileName = 0, CurrentName, Channels, Project, Tape, Scene, Take, StartTC, Length, EndTC,
    Originator, OriginatorRef, Date, Time, Circled, Wild, SampleRate, FrameRate, BitDepth, Ubits,
    SamplesSinceMidnight, TCSampleRate, CurrentSpeed, SpeedNote, MasterSpeed, DigitizerRate, User,
    FileUID, SWVersion, Notes, Path,
    Count
};

const QStringList& headersList();       // "File Name" ... "Path"
const QStringList& defaultList();       // "0File Name" ... "30Path"
const QStringList& trackHeadersList();  // "Channel", "Interleave", "Name", "Function"
const QStringList& syncPointsHeadersList();
const QStringList& historyHeadersList();
const QStringList& fileSetHeadersList();

// The name standing for a mono group: the part from the last "_" up to the
// first "." after it becomes "_X" (T003_2.wav -> T003_X.wav); a name without
// "_" is returned unchanged. The take list's name and current-name columns
// both use it.
QString groupName(const QString& fileName);

// The "Channels" cell: "N(MONO)" for a mono take of N files, "N(POLY)" for
// one file of N channels.
QString labelText(int count, bool mono);

// The label of the take led by file with fileCount files: "%1(MONO)" with the
// file count for a one-channel file, else "%1(POLY)" with the channel count.
QString takeLabel(const AudioFile& file, int fileCount);

// Sets the three cells that depend on the take rather than on its file alone:
// the take's name, the current name (with the "_X" rule for a mono take of
// several files) and the label. currentName: the file's own "current name"
// value; channels: the file's channel count.
void setTakeCells(QStringList& cells, const QString& takeName, const QString& currentName,
                  int channels, int fileCount);

// The 31 cells of a take as an import shows them. file is the take file the
// take was imported through; takeName its grouped name (column 0); fileCount
// the number of files of the take (for the label and the "_X" rule).
// Non-const: GetWild() records its finding in the file's record.
QStringList cells(AudioFile& file, const QString& takeName, int fileCount);

} // namespace TakeColumns
