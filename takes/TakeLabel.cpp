#include "TakeLabel.h"

#include "TakeColumns.h"

namespace
{
const QLatin1String kMono("(MONO)");
const QLatin1String kPoly("(POLY)");
} // namespace

TakeLabel TakeLabel::parse(const QString& text)
{
    TakeLabel label;
    if (text.endsWith(kMono))
        label.kind = Kind::Mono;
    else if (!text.endsWith(kPoly))
        return label;
    bool ok = false;
    const int n = QStringView(text).left(text.size() - kMono.size()).toInt(&ok, 10);
    if (ok && n > 0)
        label.count = n;
    return label;
}

QString TakeLabel::text() const
{
    return TakeColumns::labelText(count, kind == Kind::Mono);
}
