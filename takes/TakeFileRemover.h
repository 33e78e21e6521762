#pragma once

#include <QString>
#include <QStringList>

class TakeFolderCache;

// Deletes the files of one listed take from disk: the file the take was
// imported through and, for a mono take, its sibling files as take grouping
// finds them now. Deletes nothing when the take on disk no longer looks like
// the listed one (another number of files than its label says), so that a
// file that joined the group after the import is never deleted with it.
// Any thread; touches only the files of that take.
class TakeFileRemover
{
public:
    enum class Outcome {
        Deleted,   // every file of the take was deleted
        NotOpened, // the take's file does not open as a take: nothing deleted
        Changed,   // the files on disk no longer match the listed take: nothing deleted
        Failed,    // some files could not be deleted (see failed)
    };
    struct Result {
        Outcome outcome = Outcome::NotOpened;
        QStringList deleted; // files removed from disk
        QStringList failed;  // files that could not be removed
    };

    // The files of the take listed with path (column "Path") and label
    // (column "Channels", "4(MONO)" or "8(POLY)"), in channel order. Empty
    // with outcome NotOpened or Changed when nothing may be deleted.
    // cache: the folder indexes of the take list.
    static QStringList filesOf(TakeFolderCache& cache, const QString& path, const QString& label,
                               Outcome* outcome);

    static Result remove(TakeFolderCache& cache, const QString& path, const QString& label);
};
