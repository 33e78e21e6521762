#include "cAudioBext.h"

#include <algorithm>
#include <cstddef>

namespace SoundDefs
{

const int cAudioBext::kFieldWidth[9] = {256, 32, 32, 10, 8, 4, 4, 2, 254};
const int cAudioBext::kFieldOffset[9] = {0, 256, 288, 320, 330, 338, 342, 346, 348};

static_assert(offsetof(BEXTAudioHdr, Originator) == 256, "bext layout");
static_assert(offsetof(BEXTAudioHdr, OriginatorReference) == 288, "bext layout");
static_assert(offsetof(BEXTAudioHdr, OriginationDate) == 320, "bext layout");
static_assert(offsetof(BEXTAudioHdr, OriginationTime) == 330, "bext layout");
static_assert(offsetof(BEXTAudioHdr, TimeReferenceLow) == 338, "bext layout");
static_assert(offsetof(BEXTAudioHdr, TimeReferenceHigh) == 342, "bext layout");
static_assert(offsetof(BEXTAudioHdr, Version) == 346, "bext layout");
static_assert(offsetof(BEXTAudioHdr, Reserved) == 348, "bext layout");

namespace
{

constexpr int kDescriptionSize = 256;

bool isTextField(int field)
{
    return (field >= cAudioBext::Description && field <= cAudioBext::OriginationTime) ||
           field == cAudioBext::Reserved;
}

// 8-bit text of bytes [begin, end), cut at the first NUL.
QString latin1Until(const char* begin, const char* end)
{
    const char* p = begin;
    while (p < end && *p != '\0')
        ++p;
    return QString::fromLatin1(begin, int(p - begin));
}

// A description line must not carry its own line breaks or NULs: they would
// split or cut the entry when the Description is parsed again.
QByteArray lineSafe(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    for (char& c : bytes) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return bytes;
}

} // namespace

void cAudioBext::Clear()
{
    keys.clear();
    values.clear();
    bareLines.clear();
    tail.clear();
    prefix = QStringLiteral("s");
}

void cAudioBext::CopyEntries(const cAudioBext& other)
{
    keys = other.keys;
    values = other.values;
    prefix = other.prefix;
    bareLines = other.bareLines;
    tail = other.tail;
}

void cAudioBext::Parse(BEXTAudioHdr* hdr)
{
    Clear();
    header = hdr;
    if (!hdr)
        return;

    // Work on a copy; every index below stays inside these 256 bytes.
    char buf[kDescriptionSize];
    std::memcpy(buf, hdr->Description, kDescriptionSize);
    // At most one entry per carriage return: the lists are sized once.
    const auto lines = std::count(buf, buf + kDescriptionSize, '\r');
    keys.reserve(lines);
    values.reserve(lines);

    int lineStart = 0;
    int equalPos = -1; // first '=' of the current line, -1 when none yet
    int pos = 0;
    while (pos < kDescriptionSize) {
        if (pos == lineStart && buf[pos] == '\0')
            break;
        const char c = buf[pos];
        if (c == '=' && equalPos < 0) {
            equalPos = pos;
        } else if (c == '\r') {
            int lineEnd = pos;
            if (lineEnd > lineStart && buf[lineEnd - 1] == '\n')
                --lineEnd; // "\n\r" ending
            QString key;
            QString value;
            if (equalPos >= 0 && equalPos < lineEnd) {
                key = latin1Until(buf + lineStart, buf + equalPos);
                value = latin1Until(buf + equalPos + 1, buf + lineEnd);
            } else {
                // A line without '=' is all key; its value is empty.
                key = latin1Until(buf + lineStart, buf + lineEnd);
                bareLines.append(keys.size());
            }
            if (prefix == QLatin1String("s") && !key.isEmpty()) {
                const QChar first = key.at(0);
                if (first >= QLatin1Char('b') && first <= QLatin1Char('y'))
                    prefix = QString(first);
            }
            keys.append(key);
            values.append(value);

            if (pos + 1 < kDescriptionSize && (buf[pos + 1] == '\n' || buf[pos + 1] == '\r'))
                ++pos;
            lineStart = pos + 1;
            equalPos = -1;
        }
        ++pos;
    }
    // Text not closed by a line break (a plain sentence, as some writers
    // store) is no entry, but it is the user's: it is written back as it was.
    if (lineStart < kDescriptionSize)
        tail = QByteArray(buf + lineStart,
                          int(qstrnlen(buf + lineStart, uint(kDescriptionSize - lineStart))));
}

void cAudioBext::Compile()
{
    if (!header)
        return;
    std::memset(header->Description, 0, kDescriptionSize);
    int used = 0;
    for (int i = 0; i < keys.size(); ++i) {
        if (keys.at(i).isEmpty())
            continue;
        QByteArray line = lineSafe(keys.at(i));
        if (!(bareLines.contains(i) && values.at(i).isEmpty())) {
            line += '=';
            line += lineSafe(values.at(i));
        }
        line += "\r\n";
        // A line may fill the field to its last byte: the description needs
        // no terminating NUL when all 256 bytes are used.
        if (line.size() <= kDescriptionSize - used) {
            std::memcpy(header->Description + used, line.constData(), size_t(line.size()));
            used += int(line.size());
        }
    }
    if (!tail.isEmpty() && tail.size() <= kDescriptionSize - used)
        std::memcpy(header->Description + used, tail.constData(), size_t(tail.size()));
}

bool cAudioBext::SetValue(const QString& key, const QString& value)
{
    // An empty key would match the first entry of any list.
    if (key.isEmpty())
        return false;
    for (int i = 0; i < keys.size(); ++i) {
        const QString& k = keys.at(i);
        if (!k.isEmpty() && k.contains(key, Qt::CaseInsensitive)) {
            values[i] = value;
            return true;
        }
    }
    keys.append(prefix + key);
    values.append(value);
    return true;
}

bool cAudioBext::GetDescriptionValue(const char* key, QString& value, bool exact) const
{
    const QLatin1String wanted(key ? key : ""); // compared as it is, no copy
    for (int i = 0; i < keys.size(); ++i) {
        const QString& k = keys.at(i);
        if (k.isEmpty())
            continue;
        if (exact ? (k == wanted) : k.contains(wanted, Qt::CaseSensitive)) {
            value = values.at(i);
            return true;
        }
    }
    return false;
}

bool cAudioBext::GetDescriptionValues(const char* key, QStringList& keysOut,
                                      QStringList& valuesOut) const
{
    const QLatin1String wanted(key ? key : ""); // compared as it is, no copy
    for (int i = 0; i < keys.size(); ++i) {
        const QString& k = keys.at(i);
        if (!k.isEmpty() && k.contains(wanted, Qt::CaseSensitive)) {
            keysOut.append(k);
            valuesOut.append(values.at(i));
        }
    }
    return !keysOut.isEmpty();
}

bool cAudioBext::DeleteEntry(const char* key, bool substring)
{
    const QLatin1String wanted(key ? key : ""); // compared as it is, no copy
    bool matched = false;
    for (int i = 0; i < keys.size(); ++i) {
        const QString& k = keys.at(i);
        if (k.isEmpty())
            continue;
        if (substring ? k.contains(wanted, Qt::CaseSensitive) : (k == wanted)) {
            keys[i].clear();
            values[i].clear();
            matched = true;
        }
    }
    return matched;
}

void cAudioBext::GetBextField(BEXT_HDR_FIELD field, QString& out) const
{
    if (!header)
        return;
    const int f = int(field);
    if (f < 0 || f > 8)
        return;
    const char* base = reinterpret_cast<const char*>(header);
    if (isTextField(f)) {
        const char* begin = base + kFieldOffset[f];
        if (*begin == '\0')
            return;
        out = latin1Until(begin, begin + kFieldWidth[f]);
    } else if (f == TimeReferenceLow) {
        out = QString::number(qFromLittleEndian(header->TimeReferenceLow));
    } else if (f == TimeReferenceHigh) {
        out = QString::number(qFromLittleEndian(header->TimeReferenceHigh));
    } else if (f == Version) {
        out = QString::number(header->Version[0]) + QString::number(header->Version[1]);
    }
}

void cAudioBext::SetBextField(BEXT_HDR_FIELD field, const QString& value)
{
    if (!header || value.isEmpty())
        return;
    const int f = int(field);
    if (f < 0 || f > 8)
        return;
    if (isTextField(f)) {
        char* begin = reinterpret_cast<char*>(header) + kFieldOffset[f];
        const QByteArray bytes = value.toLatin1();
        const int n = qMin(int(bytes.size()), kFieldWidth[f]);
        std::memset(begin, 0, size_t(kFieldWidth[f]));
        std::memcpy(begin, bytes.constData(), size_t(n));
    } else if (f == Version) {
        auto digit = [&value](int i) -> quint8 {
            if (i >= value.size())
                return 255;
            const QChar c = value.at(i);
            return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? quint8(c.unicode() - '0')
                                                                    : quint8(255);
        };
        header->Version[0] = digit(0);
        header->Version[1] = digit(1);
    }
}

void cAudioBext::SetBextField(BEXT_HDR_FIELD field, unsigned int value)
{
    if (!header)
        return;
    if (field == TimeReferenceLow)
        header->TimeReferenceLow = qToLittleEndian(quint32(value));
    else if (field == TimeReferenceHigh)
        header->TimeReferenceHigh = qToLittleEndian(quint32(value));
}

} // namespace SoundDefs
