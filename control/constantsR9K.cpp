#include "constantsR9K.h"

namespace constantsR9K
{

namespace
{
QString field(quint32 packed, int byte)
{
    return QStringLiteral("%1").arg((packed >> (8 * byte)) & 0xFF, 2, 10, QLatin1Char('0'));
}
} // namespace

QString timecodeText(quint32 packed)
{
    return QStringLiteral("%1:%2:%3:%4")
        .arg(field(packed, 3), field(packed, 2), field(packed, 1), field(packed, 0));
}

QString fileTimeText(quint32 packed)
{
    return QStringLiteral("%1:%2:%3.%4")
        .arg(field(packed, 3), field(packed, 2), field(packed, 1), field(packed, 0));
}

QString transportText(int mode)
{
    static constexpr std::array<const char*, 3> words = {"stop", "play", "record"};
    return textFor(words, mode);
}

} // namespace constantsR9K
