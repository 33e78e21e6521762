#pragma once

#include "CommonDefs.h"

#include <QByteArray>
#include <QFile>

// A QFile that is also a CommonDefs::cStream. Owns the transfer buffer used by
// the file operations (allocated by the writers, freed on Close()).
class cFile : public QFile, public CommonDefs::cStream
{
public:
    cFile() = default;
    explicit cFile(const QString& path) : QFile(path), m_path(path) {}
    ~cFile() override { Close(); }

    // The path this object names, kept here: QFile::fileName() asks (and on
    // first use builds, then keeps) a file engine, which costs more than the
    // rest of reading a take's name. Every change of name goes through
    // setFileName(), rename() or the opens below; while the file is open by
    // descriptor the name is empty.
    QString fileName() const { return m_path; }
    void setFileName(const QString& name)
    {
        QFile::setFileName(name);
        m_path = name;
    }
    bool rename(const QString& newName)
    {
        if (!QFile::rename(newName))
            return false;
        m_path = newName;
        return true;
    }

    // mode: QIODevice::OpenMode bits.
    bool Open(int mode) override { return QFile::open(QIODevice::OpenMode(mode)); }
    // Opens fileName() read-only without ever blocking, and only when it is a
    // regular file (or a symbolic link to one): a FIFO or a device named like
    // a take would stall a plain open, or its first read, forever. On success
    // *size is the file's size in bytes; on failure *why says what is wrong
    // ("not a regular file", "cannot be opened: ..."). While the file is open
    // fileName() is empty; Close() restores it.
    bool OpenRegularForReading(quint64* size, QString* why);
    void Close() override;
    qint64 Read(void* buffer, qint64 count) override
    {
        return QFile::read(static_cast<char*>(buffer), count);
    }
    qint64 Write(const void* buffer, qint64 count) override
    {
        return QFile::write(static_cast<const char*>(buffer), count);
    }
    bool Seek(quint64 offset, bool fromStart) override;
    quint64 GetPos() override { return quint64(QFile::pos()); }

    QByteArray m_transferBuffer; // empty until a writer allocates it
    qint64 transferBufferSize() const { return m_transferBuffer.size(); }

    // What the file system said about the file OpenRegularForReading() opened,
    // taken on the open descriptor before anything was read: whoever keeps
    // what was read can tell later whether the file changed since. Times in
    // nanoseconds since the epoch. valid is false until such an open succeeds.
    struct StatAtOpen {
        bool valid = false;
        qint64 size = 0;
        qint64 mtimeNs = 0;
        qint64 ctimeNs = 0;
        quint64 device = 0;
        quint64 inode = 0;
    };
    const StatAtOpen& statAtOpen() const { return m_statAtOpen; }

protected:
    StatAtOpen m_statAtOpen;

private:
    QString m_path;
    QString m_nameWhileOpen; // the path of a file opened by descriptor
};
