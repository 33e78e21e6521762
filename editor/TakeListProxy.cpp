#include "TakeListProxy.h"

#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeSession.h"
#include "TakeSortKey.h"

#include <QColor>
#include <QFont>
#include <QRegularExpression>

using namespace TakeColumns;

namespace
{
bool isTimeColumn(int column)
{
    return column == StartTC || column == Length || column == EndTC;
}
} // namespace

TakeListProxy::TakeListProxy(TakeSession* session, QObject* parent)
    : QSortFilterProxyModel(parent), m_session(session)
{
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSourceModel(session->model());
    connect(session, &TakeSession::unsavedChanged, this, &TakeListProxy::refreshMarker);
}

QVariant TakeListProxy::data(const QModelIndex& index, int role) const
{
    const int column = index.column();
    if (role == Qt::TextAlignmentRole && (column == Circled || column == Wild))
        return int(Qt::AlignCenter);
    if (column == FileName) {
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
    if (column == Notes && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
        const QString note = QSortFilterProxyModel::data(index, Qt::DisplayRole).toString();
        if (role == Qt::ToolTipRole)
            return note.trimmed().isEmpty() ? QVariant() : QVariant(note);
        const QString text = note.trimmed();
        const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n\u2028]")));
        return end < 0 ? text : text.left(end).trimmed() + QStringLiteral(" \u2026");
    }
    return QSortFilterProxyModel::data(index, role);
}

bool TakeListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QString a = sourceModel()->data(left).toString();
    const QString b = sourceModel()->data(right).toString();
    if (isTimeColumn(left.column()))
        return TakeSortKey::timeKey(a) < TakeSortKey::timeKey(b);
    return TakeSortKey::compareNatural(a, b) < 0;
}

void TakeListProxy::refreshMarker()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, FileName), index(rowCount() - 1, FileName),
                         {Qt::DisplayRole, Qt::FontRole});
}
