#include "LiveTakeList.h"

#include "SceneDelegate.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcTakeList, "velmora.control.takelist", QtWarningMsg)

namespace
{
const char* const kRowTitles[LiveTakeList::kRows] = {"FILE NAME", "START TC", "SCENE",
                                                     "TAKE",      "NOTES",    "CIRCLE"};
constexpr int kSceneRow = 2;
constexpr int kTakeRow = 3;
constexpr int kNotesRow = 4;
constexpr int kParamCircled = 4;
constexpr int kParamSecondFlag = 5;
constexpr int kParamStartTc = 6;
// The parameters read for one take, in request order.
constexpr int kFetchedParams[] = {0, 1, 2, 3, 4, 6};
constexpr int kCurrentColumn = 1;
// Change bits of a take-list change answer.
constexpr int kChangedParams = 0x01;
constexpr int kListChanged = 0x0E;

QString updatingText()
{
    return LiveTakeList::tr("Updating Take List. Please wait...");
}
} // namespace

LiveTakeList::LiveTakeList(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("LiveTakeList"));
    setWindowTitle(tr("R9K Take List"));
    m_updateTimer.setInterval(kUpdateTickMs);
    connect(&m_updateTimer, &QTimer::timeout, this, &LiveTakeList::onUpdateTimer);
    m_changeTimer.setInterval(kChangePollMs);
    connect(&m_changeTimer, &QTimer::timeout, this, &LiveTakeList::onTakeListUpdateRequestTimer);
    m_fullUpdateTimer.setSingleShot(true);
    connect(&m_fullUpdateTimer, &QTimer::timeout, this, &LiveTakeList::startUpdate);

    m_table = new QTableWidget(kRows, 0, this);
    m_table->setObjectName(QStringLiteral("tableWidget"));
    QStringList rows;
    for (const char* title : kRowTitles)
        rows << QLatin1String(title);
    m_table->setVerticalHeaderLabels(rows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->setAlternatingRowColors(true);
    m_table->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setItemDelegateForRow(kSceneRow, new SceneDelegate(m_table, 1));
    m_table->setItemDelegateForRow(kTakeRow, new SceneDelegate(m_table, 0));
    m_table->setItemDelegateForRow(kNotesRow, new SceneDelegate(m_table, 2));
    connect(m_table, &QTableWidget::itemChanged, this, &LiveTakeList::onItemChanged);
    connect(m_table, &QTableWidget::currentCellChanged, this, &LiveTakeList::onCurrentCellChanged);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto button = [this, row](const char* name, const QString& text, bool shown) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setVisible(shown);
        row->addWidget(b);
        return b;
    };
    button("pushButton_Synch", tr("Synch"), false);
    for (auto* b : {button("pushButton_Play", tr("Play"), false),
                    button("pushButton_Stop", tr("Stop"), false),
                    button("pushButton_Delete", tr("Delete"), false)})
        connect(b, &QPushButton::clicked, this,
                [this] { showMessage(QMessageBox::Warning, tr("This feature in development.")); });
    m_false = button("pushButton_False", tr("False"), true);
    m_false->setEnabled(false);
    connect(m_false, &QPushButton::clicked, this, &LiveTakeList::onFalseClicked);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("label_Message"));
    row->addWidget(m_message);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(row);
    resize(640, 300);

    auto shortcut = [this](const QKeySequence& keys, void (LiveTakeList::*signal)()) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, this, signal);
    };
    shortcut(QKeySequence(Qt::Key_F3), &LiveTakeList::stopActionActivated);
    shortcut(QKeySequence(QStringLiteral("Alt+R")), &LiveTakeList::recordingActionActivated);
    shortcut(QKeySequence(QStringLiteral("Ctrl+L")), &LiveTakeList::liveTakeListActionActivated);
    shortcut(QKeySequence(QStringLiteral("Ctrl+Q")), &LiveTakeList::quitActionActivated);
    shortcut(QKeySequence(QStringLiteral("Ctrl+T")), &LiveTakeList::transportActionActivated);
    shortcut(QKeySequence(Qt::Key_F1), &LiveTakeList::userguideActionActivated);
    shortcut(QKeySequence(QStringLiteral("Ctrl+,")), &LiveTakeList::preferenceActionActivated);
}

