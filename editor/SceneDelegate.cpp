#include "SceneDelegate.h"

#include "LiveTakeListItemEdit.h"

#include <QValidator>

SceneDelegate::SceneDelegate(QObject* parent, int mode) : QItemDelegate(parent), m_mode(mode) {}

QWidget* SceneDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const
{
    const int row = index.row();
    if (m_mode == -1 || row < 2 || row > 4)
        return nullptr;
    auto* editor = new LiveTakeListItemEdit(parent, m_mode);
    connect(editor, &QLineEdit::editingFinished, this, &SceneDelegate::emitCommitData);
    return editor;
}

void SceneDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(index.data(Qt::DisplayRole).toString());
}

void SceneDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                 const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line || !model)
        return;
    QString text = line->text();
    if (const QValidator* validator = line->validator()) {
        int pos = 0;
        if (validator->validate(text, pos) != QValidator::Acceptable)
            return;
    }
    model->setData(index, text, Qt::EditRole);
}

void SceneDelegate::emitCommitData()
{
    if (auto* editor = qobject_cast<QWidget*>(sender()))
        emit commitData(editor);
}
