#pragma once

#include <QItemDelegate>

// Edits single cells of a table with a one-line editor and stores the text
// only when the editor's validator accepts it. Only rows 2, 3 and 4 (scene,
// take and notes of the recorder's take list) get an editor, a
// LiveTakeListItemEdit of the delegate's mode; mode -1 means no editor at all.
class SceneDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    SceneDelegate(QObject* parent, int mode);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

    int mode() const { return m_mode; }

private slots:
    // Commits the sending editor's text as soon as editing finishes.
    void emitCommitData();

private:
    int m_mode;
};