LiveTakeList::~LiveTakeList()
{
    for (; m_cursorCount > 0; --m_cursorCount)
        QApplication::restoreOverrideCursor();
}

int LiveTakeList::rowOfParam(int id)
{
    switch (id) {
    case 0:
        return 0;
    case 1:
        return kTakeRow;
    case 2:
        return kSceneRow;
    case 3:
        return kNotesRow;
    case 4:
        return 5;
    case 6:
        return 1;
    default:
        return -1; // 5 (the second flag) has no row either
    }
}

QString LiveTakeList::columnTitle(int column)
{
    switch (column) {
    case 0:
        return QStringLiteral("NEXT");
    case 1:
        return QStringLiteral("CURRENT");
    case 2:
        return QStringLiteral("PREVIOUS");
    default:
        return QStringLiteral("PREV - %1").arg(column - 2);
    }
}

QString LiveTakeList::statusText() const
{
    return m_message->text();
}

void LiveTakeList::readPreference()
{
    QSettings settings;
    const int state =
        settings.value(QStringLiteral("Preferences/showControlModeAllTakes"), 0).toInt();
    m_takesToShow = state == Qt::Checked ? 10 : 3;
}

void LiveTakeList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_updateTimer.isActive())
        return;
    emit getTakeListChanges();
    updateStatus(tr("Building Take List. Please wait..."), true);
    readPreference();
    removeAllColumns();
    startUpdate();
    activateWindow();
}

void LiveTakeList::startUpdate()
{
    resetState();
    updateStatus(updatingText(), true);
    pushWaitCursor();
    m_updateMode = true;
    emit getTakeList(1, m_takesToShow);
}

void LiveTakeList::removeAllColumns()
{
    m_table->setColumnCount(0);
}

void LiveTakeList::on_getTakeListUpdate(const QList<uint>& received)
{
    QList<uint> ids = received;
    if (ids.size() > kMaxColumns) {
        qCInfo(lcTakeList) << "recorder listed" << ids.size() << "takes; the first" << kMaxColumns
                           << "are shown";
        ids = ids.mid(0, kMaxColumns);
    }
    m_takes = ids;
    if (m_table->columnCount() != m_takes.size()) {
        const bool wasUpdating = m_updateMode;
        m_updateMode = true;
        removeAllColumns();
        for (int c = 0; c < m_takes.size(); ++c) {
            m_table->insertColumn(c);
            m_table->setHorizontalHeaderItem(c, new QTableWidgetItem(columnTitle(c)));
            for (int r = 0; r < kRows; ++r) {
                auto* item = new QTableWidgetItem;
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                m_table->setItem(r, c, item);
            }
        }
        if (!m_takes.isEmpty())
            m_table->setCurrentCell(0, 0);
        m_updateMode = wasUpdating;
    }
    m_fetchPos = 0;
    m_updateTimer.start();
}

void LiveTakeList::onUpdateTimer()
{
    if (m_fetchPos >= m_takes.size()) {
        for (int c = 0; c + 1 < m_table->columnCount(); ++c)
            m_table->resizeColumnToContents(c);
        resetState();
        return;
    }
    getNextTakeParams(m_takes.at(m_fetchPos++));
}

void LiveTakeList::getNextTakeParams(quint32 take)
{
    m_expected = int(std::size(kFetchedParams));
    m_received = 0;
    for (int id : kFetchedParams)
        emit getTakeParam(take, id);
}

