#pragma once

#include <QSortFilterProxyModel>

// Between the take list model and its view. Sorts Scene, Take and the other
// text columns as people number takes ("2" before "10", "12A" before "12B"),
// the timecode and length columns by time, all without regard to case.
// Keeps every row one line high: a note shows its first line, followed by an
// ellipsis when there is more, and the whole note as its tooltip. Centres the
// one-letter flag columns and shows the file name of a damaged take in a
// warning colour (its tooltip, from the model, says what is damaged).
class TakeListProxy : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    QVariant data(const QModelIndex& index, int role) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
