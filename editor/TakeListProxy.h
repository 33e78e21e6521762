#pragma once

#include <QSortFilterProxyModel>

class TakeSession;

// The take list's proxy over a session's model. Sorts Scene, Take and the
// other text columns as people number takes ("2" before "10", "12A" before
// "12B"), the timecode and length columns by time, all without regard to
// case. Keeps every row one line high: a note shows its first line, followed
// by an ellipsis when there is more, and the whole note as its tooltip.
// Centres the one-letter flag columns, shows the file name of a damaged take
// in a warning colour (its tooltip, from the model, says what is damaged),
// and marks the file name of the take with unsaved edits with a leading "*"
// in italics until they are saved or discarded. GUI thread; the session is
// not owned.
class TakeListProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    TakeListProxy(TakeSession* session, QObject* parent);
    QVariant data(const QModelIndex& index, int role) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    // The file-name cells show the marker anew.
    void refreshMarker();

    TakeSession* m_session;
};
