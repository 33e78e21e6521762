#include "TakeRepair.h"

#include "AudioFile.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SoundDefs;

namespace {

// Bytes at the end of the file searched for a trailing chunk.
constexpr quint64 kTailProbe = 1u << 20;
constexpr quint64 kMaxField = 0xFFFFFFFFu;

QString osError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool readAt(int fd, quint64 pos, void* buf, size_t n)
{
    return ::pread(fd, buf, n, off_t(pos)) == ssize_t(n);
}

bool writeAt(int fd, quint64 pos, quint32 value)
{
    char le[4];
    qToLittleEndian(value, le);
    return ::pwrite(fd, le, 4, off_t(pos)) == 4;
}

} // namespace

TakeRepair::TakeRepair(const QString& path) : m_path(path) { plan(); }

void TakeRepair::plan()
{
    AudioFile f;
    if (!f.Open(m_path)) {
        m_verdict = Verdict::Unreadable;
        m_message = f.errorText();
        return;
    }
    m_fileSize = f.m_fileSize;
    m_dataBody = f.m_fileDataPos;
    m_oldData = quint32(f.m_dataDeclaredSize);
    m_oldRiff = f.m_riffSize;
    m_newData = m_oldData;
    m_newRiff = m_oldRiff;
    m_message = f.m_info.damage;
    using D = AudioFile::SizeDamage;
    if (f.m_info.fileType != kFileTypeWave || f.m_sizeDamage == D::None) {
        m_verdict = Verdict::Undamaged;
        return;
    }
    m_verdict = Verdict::NotRepairable;
    if (f.m_sizeDamage == D::Chunks || m_fileSize - 8 > kMaxField)
        return;
    m_newRiff = quint32(m_fileSize - 8);
    if (f.m_sizeDamage == D::DataSize) {
        // The audio runs from the data body to the end of the file: the data
        // size becomes the whole frames it holds. A partial last frame stays
        // in the file, after the data chunk, where the reader allows it.
        const quint64 held = m_fileSize - m_dataBody;
        const quint64 whole = held - held % f.m_info.blockAlign;
        quint64 at = 0;
        if (m_dataBody == 0 || whole > kMaxField)
            return;
        if (chunkEndsTheFile(&at)) {
            m_message += QStringLiteral("; a chunk stands after the audio at byte %1").arg(at);
            return;
        }
        m_newData = quint32(whole);
    }
    m_verdict = Verdict::Repairable;
}

bool TakeRepair::chunkEndsTheFile(quint64* at) const
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true; // unknown: not safe to assume audio
    const quint64 audio = m_fileSize - m_dataBody;
    const quint64 n = std::min(audio, kTailProbe);
    QByteArray tail(qsizetype(n), '\0');
    const bool read = readAt(fd, m_fileSize - n, tail.data(), size_t(n));
    ::close(fd);
    if (!read)
        return true;
    static const char* const ids[] = {"iXML", "bext", "LIST", "JUNK", "_PMX", "axml", "cue "};
    for (const char* id : ids) {
        for (qsizetype i = tail.indexOf(id); i >= 0 && i + 8 <= tail.size();
             i = tail.indexOf(id, i + 1)) {
            const quint64 size = qFromLittleEndian<quint32>(tail.constData() + i + 4);
            const quint64 end = quint64(i) + 8 + size;
            if (end == quint64(tail.size()) || end + 1 == quint64(tail.size())) {
                *at = m_fileSize - n + quint64(i);
                return true;
            }
        }
    }
    return false;
}

QString TakeRepair::changes() const
{
    QStringList parts;
    if (m_newData != m_oldData)
        parts << QStringLiteral("data size %1 -> %2").arg(m_oldData).arg(m_newData);
    if (m_newRiff != m_oldRiff)
        parts << QStringLiteral("RIFF size %1 -> %2").arg(m_oldRiff).arg(m_newRiff);
    return parts.join(QStringLiteral(", "));
}

bool TakeRepair::apply(QString* error)
{
    if (m_verdict != Verdict::Repairable) {
        *error = m_verdict == Verdict::Undamaged ? QStringLiteral("nothing to repair") : m_message;
        return false;
    }
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot be opened for writing: %1").arg(osError());
        return false;
    }
    // The file must still be the one planned for: same size, same fields.
    struct stat st;
    char riff[8];
    char data[8];
    const quint64 dataHeader = m_dataBody >= 8 ? m_dataBody - 8 : 0;
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && quint64(st.st_size) == m_fileSize &&
                readAt(fd, 0, riff, 8) && std::memcmp(riff, "RIFF", 4) == 0 &&
                qFromLittleEndian<quint32>(riff + 4) == m_oldRiff;
    if (same && m_newData != m_oldData)
        same = dataHeader != 0 && readAt(fd, dataHeader, data, 8) &&
               std::memcmp(data, "data", 4) == 0 &&
               qFromLittleEndian<quint32>(data + 4) == m_oldData;
    if (!same) {
        ::close(fd);
        *error = QStringLiteral("the file changed since it was read; nothing was written");
        return false;
    }
    bool ok = true;
    if (m_newData != m_oldData)
        ok = writeAt(fd, dataHeader + 4, m_newData);
    if (ok && m_newRiff != m_oldRiff)
        ok = writeAt(fd, 4, m_newRiff);
    if (!ok || ::fsync(fd) != 0) {
        *error = QStringLiteral("write failed: %1").arg(osError());
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        *error = QStringLiteral("write failed: %1").arg(osError());
        return false;
    }
    AudioFile check;
    if (!check.Open(m_path) || !check.m_info.damage.isEmpty()) {
        *error = QStringLiteral("still damaged after the repair: %1")
                     .arg(check.m_info.damage.isEmpty() ? check.errorText() : check.m_info.damage);
        return false;
    }
    return true;
}
