#include "TakeListProxy.h"

#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeSession.h"

#include <QColor>
#include <QFont>

using namespace TakeColumns;

TakeListProxy::TakeListProxy(TakeSession* session, QObject* parent)
    : QSortFilterProxyModel(parent), m_session(session)
{
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSourceModel(session->model());
    connect(session, &TakeSession::unsavedChanged, this, &TakeListProxy::refreshMarker);
}

QVariant TakeListProxy::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole && (index.column() == Circled || index.column() == Wild))
        return int(Qt::AlignCenter);
    if (index.column() == FileName) {
        const bool unsaved = m_session->isUnsaved(mapToSource(index).row());
        if (role == Qt::ForegroundRole &&
            !index.data(AudioFileModel::DamageRole).toString().isEmpty())
            return QColor(0xc6, 0x28, 0x28);
        if (unsaved && role == Qt::DisplayRole)
            return QStringLiteral("*") + QSortFilterProxyModel::data(index, role).toString();
        if (unsaved && role == Qt::FontRole) {
            QFont font = QSortFilterProxyModel::data(index, role).value<QFont>();
            font.setItalic(true);
            return font;
        }
    }
    return QSortFilterProxyModel::data(index, role);
}

void TakeListProxy::refreshMarker()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, FileName), index(rowCount() - 1, FileName),
                         {Qt::DisplayRole, Qt::FontRole});
}
