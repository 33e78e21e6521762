#include "TakeListView.h"

#include "TakeColumns.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QSettings>

using namespace TakeColumns;

namespace
{
// Columns hidden when the list is created.
const int kHiddenAtStart[] = {
    CurrentName,  Project,   EndTC,       Originator,           OriginatorRef,
    Time,         BitDepth,  Ubits,       SamplesSinceMidnight, TCSampleRate,
    CurrentSpeed, SpeedNote, MasterSpeed, DigitizerRate,        User,
    FileUID,      SWVersion, Path};
// The columns of the column menu, in its order.
const int kMenuColumns[] = {CurrentName, FileName, Channels, Project, Tape,       Scene,
                            Take,        StartTC,  Length,   EndTC,   Originator, OriginatorRef,
                            Date,        Time,     Circled,  Wild,    Notes,      SampleRate,
                            FrameRate,   BitDepth, Ubits,    FileUID};
} // namespace

TakeListView::TakeListView(QWidget* parent) : QTreeView(parent)
{
    createColumnMenu();
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_columnMenu->popup(viewport()->mapToGlobal(pos)); });
    // Users look for the column menu on the header as well.
    header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_columnMenu->popup(header()->mapToGlobal(pos)); });
    // A drag of a column edge (or a double click on it) happens between a
    // press and a release on the header.
    header()->viewport()->installEventFilter(this);
    connect(header(), &QHeaderView::sectionResized, this, [this] {
        if (m_headerPressed)
            m_userWidths = true;
    });
}

void TakeListView::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    if (!model)
        return;
    // A sort moves the rows: the current take stays where the user can see it.
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] {
        if (currentIndex().isValid())
            scrollTo(currentIndex());
    });
}

QString TakeListView::emptyHint()
{
    return tr("Drop take files or folders here,\nor click Import.");
}

void TakeListView::setupColumns()
{
    for (int c = 1; c < Count; ++c)
        resizeColumnToContents(c);
    for (int c : kHiddenAtStart)
        setColumnHidden(c, true);
    const QByteArray state = QSettings().value(columnsKey()).toByteArray();
    m_userWidths = !state.isEmpty() && header()->restoreState(state);
}

void TakeListView::fitColumnsToContents()
{
    if (m_userWidths || !model())
        return;
    for (int c = 0; c < model()->columnCount(); ++c) {
        if (!isColumnHidden(c))
            resizeColumnToContents(c);
    }
}

void TakeListView::rememberColumns()
{
    QSettings().setValue(columnsKey(), header()->saveState());
}

bool TakeListView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == header()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            m_headerPressed = true;
        if (event->type() == QEvent::MouseButtonRelease) {
            m_headerPressed = false;
            rememberColumns();
        }
    }
    return QTreeView::eventFilter(watched, event);
}

void TakeListView::createColumnMenu()
{
    m_columnMenu = new QMenu(tr("Column Update"), this);
    m_columnMenu->setObjectName(QStringLiteral("columnMenu"));
    for (int column : kMenuColumns) {
        auto* action = new QAction(headersList().at(column), m_columnMenu);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, column](bool shown) {
            setColumnHidden(column, !shown);
            resizeColumnToContents(column);
            rememberColumns();
        });
        m_columnMenu->addAction(action);
        m_columnActions.append({action, column});
    }
    connect(m_columnMenu, &QMenu::aboutToShow, this, [this] {
        for (const auto& a : std::as_const(m_columnActions))
            a.first->setChecked(!isColumnHidden(a.second));
    });
}

void TakeListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (model() && model()->rowCount() > 0)
        return;
    QPainter painter(viewport());
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    painter.setFont(font);
    QColor color = palette().color(QPalette::Text);
    color.setAlphaF(0.45f);
    painter.setPen(color);
    painter.drawText(viewport()->rect(), Qt::AlignCenter, emptyHint());
}
