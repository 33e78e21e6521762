#include "ValueLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setMinimumHeight(fontMetrics().height() + 6);
}

QSize ValueLabel::minimumSizeHint() const
{
    // Narrow enough to never force the panel wider than the window allows.
    return QSize(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 4,
                 QLabel::minimumSizeHint().height());
}

bool ValueLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void ValueLabel::paintEvent(QPaintEvent* event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    // Draws the frame and background as QLabel does, then the shortened text.
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &frame, &painter, this);
    const QRect r = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width());
    style()->drawItemText(&painter, r, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

bool ValueLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && !text().isEmpty()) {
        if (isElided()) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QLabel::event(event);
}
