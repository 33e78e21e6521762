#pragma once

#include <QList>
#include <QPair>
#include <QTreeView>

class QAction;
class QMenu;

// The take list: a tree view that, while it lists no take, tells the user how
// to bring takes in instead of showing an empty grey area. A right click in
// the list or on its header opens the column menu ("columnMenu"), which shows
// or hides the columns the user may choose; setupColumns() hides the columns
// not shown at first.
//
// The columns the user chose and their widths are remembered in the settings
// (columnsKey(), the header's saved state) whenever the user changes them
// through the menu or the header, and restored by setupColumns(). After a
// sort the current take stays in view.
class TakeListView : public QTreeView
{
    Q_OBJECT

public:
    explicit TakeListView(QWidget* parent = nullptr);

    static QString emptyHint();
    static QString columnsKey() { return QStringLiteral("TakeListColumns"); }

    void setModel(QAbstractItemModel* model) override;
    // Sizes the columns of the model just set and hides those not shown at
    // first; then puts back the columns the user chose last time.
    void setupColumns();
    // Sizes the shown columns to their contents (after an import), unless
    // their widths are the user's.
    void fitColumnsToContents();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createColumnMenu();
    void rememberColumns();

    QMenu* m_columnMenu = nullptr;               // child
    QList<QPair<QAction*, int>> m_columnActions; // action, model column
    bool m_userWidths = false;    // widths restored from the settings or set by the user
    bool m_headerPressed = false; // a mouse button is down on the header
};
