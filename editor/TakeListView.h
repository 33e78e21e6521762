#pragma once

#include <QTreeView>

// The take list: a tree view that, while it lists no take, tells the user how
// to bring takes in instead of showing an empty grey area.
class TakeListView : public QTreeView
{
    Q_OBJECT

public:
    explicit TakeListView(QWidget* parent = nullptr);

    static QString emptyHint();

protected:
    void paintEvent(QPaintEvent* event) override;
};
