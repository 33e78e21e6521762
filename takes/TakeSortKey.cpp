#include "TakeSortKey.h"

#include <QStringView>

namespace
{
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The run of digits (or of non-digits) that starts at from.
QStringView run(const QString& s, qsizetype from)
{
    const bool digits = isDigit(s.at(from));
    qsizetype end = from + 1;
    while (end < s.size() && isDigit(s.at(end)) == digits)
        ++end;
    return QStringView(s).mid(from, end - from);
}

// Compares two runs of digits by value, without limit on their length.
int compareNumbers(QStringView a, QStringView b)
{
    qsizetype za = 0;
    while (za < a.size() - 1 && a.at(za) == QLatin1Char('0'))
        ++za;
    qsizetype zb = 0;
    while (zb < b.size() - 1 && b.at(zb) == QLatin1Char('0'))
        ++zb;
    const QStringView va = a.mid(za);
    const QStringView vb = b.mid(zb);
    if (va.size() != vb.size())
        return va.size() < vb.size() ? -1 : 1;
    return va.compare(vb);
}
} // namespace

int TakeSortKey::compareNatural(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    int tieBreak = 0; // the first difference in leading zeros
    while (i < a.size() && j < b.size()) {
        const QStringView ra = run(a, i);
        const QStringView rb = run(b, j);
        const bool da = isDigit(ra.front());
        const bool db = isDigit(rb.front());
        int order = 0;
        if (da && db) {
            order = compareNumbers(ra, rb);
            if (order == 0 && tieBreak == 0 && ra.size() != rb.size())
                tieBreak = ra.size() < rb.size() ? -1 : 1;
        } else if (da != db) {
            // Numbers before letters, as in "12" < "12A".
            order = da ? -1 : 1;
        } else {
            order = ra.compare(rb, Qt::CaseInsensitive);
        }
        if (order != 0)
            return order;
        i += ra.size();
        j += rb.size();
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return tieBreak;
}

qint64 TakeSortKey::timeKey(const QString& text)
{
    // Parsed by hand: a sort calls this twice per comparison.
    qint64 fields[4] = {0, 0, 0, 0};
    int count = 0;
    bool digits = false;
    for (const QChar c : QStringView(text).trimmed()) {
        if (isDigit(c)) {
            fields[count] = fields[count] * 10 + (c.unicode() - '0');
            if (fields[count] > 999999)
                return -1;
            digits = true;
        } else if ((c == QLatin1Char(':') || c == QLatin1Char(';')) && digits && count < 3) {
            ++count;
            digits = false;
        } else {
            return -1;
        }
    }
    if (!digits || count < 2 || fields[3] > 999)
        return -1;
    return ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * 1000 + fields[3];
}
