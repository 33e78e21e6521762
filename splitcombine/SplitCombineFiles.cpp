#include "SplitCombineFiles.h"

#include "TakeSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

const QString SplitCombineFiles::kDestinationKey = QStringLiteral("SplitCombineLastDestination");

namespace
{
// Wide enough for "File32" and "Trk32" at the window's font: the grids
// scroll instead of squeezing 32 columns into the window; rows fit the
// header sections' padding of the style sheet.
constexpr int kCellWidth = 50;
constexpr int kCellHeight = 28;
} // namespace

SplitCombineFiles::SplitCombineFiles(QWidget* parent, TakeSession* session)
    : QWidget(parent), m_session(session), m_batch(new SplitCombineBatch(session, this))
{
    setObjectName(QStringLiteral("SplitCombineFiles"));
    m_batch->setAskExisting([this](const QStringList& e) { return askExisting(e); });
    connect(m_batch, &SplitCombineBatch::progress, this,
            [this](int v) { m_progress->setValue(v); });
    connect(m_batch, &SplitCombineBatch::finished, this, &SplitCombineFiles::runFinished);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabWidget"));
    m_tabs->addTab(buildSplitTab(), tr("Split Poly"));
    m_tabs->addTab(buildCombineTab(), tr("Combine Mono"));
    m_tabs->setCurrentIndex(CombineTab);

    auto* destLabel = new QLabel(tr("Destination:"), this);
    m_destination = new QLineEdit(this);
    m_destination->setObjectName(QStringLiteral("editDestinationDirectory"));
    m_destination->setReadOnly(true);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("buttonDestinationDirectoryOpen"));
    auto* destRow = new QHBoxLayout;
    destRow->addWidget(destLabel);
    destRow->addWidget(m_destination, 1);
    destRow->addWidget(browse);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_refresh = new QPushButton(tr("Refresh"), this);
    m_refresh->setObjectName(QStringLiteral("pushButton_Refresh"));
    m_clear = new QPushButton(tr("Clear"), this);
    m_clear->setObjectName(QStringLiteral("pushButtonClear"));
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("pushButtonCancel"));
    m_cancel->setEnabled(false);
    m_process = new QPushButton(tr("Process"), this);
    m_process->setObjectName(QStringLiteral("pushButtonProcess"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_refresh);
    buttons->addStretch(1);
    buttons->addWidget(m_clear);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_process);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(destRow);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(m_tabs, &QTabWidget::currentChanged, this, &SplitCombineFiles::tabChanged);
    connect(browse, &QPushButton::clicked, this,
            &SplitCombineFiles::on_buttonDestinationDirectoryOpen_clicked);
    connect(m_refresh, &QPushButton::clicked, this,
            &SplitCombineFiles::on_pushButton_Refresh_clicked);
    connect(m_clear, &QPushButton::clicked, this, &SplitCombineFiles::on_pushButtonClear_clicked);
    connect(m_cancel, &QPushButton::clicked, this, &SplitCombineFiles::on_pushButtonCancel_clicked);
    connect(m_process, &QPushButton::clicked, this,
            &SplitCombineFiles::on_pushButtonProcess_clicked);
    connect(m_batchMode, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rebuildCombinePage();
    });
    connect(m_manualMode, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rebuildCombinePage();
    });
    connect(m_combineGrid, &QTableWidget::clicked, this, &SplitCombineFiles::combineCellClicked);
    connect(session, &TakeSession::takesInserted, this, &SplitCombineFiles::listChanged);
    connect(session, &TakeSession::takesRemoved, this, &SplitCombineFiles::listChanged);

    const QString stored = QSettings().value(kDestinationKey).toString();
    const QString shown =
        !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : QDir::homePath();
    m_destination->setText(QDir::toNativeSeparators(shown));

    rebuildSplitGrid();
    rebuildCombinePage();
}

QDockWidget* SplitCombineFiles::createDock(QMainWindow* main, TakeSession* session)
{
    auto* dock = new QDockWidget(tr("Split/Combine"), main);
    dock->setObjectName(QStringLiteral("splitcombine"));
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::NoDockWidgetArea);
    dock->setWidget(new SplitCombineFiles(dock, session));
    main->addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->setFloating(true);
    dock->hide();
    dock->resize(455, 406);
    dock->move(main->pos() + QPoint(main->width() / 4, main->height() / 4));
    return dock;
}

// ---------------------------------------------------------------- Building

QTableWidget* SplitCombineFiles::makeGrid(const char* name)
{
    auto* grid = new QTableWidget(this);
    grid->setObjectName(QLatin1String(name));
    grid->setSelectionMode(QAbstractItemView::MultiSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultSectionSize(kCellWidth);
    grid->horizontalHeader()->setHighlightSections(true);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kCellHeight);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    return grid;
}

