#pragma once

#include <QString>

class QFile;

// File-system steps of the take-writing operations, each done so that a take
// file is never lost: renames never replace an existing file, finished files
// are flushed to the disk before anything they replace is deleted, and write
// permission is judged by the owner's intent (the mode bits) as well as by
// the operating system, so that a take marked read-only stays untouched even
// for a privileged user. All functions are reentrant; none throws.
class SafeFileOps
{
public:
    // Renames from to to only when nothing exists at to: atomic on file systems
    // that support it, otherwise checked just before the rename. On failure
    // *error (when given) says why; from is then unchanged.
    static bool renameNoReplace(const QString& from, const QString& to, QString* error = nullptr);

    // Writes all size bytes; a short write is continued so that the error
    // that stopped it (disk full, file-size limit) is the one reported.
    static bool writeAll(QFile& file, const char* data, qint64 size, QString* error = nullptr);

    // Flushes Qt's write buffer of file. A buffer the kernel took only in part
    // (the file-size limit or the disk reached half way) leaves QFile without
    // a reason ("Unknown error"); *error then gets the system's own.
    static bool flush(QFile& file, QString* error = nullptr);

    // Copies size bytes of src at srcPos to dst at dstPos (absolute offsets),
    // inside the kernel (copy_file_range) while the file systems allow it and
    // through buffer otherwise (kernelCopy is then cleared for later calls).
    // dst must have no unflushed Qt buffer; the Qt positions of both files are
    // left undefined (seek before the next read or write through them).
    // startWriteback: begin writing the copied range to the disk at once, so a
    // later sync has less to wait for. False on a failed or short copy (a
    // source that ends early), with the reason in *error.
    static bool copyBytes(QFile& src, quint64 srcPos, QFile& dst, quint64 dstPos, qint64 size,
                          QByteArray& buffer, bool& kernelCopy, bool startWriteback,
                          QString* error = nullptr);

    // Flushes Qt's buffer and the kernel's cache of an open file to the disk.
    static bool syncFile(QFile& file, QString* error = nullptr);
    // Makes the folder entries of path (a creation or rename) durable.
    static bool syncFolderOf(const QString& path);

    // Empty when a take file at path may be rewritten, else the reason: the
    // file is missing, a folder, not a regular file (FIFO, device, socket),
    // or read-only.
    static QString fileWriteProblem(const QString& path);
    // Empty when files may be created and renamed in the folder of path.
    static QString folderWriteProblem(const QString& path);

    // True when a and b name the same file: equal absolute paths, or the same
    // device and inode when both exist (hard links, symbolic links, "..").
    static bool samePath(const QString& a, const QString& b);

    // path with "_updatebackup" inserted before its last "." (T012_3.wav gives
    // T012_3_updatebackup.wav), or appended when the name has no extension:
    // where a full rewrite keeps the take while it writes the new file.
    static QString backupPathFor(const QString& path);

    // path with a symbolic link in its last component followed to the final
    // target (the file an edit must change; the link stays as it is); path
    // itself when it is no link or the link leads nowhere.
    static QString resolvedPath(const QString& path);

    // Creates newPath (which must not exist) as an empty file with the owner,
    // group, mode and extended attributes of the file at like, so that a take
    // written anew keeps who may read it and what other programs noted on it.
    // Every user.* attribute and access list is kept or the call fails; other
    // namespaces (security.*, trusted.*) are kept where the system allows.
    // On failure nothing is left at newPath and *error says why.
    static bool createLike(const QString& newPath, const QString& like, QString* error = nullptr);

    // The name an output is written under until it is complete:
    // "<out>.velmora-partial" (never a take name: the extension is not audio).
    static QString partialPathFor(const QString& outputPath);

    // Text of errno for messages.
    static QString lastErrorText();
};
