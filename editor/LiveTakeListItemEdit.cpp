#include "LiveTakeListItemEdit.h"

#include <QRegularExpressionValidator>

LiveTakeListItemEdit::LiveTakeListItemEdit(QWidget* parent, int mode)
    : QLineEdit(parent), m_mode(mode)
{
    setFrame(false);
    switch (mode) {
    case TakeMode:
        setMaxLength(5);
        setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), this));
        break;
    case SceneMode:
        setMaxLength(9);
        setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[\\w,.\\-]*")), this));
        break;
    case NotesMode:
    default:
        setMaxLength(200);
        break;
    }
    connect(this, &QLineEdit::textChanged, this, &LiveTakeListItemEdit::on_textChanged);
}

void LiveTakeListItemEdit::on_textChanged(const QString& text)
{
    if (m_mode == SceneMode) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = cursorPosition();
            setText(upper); // emits textChanged again with nothing left to change
            setCursorPosition(cursor);
        }
    }
    setModified(true);
}
