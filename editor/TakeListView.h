#pragma once

#include <QList>
#include <QPair>
#include <QTreeView>

class QAction;
class QMenu;

// The take list: a tree view that, while it lists no take, tells the user how
// to bring takes in instead of showing an empty grey area. A right click
// opens its column menu ("columnMenu"), which shows or hides the columns the
// user may choose; setupColumns() hides the columns not shown at first.
class TakeListView : public QTreeView
{
    Q_OBJECT

public:
    explicit TakeListView(QWidget* parent = nullptr);

    static QString emptyHint();
    // Sizes the columns of the model just set and hides those not shown at first.
    void setupColumns();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createColumnMenu();

    QMenu* m_columnMenu = nullptr;               // child
    QList<QPair<QAction*, int>> m_columnActions; // action, model column
};