QWidget* SplitCombineFiles::buildSplitTab()
{
    auto* page = new QWidget(this);
    m_splitGrid = makeGrid("tableWidgetSplitRules");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_splitGrid);
    return page;
}

QWidget* SplitCombineFiles::buildCombineTab()
{
    auto* page = new QWidget(this);
    m_batchMode = new QRadioButton(tr("Batch"), page);
    m_batchMode->setObjectName(QStringLiteral("radioButton_Batch"));
    m_batchMode->setChecked(true);
    m_manualMode = new QRadioButton(tr(" Manual"), page);
    m_manualMode->setObjectName(QStringLiteral("radioButton_Manual"));
    m_nameLabel = new QLabel(tr("Destination File Name:"), page);
    m_name = new QLineEdit(page);
    m_name->setObjectName(QStringLiteral("lineEdit_DestinationFileName"));
    m_combineGrid = makeGrid("tableWidgetCombineRules");

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_batchMode);
    modes->addWidget(m_manualMode);
    modes->addStretch(1);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_nameLabel);
    nameRow->addWidget(m_name, 1);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(modes);
    layout->addLayout(nameRow);
    layout->addWidget(m_combineGrid, 1);
    return page;
}

void SplitCombineFiles::rebuildSplitGrid()
{
    m_splitGrid->clear();
    m_splitGrid->setRowCount(kGridSize);
    m_splitGrid->setColumnCount(kGridSize);
    QStringList rows;
    QStringList columns;
    for (int i = 1; i <= kGridSize; ++i) {
        rows << QStringLiteral("Trk%1").arg(i);
        columns << QStringLiteral("File%1").arg(i);
    }
    m_splitGrid->setVerticalHeaderLabels(rows);
    m_splitGrid->setHorizontalHeaderLabels(columns);
    for (int i = 0; i < kGridSize; ++i)
        m_splitGrid->setItem(i, i, new QTableWidgetItem);
    for (int i = 0; i < kGridSize; ++i)
        m_splitGrid->item(i, i)->setSelected(true);
}

// Batch: the rule grid with its diagonal. Manual: one row per mono file of
// the take list (at least 32), its name in column 0.
void SplitCombineFiles::rebuildCombinePage()
{
    const bool isManual = manual();
    m_nameLabel->setVisible(isManual);
    m_name->setVisible(isManual);
    m_combineGrid->clear();
    m_combineGrid->clearSelection();
    QStringList rows;
    QStringList columns;
    if (!isManual) {
        m_combineGrid->setRowCount(kGridSize);
        m_combineGrid->setColumnCount(kGridSize);
        for (int i = 1; i <= kGridSize; ++i) {
            rows << QStringLiteral("File_%1").arg(i);
            columns << QStringLiteral("Trk%1").arg(i);
        }
        m_combineGrid->setVerticalHeaderLabels(rows);
        m_combineGrid->setHorizontalHeaderLabels(columns);
        m_combineGrid->horizontalHeader()->resizeSection(0, kCellWidth);
        for (int i = 0; i < kGridSize; ++i)
            m_combineGrid->setItem(i, i, new QTableWidgetItem);
        for (int i = 0; i < kGridSize; ++i)
            m_combineGrid->item(i, i)->setSelected(true);
        return;
    }
    m_manualFiles.clear();
    for (const QStringList& take : m_batch->monoTakes())
        m_manualFiles << take;
    m_listDirty = false;
    const int count = std::max(kGridSize, int(m_manualFiles.size()));
    m_combineGrid->setRowCount(count);
    m_combineGrid->setColumnCount(kGridSize + 1);
    columns << tr("Files");
    for (int i = 1; i <= kGridSize; ++i)
        columns << QStringLiteral("Trk%1").arg(i);
    for (int i = 1; i <= count; ++i)
        rows << QString::number(i);
    m_combineGrid->setVerticalHeaderLabels(rows);
    m_combineGrid->setHorizontalHeaderLabels(columns);
    for (int r = 0; r < count; ++r) {
        auto* item = new QTableWidgetItem(
            r < m_manualFiles.size() ? QFileInfo(m_manualFiles.at(r)).fileName() : QString());
        // The name column says which file a row is; it is not an output.
        item->setFlags(Qt::ItemIsEnabled);
        m_combineGrid->setItem(r, 0, item);
    }
    m_combineGrid->resizeColumnToContents(0);
    m_combineGrid->horizontalHeader()->resizeSection(
        0, std::max(m_combineGrid->columnWidth(0) + 8, 2 * kCellWidth));
}

// ---------------------------------------------------------------- Slots

void SplitCombineFiles::tabChanged(int index)
{
    if (index == SplitTab)
        rebuildSplitGrid();
    else
        rebuildCombinePage();
}