QTableWidgetItem* LiveTakeList::cellOf(quint32 take, int id) const
{
    const int row = rowOfParam(id);
    const int column = int(m_takes.indexOf(take));
    if (row < 0 || row >= kRows || column < 0 || column >= kMaxColumns)
        return nullptr;
    return m_table->item(row, column);
}

void LiveTakeList::on_getTakeParamUpdate(quint32 take, int id, const QString& value)
{
    if (m_expected >= 1 && m_received >= m_expected)
        return;
    ++m_received;
    const int row = rowOfParam(id);
    const int column = int(m_takes.indexOf(take));
    if (row < 0 || row >= kRows || column < 0 || column >= kMaxColumns) {
        qCDebug(lcTakeList) << "not a valid take = " << take << "param = " << id;
        return;
    }
    m_updateMode = true;
    QTableWidgetItem* item = m_table->item(row, column);
    if (item && !(id == kParamStartTc && column == 0)) {
        item->setData(Qt::UserRole, QVariantList{take, id});
        if (id == kParamCircled || id == kParamSecondFlag) {
            if (column != 0)
                item->setCheckState(value == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
        } else {
            item->setText(value);
        }
        if (row == kSceneRow || row == kTakeRow || row == kNotesRow)
            item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    if (m_received == m_expected && m_singleUpdate) {
        m_singleUpdate = false;
        for (int c = 0; c + 1 < m_table->columnCount(); ++c)
            m_table->resizeColumnToContents(c);
        resetState();
    }
    m_updateMode = false;
}

QString LiveTakeList::valueOf(QTableWidgetItem* item, int id) const
{
    if (id == kParamCircled || id == kParamSecondFlag)
        return item->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
    return item->text();
}

void LiveTakeList::onItemChanged(QTableWidgetItem* item)
{
    if (m_updateMode || !item)
        return;
    const QVariantList pair = item->data(Qt::UserRole).toList();
    if (pair.size() != 2) {
        showMessage(QMessageBox::Critical, tr("Unable to send 'Parameter Change' request.\n "
                                              "Please restart the Application."));
        return;
    }
    updateStatus(updatingText(), true);
    m_pending.clear();
    m_pending.take = pair.at(0).toUInt();
    m_pending.id = pair.at(1).toInt();
    m_pending.value = valueOf(item, m_pending.id);
    QTimer::singleShot(20, this, &LiveTakeList::sendSetParam);
}

// The recorder may take up to 120 s to answer a write.
void LiveTakeList::sendSetParam()
{
    pushWaitCursor();
    emit setTakeParam(m_pending.take, m_pending.id, m_pending.value);
}

void LiveTakeList::retrySetParam(quint32 take, int id)
{
    QTableWidgetItem* item = cellOf(take, id);
    if (!item)
        return;
    pushWaitCursor();
    emit setTakeParam(take, id, valueOf(item, id));
}

void LiveTakeList::onFalseClicked()
{
    auto* box = new QMessageBox(QMessageBox::Question, QCoreApplication::applicationName(),
                                tr("OK to Delete Current Take?"),
                                QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("falseTakeQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box](int) {
        if (box->clickedButton() != box->button(QMessageBox::Ok))
            return;
        const int column = m_table->currentColumn();
        if (column >= 0 && column < m_takes.size())
            emit setFalseTake(m_takes.at(column));
    });
    box->open();
}

void LiveTakeList::onTakeListUpdateRequestTimer()
{
    if (isVisible())
        emit getTakeListChanges();
}

void LiveTakeList::onTakeListChangedUpdate(int change, quint32 take)
{
    if ((change & kListChanged) || ((change & kChangedParams) && take == 0)) {
        updateStatus(updatingText(), true);
        startUpdate();
    } else if ((change & kChangedParams) && m_takes.contains(take)) {
        startTakeUpdate(take);
    }
}

void LiveTakeList::startTakeUpdate(quint32 take)
{
    if (!m_takes.contains(take))
        return;
    updateStatus(updatingText(), true);
    pushWaitCursor();
    m_updateMode = true;
    m_singleTake = take;
    m_singleUpdate = true;
    QTimer::singleShot(20, this, [this] {
        if (m_takes.contains(m_singleTake))
            getNextTakeParams(m_singleTake);
    });
}

void LiveTakeList::resetState()
{
    if (m_updateTimer.isActive()) {
        m_updateTimer.stop();
        QTimer::singleShot(30, this, &LiveTakeList::finalizeResetState);
    } else {
        finalizeResetState();
    }
}

void LiveTakeList::finalizeResetState()
{
    m_fetchPos = 0;
    m_expected = 0;
    m_received = 0;
    m_updateMode = false;
    m_singleUpdate = false;
    for (; m_cursorCount > 0; --m_cursorCount)
        QApplication::restoreOverrideCursor();
    updateStatus(QString(), false);
}

void LiveTakeList::pushWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_cursorCount;
}

void LiveTakeList::updateStatus(const QString& text, bool red)
{
    QFont font = m_message->font();
    font.setWeight(red ? QFont::Bold : QFont::Normal);
    m_message->setFont(font);
    if (red) {
        m_message->setText(QStringLiteral("<font color='red'>%1</font>").arg(text.toHtmlEscaped()));
    } else {
        m_message->setTextFormat(Qt::PlainText);
        m_message->setText(text);
    }
    m_message->setTextFormat(red ? Qt::RichText : Qt::PlainText);
}

// One box at a time: a recorder failing over and over must not stack
// windows (nor nest event loops); later messages go to the log while one is
// open.
void LiveTakeList::showMessage(QMessageBox::Icon icon, const QString& text)
{
    if (m_box) {
        qCInfo(lcTakeList) << "message not shown (another is open):" << text;
        return;
    }
    m_box = new QMessageBox(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, this);
    m_box->setObjectName(QStringLiteral("liveTakeListMessage"));
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->open();
}

void LiveTakeList::on_transportModeChange(uchar mode)
{
    if (!isVisible())
        return;
    QTableWidgetItem* current = m_table->horizontalHeaderItem(kCurrentColumn);
    if (mode == 0) {
        m_recording = false;
        m_false->setEnabled(m_table->currentColumn() == kCurrentColumn);
        if (m_lastMode == 2)
            updateStatus(tr("Writing to media. Please wait..."), true);
    } else if (mode == 2) {
        m_recording = true;
        m_false->setEnabled(false);
        if (m_lastMode == 0)
            updateStatus(updatingText(), true);
        if (current) {
            QFont font = current->font();
            font.setWeight(QFont::Bold);
            current->setFont(font);
            current->setForeground(Qt::red);
        }
    }
    if (mode != 2 && current) {
        QFont font = current->font();
        font.setWeight(QFont::Normal);
        current->setFont(font);
        current->setForeground(Qt::black);
    }
    m_lastMode = mode;
}

void LiveTakeList::on_preferencesUpdated()
{
    if (!isVisible())
        return;
    readPreference();
    removeAllColumns();
    updateStatus(updatingText(), true);
    startUpdate();
}

void LiveTakeList::onCurrentCellChanged(int, int column, int, int)
{
    m_false->setEnabled(column == kCurrentColumn && !m_recording);
}

void LiveTakeList::on_deviceRemovedR9K()
{
    m_updateTimer.stop();
    m_fullUpdateTimer.stop();
    m_changeTimer.stop();
    m_updateMode = true;
    removeAllColumns();
    m_takes.clear();
    m_pending.clear();
    m_retryCount = 0;
    m_recording = false;
    m_false->setEnabled(false);
    finalizeResetState();
}

void LiveTakeList::retryUpdate(int ms)
{
    updateStatus(updatingText(), true);
    // One full update pending at a time: the failures of one update (up to
    // six reads per take) must not each schedule another, which would
    // multiply the traffic with every round.
    if (!m_fullUpdateTimer.isActive())
        m_fullUpdateTimer.start(ms);
}

void LiveTakeList::on_cLinkAck(CLINK::cLinkAck* ack)
{
    if (!ack)
        return;
    const int code = ack->code();
    qCInfo(lcTakeList).noquote() << QStringLiteral(
                                        "error = %1, status = %2, command = %3, str = %4")
                                        .arg(code)
                                        .arg(ack->status / 256)
                                        .arg(ack->command)
                                        .arg(QString::fromLatin1(ack->text.c_str()));
    if (code == 0) {
        switch (ack->command) {
        case CLINK::cLinkAck::kTakeList:
            on_getTakeListUpdate(ack->takeIds());
            break;
        case CLINK::cLinkAck::kTakeParamRead:
            on_getTakeParamUpdate(ack->take(), ack->paramId(),
                                  QString::fromLatin1(ack->valueText()).left(kMaxValueChars));
            break;
        case CLINK::cLinkAck::kTakeParamWrite:
        case CLINK::cLinkAck::kFalseTake:
            resetState();
            break;
        case CLINK::cLinkAck::kTakeListChanges:
            if (!m_changeTimer.isActive())
                m_changeTimer.start();
            else if (isVisible())
                onTakeListChangedUpdate(ack->changeKind(), ack->changeTake());
            break;
        default:
            break;
        }
        m_retryCount = 0;
    } else if (code == 1 || code == 5) {
        cLinkFails(*ack);
    }
}

void LiveTakeList::cLinkFails(const CLINK::cLinkAck& ack)
{
    resetState();
    const int error = ack.recorderError();
    qCInfo(lcTakeList).noquote() << QStringLiteral("command = %1, status = %2, error = %3")
                                        .arg(ack.command)
                                        .arg(ack.code())
                                        .arg(error);
    switch (error) {
    case 0:
        break;
    case 1:
        showMessage(QMessageBox::Critical, tr("Requested action is not supported."));
        retryUpdate(50);
        break;
    case 2:
        showMessage(QMessageBox::Critical, tr("Unable to perform the action."));
        retryUpdate(50);
        break;
    case 3:
        if (ack.command == CLINK::cLinkAck::kTakeList ||
            ack.command == CLINK::cLinkAck::kTakeParamRead) {
            if (m_retryCount < kRetryLimit) {
                retryUpdate(300);
                ++m_retryCount;
            } else {
                showMessage(QMessageBox::Critical,
                            tr("Unable to retrieve the take list from the device.\n"
                               "Please restart the application."));
                m_retryCount = 1;
            }
        } else if (ack.command == CLINK::cLinkAck::kTakeParamWrite ||
                   ack.command == CLINK::cLinkAck::kFalseTake) {
            if (m_retryCount < kRetryLimit) {
                const quint32 take = ack.take();
                const int id = ack.paramId();
                // Queued, never from inside the failed answer's handling.
                if (ack.command == CLINK::cLinkAck::kTakeParamWrite)
                    QTimer::singleShot(0, this, [this, take, id] { retrySetParam(take, id); });
                else
                    QTimer::singleShot(0, this, [this, take] {
                        if (m_takes.contains(take))
                            emit setFalseTake(take);
                    });
                ++m_retryCount;
            } else {
                showMessage(QMessageBox::Critical,
                            tr("Unable to perform the action.\n Please restart the application."));
                m_retryCount = 1;
            }
        } else {
            ++m_retryCount;
        }
        break;
    case 5:
        qCInfo(lcTakeList).noquote() << QStringLiteral("CLINK::ACK_SPECIFIC = %1")
                                            .arg(QString::fromLatin1(ack.text.c_str()));
        showMessage(QMessageBox::Critical,
                    QString::fromLatin1(ack.text.c_str()).left(kMaxValueChars));
        retryUpdate(50);
        break;
    case 78:
        if (!m_changeTimer.isActive())
            m_changeTimer.start();
        break;
    default:
        break;
    }
}
