#include "cUidGen.h"

#include "CommonDefs.h"

#include <QRandomGenerator>
#include <QTime>

namespace
{
const QString kPrefix = QString::fromLatin1(CommonDefs::gKQPrefStr);
constexpr int kSerialStart = 5, kSerialLength = 12;
constexpr int kTimeStart = 17, kTimeLength = 6;
constexpr int kRecNumStart = 23, kRecNumLength = 5;
constexpr int kFileUidLength = 32;
} // namespace

cUidGen::cUidGen() : prefix(kPrefix)
{
    GenUid();
}

void cUidGen::GenUid()
{
    uid = prefix;
    uid += serial.isEmpty() ? GetRandom(kSerialLength) : serial;
    uid += timeText.isEmpty()
               ? QTime::currentTime().toString(QString::fromLatin1(CommonDefs::gUidTmFormat))
               : timeText;
    uid += recNum.isEmpty() ? GenRecNumStr() : recNum;
    uid += GetRandom(2);
}

QString cUidGen::GetRandom(int digits)
{
    QString out;
    if (digits < 2)
        return out;
    // Drawn from the system-seeded generator, so identifiers made within the
    // same millisecond still differ.
    QRandomGenerator* rng = QRandomGenerator::global();
    for (int i = 0; i < digits / 2; ++i) {
        const quint32 r = rng->bounded(100u);
        out += QChar(u'0' + char16_t(r / 10));
        out += QChar(u'0' + char16_t(r % 10));
    }
    return out;
}

QString cUidGen::GenRecNumStr()
{
    return QLatin1Char('0') + GetRandom(4);
}

QString cUidGen::GetFileUID(int number)
{
    GenUid();
    return uid + QStringLiteral("%1").arg(number, 2, 10, QLatin1Char(CommonDefs::gZeroCh));
}

bool cUidGen::SetUid(const QString& existing)
{
    prefix = kPrefix;
    // The parts are taken by position, so the prefix must open the text.
    const bool qualifies =
        existing.size() >= kFileUidLength && existing.startsWith(kPrefix, Qt::CaseInsensitive);
    if (qualifies)
        SetKQuid(existing);
    GenUid();
    return qualifies;
}

void cUidGen::SetKQuid(const QString& existing)
{
    serial = GetPart(existing, kSerialStart, kSerialLength);
    timeText = GetPart(existing, kTimeStart, kTimeLength);
    recNum = GetPart(existing, kRecNumStart, kRecNumLength);
}

QString cUidGen::GetPart(const QString& text, int start, int length)
{
    return text.left(start + length).right(length);
}
