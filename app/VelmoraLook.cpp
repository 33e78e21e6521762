#include "VelmoraLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

void VelmoraLook::apply(QApplication& app)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);

    const QColor window(0x2a, 0x2c, 0x2f);
    const QColor base(0x1e, 0x20, 0x23);
    const QColor alternate(0x24, 0x27, 0x2a);
    const QColor text(0xe4, 0xe6, 0xe9);
    const QColor button(0x3a, 0x3d, 0x42);
    const QColor highlight(0x3b, 0x6e, 0x99);
    const QColor disabled(0x6c, 0x72, 0x78);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, alternate);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3d, 0x41));
    p.setColor(QPalette::ToolTipText, QColor(0xf0, 0xf0, 0xf0));
    p.setColor(QPalette::PlaceholderText, QColor(0x80, 0x86, 0x8d));
    p.setColor(QPalette::Link, QColor(0x6a, 0xa9, 0xe0));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4e, 0x54));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x44, 0x49));
    p.setColor(QPalette::Mid, QColor(0x33, 0x36, 0x3a));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1c, 0x1e));
    p.setColor(QPalette::Shadow, QColor(0x10, 0x11, 0x12));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x34, 0x50, 0x6a));
    app.setPalette(p);
}
