#pragma once

#include "TakeCandidate.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class AudioFile;
class TakeFolderCache;
class TakePool;

// Decides which files on disk make up one take, so that a mono take is one
// row of the take list and every operation on that row reaches all of its
// files. A polyphonic file is a take by itself; mono files of one folder
// form one take when their name stems, lengths in samples, sample rates and
// start timestamps are equal, one file per channel slot (0..63), in slot order.
//
// Files are read only (AudioFile::Open); nothing here creates or changes a
// file. Headers are read through the caller's TakeFolderCache, so calling
// getTakeFiles for every take of a folder reads each file about once.
// Thread-safe.
class KQHelper
{
public:
    static constexpr int kChannelSlots = 64;

    // The bare file name up to its last "_"; without "_", up to its last ".";
    // with neither, the whole name.
    static QString nameStem(const QString& fileName);

    // fileName with the "_X" rule applied when fileCount > 1: the characters
    // from the last "_" up to the first "." after it (or the end of the name)
    // are replaced by "_X"; a name without "_" is kept. T012_3.wav becomes
    // T012_X.wav.
    static QString takeName(const QString& fileName, int fileCount);

    // The bare names of the take files in folder, one level: plain files
    // (symbolic links to files included, hidden files not) matching *.WAV,
    // *.wav, *.bwf or *.BWF (any letter case), sorted by name. Empty when the
    // folder does not exist.
    static QStringList takeFileNames(const QString& folder);

    // Groups file with the unclaimed files of pool and claims those that join
    // the take. Appends the take's paths to takeFiles and sets name (the take
    // name). A file already claimed by an earlier take of the run yields
    // nothing (name is still set). file holds the values of a file read
    // earlier (file.path: the name it was opened with).
    static void getTakeFiles2(TakePool& pool, const TakeCandidate& file, QStringList& takeFiles,
                              QString& name);

    // Groups file with the files of its folder as they are on disk now.
    // Appends the take's paths to takeFiles and sets name. A null file, or one
    // without a path, leaves both unchanged.
    static void getTakeFiles(TakeFolderCache& cache, const AudioFile* file, QStringList& takeFiles,
                             QString& name);

    // The absolute, clean folder of path.
    static QString folderOf(const QString& path);
    // path made absolute and clean.
    static QString absolutePath(const QString& path);
    // The damage of the files of a take, from damageOf (keyed by absolute
    // path): the text of a one-file take, else one "name: damage" line per
    // damaged file; empty when none is damaged.
    static QString takeDamage(const QHash<QString, QString>& damageOf,
                              const QStringList& takeFiles);

    // Fills the channel slots from candidates (in the order given) for the
    // take of given and appends the occupied slots' paths to takeFiles in slot
    // order. A candidate goes to the slot of its channel index, or the first
    // free slot above it; one whose index is outside 0..63, or finds no free
    // slot, is left out. Returns the positions of the candidates placed.
    static QVector<int> fillSlots(const TakeCandidate& given,
                                  const QVector<TakeCandidate>& candidates, QStringList& takeFiles);
    // The take of given among candidates: the slots filled as by fillSlots.
    // When given itself finds no slot (the take its siblings form is full),
    // that take belongs to them and given's take is filled again from the
    // candidates left over, and so on; so the import and every later
    // operation find the same files from any file of a take. Nothing when
    // given never finds a slot. Returns the positions of the files placed.
    static QVector<int> fillTakeOf(const TakeCandidate& given,
                                   const QVector<TakeCandidate>& candidates, QStringList& takeFiles);

    // The one rule for the name of a take file: its suffix is .wav or .bwf,
    // any letter case.
    static bool hasTakeSuffix(const QString& path);

    // True when takeFileNames() would list a file of that bare name.
    static bool isListedName(const QString& fileName);

private:
    // A file whose name the folder listing leaves out (hidden, other suffix)
    // is still a member of its own take: it is added to candidates at its
    // place in name order.
    static void includeGiven(const TakeCandidate& given, QVector<TakeCandidate>& candidates);
};
