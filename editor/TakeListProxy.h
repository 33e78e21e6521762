#pragma once

#include <QSortFilterProxyModel>

class TakeSession;

// The take list's proxy over a session's model: sorts without regard to
// case, centres the one-letter flag columns, shows the file name of a
// damaged take in a warning colour (its tooltip, from the model, says what
// is damaged), and marks the file name of the take with unsaved edits with
// a leading "*" in italics until they are saved or discarded. GUI thread;
// the session is not owned.
class TakeListProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    TakeListProxy(TakeSession* session, QObject* parent);
    QVariant data(const QModelIndex& index, int role) const override;

private:
    // The file-name cells show the marker anew.
    void refreshMarker();

    TakeSession* m_session;
};