// Each input feeds at most one output and each output takes at most one
// input: a newly selected cell deselects the others of its row and column.
void SplitCombineFiles::combineCellClicked(const QModelIndex& index)
{
    QItemSelectionModel* selection = m_combineGrid->selectionModel();
    if (!selection->isSelected(index))
        return;
    const QModelIndexList chosen = selection->selectedIndexes();
    for (const QModelIndex& other : chosen) {
        if (other != index && (other.row() == index.row() || other.column() == index.column()))
            selection->select(other, QItemSelectionModel::Deselect);
    }
}

void SplitCombineFiles::listChanged()
{
    m_listDirty = true;
    // One rebuild after an import's many rows, and only while it can be seen.
    if (isVisible() && manual() && m_tabs->currentIndex() == CombineTab) {
        QTimer::singleShot(0, this, [this] {
            if (m_listDirty && manual() && m_tabs->currentIndex() == CombineTab)
                rebuildCombinePage();
        });
    }
}

void SplitCombineFiles::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_listDirty && manual() && m_tabs->currentIndex() == CombineTab)
        rebuildCombinePage();
}

void SplitCombineFiles::on_pushButton_Refresh_clicked()
{
    tabChanged(m_tabs->currentIndex());
}

void SplitCombineFiles::on_pushButtonClear_clicked()
{
    (m_tabs->currentIndex() == SplitTab ? m_splitGrid : m_combineGrid)->clearSelection();
}

void SplitCombineFiles::on_buttonDestinationDirectoryOpen_clicked()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Open Destination"), QDir::fromNativeSeparators(m_destination->text()));
    if (!chosen.isEmpty())
        setDestination(chosen);
}

void SplitCombineFiles::setDestination(const QString& folder)
{
    m_destination->setText(QDir::toNativeSeparators(folder));
    QSettings().setValue(kDestinationKey, folder);
}

void SplitCombineFiles::on_pushButtonCancel_clicked()
{
    m_batch->cancel();
}

void SplitCombineFiles::on_pushButtonProcess_clicked()
{
    const QString folder = QDir::fromNativeSeparators(m_destination->text());
    QString refusal;
    if (m_tabs->currentIndex() == SplitTab) {
        refusal = m_batch->startSplit(folder, selectedCells(m_splitGrid));
    } else if (!manual()) {
        refusal = m_batch->startBatchCombine(folder, selectedCells(m_combineGrid));
    } else {
        if (m_listDirty)
            rebuildCombinePage();
        // The selected files in output track order.
        QList<SplitCombineBatch::Cell> cells = selectedCells(m_combineGrid);
        std::sort(cells.begin(), cells.end(),
                  [](const auto& a, const auto& b) { return a.column < b.column; });
        QStringList sources;
        for (const SplitCombineBatch::Cell& c : cells)
            if (c.column > 0 && c.row < m_manualFiles.size())
                sources << m_manualFiles.at(c.row);
        refusal = m_batch->startManualCombine(folder, m_name->text(), sources);
    }
    if (!refusal.isEmpty()) {
        const bool tooLarge = refusal.startsWith(QLatin1String("Operation cannot be completed"));
        message(tooLarge ? QMessageBox::Critical : QMessageBox::Warning, refusal);
        return;
    }
    if (m_batch->isRunning())
        setRunning(true);
}

void SplitCombineFiles::runFinished(const QString& text)
{
    setRunning(false);
    m_progress->setValue(0);
    message(QMessageBox::Warning, text);
}

void SplitCombineFiles::setRunning(bool running)
{
    m_process->setEnabled(!running);
    m_cancel->setEnabled(running);
}

SplitCombineBatch::Answer SplitCombineFiles::askExisting(const QStringList& existing)
{
    QStringList names;
    for (const QString& p : existing.mid(0, 10))
        names << QFileInfo(p).fileName();
    if (existing.size() > 10)
        names << tr("(%1 more)").arg(existing.size() - 10);
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(),
                    tr("These output files exist already:\n%1\n\nReplace them, or skip them "
                       "(for the whole run)?")
                        .arg(names.join(QLatin1Char('\n'))),
                    QMessageBox::NoButton, this);
    QPushButton* replace = box.addButton(tr("Replace"), QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton(tr("Skip"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.exec();
    if (box.clickedButton() == replace)
        return SplitCombineBatch::Answer::Replace;
    if (box.clickedButton() == skip)
        return SplitCombineBatch::Answer::Skip;
    return SplitCombineBatch::Answer::Cancel;
}

void SplitCombineFiles::message(QMessageBox::Icon icon, const QString& text)
{
    if (m_notify) {
        m_notify(icon, text);
        return;
    }
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, this);
    box.exec();
}

QList<SplitCombineBatch::Cell> SplitCombineFiles::selectedCells(const QTableWidget* grid)
{
    QList<SplitCombineBatch::Cell> cells;
    for (const QModelIndex& i : grid->selectionModel()->selectedIndexes())
        cells << SplitCombineBatch::Cell{i.row(), i.column()};
    return cells;
}

bool SplitCombineFiles::manual() const
{
    return m_manualMode->isChecked();
}
