#pragma once

#include <QString>

// Keeps one take from being edited by two savers at once: two windows, the
// editor and velmora-cli, or two velmora-cli runs. A saver locks the take
// before it reads it and keeps the lock until its backup is gone.
//
// The lock is an flock on the take's inode, so it moves with the take when a
// full rewrite renames it to its "_updatebackup" name. A second saver that
// opens the take's path meanwhile finds the new, half-written file there; it
// is stopped by the backup beside it, whose inode is still locked ("being
// saved by another process"). A backup whose inode nobody locks is what an
// interrupted save left behind: the take is refused until the user has
// checked it. The folder-entry changes of a save (take to backup name, new
// file created; or the backup put back) are made under FolderGuard, so that a
// saver never finds the take missing between two of them.
//
// flock locks of two opens conflict also inside one process, so two windows
// of one application exclude each other like two processes. Never waits for a
// lock held by a save: the second saver is refused at once. On a file system
// that has no locks the take is used unlocked and the backup check alone
// stands between two savers. Not copyable.
class TakeLock
{
public:
    TakeLock() = default;
    ~TakeLock();
    TakeLock(const TakeLock&) = delete;
    TakeLock& operator=(const TakeLock&) = delete;

    // Locks the take at path (a symbolic link is followed to its final
    // target, which is what gets edited). False, with the reason in *error,
    // when another saver holds the take, a backup of an unfinished save lies
    // beside it, or it is missing or not a regular file. The path is opened
    // without blocking (a FIFO never hangs the caller).
    bool acquire(const QString& path, QString* error = nullptr);
    void release();
    bool isLocked() const { return m_fd >= 0; }
    // The path locked, symbolic links resolved; empty when not locked.
    const QString& path() const { return m_path; }

    // Empty when nothing is at backupPath (the backup name of the take at
    // takePath); else why the take must not be edited: another saver has it
    // (its lock is on the take it moved to the backup name) or an earlier
    // save did not finish.
    static QString backupProblem(const QString& takePath, const QString& backupPath);

    // Serialises the folder-entry changes of savers in the folder of path
    // (flock on the folder). Held for a few system calls; waits at most
    // kFolderWaitMs for another holder and then goes on without it, since
    // the take locks and backup checks stay in force.
    class FolderGuard
    {
    public:
        explicit FolderGuard(const QString& pathInFolder);
        ~FolderGuard();
        FolderGuard(const FolderGuard&) = delete;
        FolderGuard& operator=(const FolderGuard&) = delete;

    private:
        int m_fd = -1;
    };
    static constexpr int kFolderWaitMs = 2000;

private:
    int m_fd = -1;
    QString m_path;
};
