#include "TakeListView.h"

#include <QPainter>

TakeListView::TakeListView(QWidget* parent) : QTreeView(parent) {}

QString TakeListView::emptyHint()
{
    return tr("Drop take files or folders here,\nor click Import.");
}

void TakeListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (model() && model()->rowCount() > 0)
        return;
    QPainter painter(viewport());
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    painter.setFont(font);
    QColor color = palette().color(QPalette::Text);
    color.setAlphaF(0.45f);
    painter.setPen(color);
    painter.drawText(viewport()->rect(), Qt::AlignCenter, emptyHint());
}
