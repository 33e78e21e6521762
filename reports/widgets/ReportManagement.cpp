#include "ReportManagement.h"

#include "AudioFileModel.h"
#include "CsvReport.h"
#include "PdfReport.h"
#include "ReportTakes.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace
{
const char kLastDirKey[] = "LastReportSaveDir";

// Object names of the column boxes, by report column.
const char* const kColumnBoxNames[ReportSettings::ColumnCount] = {
    "checkBox_FileName",  "checkBox_Channels",   "checkBox_Tape",      "checkBox_Scene",
    "checkBox_Take",      "checkBox_SampleRate", "checkBox_FrameRate", "checkBox_BitDepth",
    "checkBox_Duration",  "checkBox_StartTC",    "checkBox_EndTC",     "checkBox_InclWild",
    "checkBox_Circled_2", "checkBox_UserInfo",   "checkBox_Notes_2"};

QString columnBoxText(int c)
{
    if (c == ReportSettings::User)
        return QObject::tr("User Info");
    return ReportSettings::reportInfoList().at(c);
}

// The folder a save dialog proposes: the last report's, else the home folder.
QString proposedFolder()
{
    const QString last = QSettings().value(QLatin1String(kLastDirKey)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    return QDir::toNativeSeparators(QDir::homePath());
}
} // namespace

ReportManagement::ReportManagement(QWidget* parent, AudioFileModel* model, RowOrder rowOrder)
    : QWidget(parent), m_model(model), m_rowOrder(std::move(rowOrder))
{
    setWindowTitle(tr("Report Manager"));
    QSettings store;
    m_settings.loadHeader(store);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName("tabWidget");
    // Each page scrolls, so that the window keeps its size on small screens.
    for (QWidget* page : {buildHeaderTab(), buildReportTab()}) {
        auto* scroll = new QScrollArea(tabs);
        scroll->setWidget(page);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        tabs->addTab(scroll, page->objectName() == QLatin1String("tab_Header") ? tr("Header Info")
                                                                               : tr("Report Info"));
    }
    tabs->setCurrentIndex(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs);
    syncFromSettings();
}

QDockWidget* ReportManagement::createDock(QMainWindow* main, AudioFileModel* model,
                                          RowOrder rowOrder)
{
    auto* dock = new QDockWidget(tr("Reports"), main);
    dock->setObjectName(QStringLiteral("reportmanager"));
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::NoDockWidgetArea);
    dock->setWidget(new ReportManagement(dock, model, std::move(rowOrder)));
    main->addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->setFloating(true);
    dock->hide();
    dock->resize(600, 335);
    dock->move(main->pos() + QPoint(main->width() / 4, main->height() / 4));
    return dock;
}

ReportManagement::RowOrder ReportManagement::viewOrder(const QAbstractItemView* view)
{
    return [view = QPointer<const QAbstractItemView>(view)] {
        QList<int> rows;
        if (!view || !view->model())
            return rows;
        const QAbstractItemModel* shown = view->model();
        const auto* proxy = qobject_cast<const QAbstractProxyModel*>(shown);
        for (int r = 0; r < shown->rowCount(); ++r)
            rows << (proxy ? proxy->mapToSource(shown->index(r, 0)).row() : r);
        return rows;
    };
}

QWidget* ReportManagement::buildHeaderTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tab_Header"));
    auto* layout = new QHBoxLayout(page);
    m_headerCombos = QList<QComboBox*>(ReportSettings::kLastRecordRow + 1, nullptr);
    m_headerEdits = QList<QLineEdit*>(ReportSettings::kLastRecordRow + 1, nullptr);
    const struct {
        QString title;
        int first;
        int last;
        const QStringList& labels;
    } groups[] = {{tr("Header Info:"), 1, ReportSettings::kLastProducerRow,
                   ReportSettings::producerInfoList()},
                  {tr("Recording Info:"), ReportSettings::kFirstRecordRow,
                   ReportSettings::kLastRecordRow, ReportSettings::recordInfoList()}};
    for (const auto& g : groups) {
        auto* box = new QGroupBox(g.title, page);
        auto* grid = new QGridLayout(box);
        grid->setVerticalSpacing(2);
        for (int r = g.first; r <= g.last; ++r) {
            auto* combo = new QComboBox(box);
            combo->setObjectName(QStringLiteral("comboBox_%1").arg(r));
            combo->addItems(g.labels);
            auto* edit = new QLineEdit(box);
            edit->setObjectName(QStringLiteral("lineEdit_%1").arg(r));
            grid->addWidget(combo, r - g.first, 0);
            grid->addWidget(edit, r - g.first, 1);
            m_headerCombos[r] = combo;
            m_headerEdits[r] = edit;
            connect(combo, &QComboBox::currentTextChanged, this,
                    [this, r](const QString& text) { m_settings.row(r).field = text; });
            connect(edit, &QLineEdit::textChanged, this,
                    [this, r](const QString& text) { m_settings.row(r).text = text; });
        }
        layout->addWidget(box, 0, Qt::AlignTop);
    }
    return page;
}

QCheckBox* ReportManagement::addBox(QWidget* parent, const char* name, const QString& text)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QWidget* ReportManagement::buildReportTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Format : "), page));
    m_format = new QComboBox(page);
    m_format->setObjectName("comboBox_Format");
    m_format->addItem(QStringLiteral("PDF"), ReportSettings::Pdf);
    m_format->addItem(QStringLiteral("CSV"), ReportSettings::Csv);
    top->addWidget(m_format);
    // Beside the format, so that it is in sight without scrolling.
    auto* generate = new QPushButton(tr("Sound Report"), page);
    generate->setObjectName("pushButton_Generate");
    top->addWidget(generate);

    auto* include = new QGroupBox(tr("Include Files in Report "), page);
    auto* includeLayout = new QHBoxLayout(include);
    m_nonCircled = addBox(include, "checkBox_NonCircled", tr("Non-Circled"));
    m_circled = addBox(include, "checkBox_Circled", tr("Circled"));
    m_wild = addBox(include, "checkBox_Wild", tr("Wild"));
    for (QCheckBox* b : {m_nonCircled, m_circled, m_wild})
        includeLayout->addWidget(b);
    top->addWidget(include);

    auto* extras = new QGroupBox(tr("Include in Report"), page);
    auto* extrasLayout = new QHBoxLayout(extras);
    m_trackInfo = addBox(extras, "checkBox_TrackInfo", tr("Track Names"));
    m_notesRows = addBox(extras, "checkBox_Notes", tr("Notes (Row Format)"));
    m_trackInfoRow = addBox(extras, "checkBox_TrackInfoRow", tr("Track Names (Row Format)"));
    for (QCheckBox* b : {m_trackInfo, m_notesRows, m_trackInfoRow})
        extrasLayout->addWidget(b);
    layout->addLayout(top);
    layout->addWidget(extras);

    auto* columns = new QGroupBox(tr("Columns"), page);
    auto* grid = new QGridLayout(columns);
    grid->setVerticalSpacing(0);
    for (int c = 0; c < ReportSettings::ColumnCount; ++c) {
        QCheckBox* box = addBox(columns, kColumnBoxNames[c], columnBoxText(c));
        grid->addWidget(box, c / 5, c % 5);
        m_columnBoxes << box;
        connect(box, &QCheckBox::clicked, this, [this, c](bool on) { columnClicked(c, on); });
    }
    layout->addWidget(columns);

    m_preview = new QTableWidget(2, ReportSettings::ColumnCount, page);
    m_preview->setObjectName("tableWidget");
    m_preview->setHorizontalHeaderLabels(ReportSettings::reportInfoList());
    m_preview->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setMinimumHeight(m_preview->horizontalHeader()->sizeHint().height() * 3);
    layout->addWidget(m_preview, 1);


    connect(generate, &QPushButton::clicked, this,
            &ReportManagement::on_pushButton_Generate_clicked);
    connect(m_format, &QComboBox::currentIndexChanged, this, &ReportManagement::formatChanged);
    connect(m_circled, &QCheckBox::clicked, this,
            [this](bool on) { m_settings.includeCircled = on; });
    connect(m_nonCircled, &QCheckBox::clicked, this,
            [this](bool on) { m_settings.includeNonCircled = on; });
    connect(m_wild, &QCheckBox::clicked, this, [this](bool on) { m_settings.includeWild = on; });
    connect(m_trackInfo, &QCheckBox::clicked, this, [this](bool on) {
        if (!m_settings.setTrackNames(on, widestTake()))
            refuse();
        syncFromSettings();
    });
    connect(m_trackInfoRow, &QCheckBox::clicked, this, [this](bool on) {
        m_settings.setTrackNamesRows(on);
        syncFromSettings();
    });
    connect(m_notesRows, &QCheckBox::clicked, this, [this](bool on) {
        m_settings.setNotesRows(on);
        syncFromSettings();
    });
    return page;
}

void ReportManagement::columnClicked(int c, bool on)
{
    if (!m_settings.setColumn(c, on, widestTake()))
        refuse();
    syncFromSettings();
}

void ReportManagement::formatChanged(int index)
{
    const auto format = ReportSettings::Format(m_format->itemData(index).toInt());
    if (!m_settings.setFormat(format, widestTake()))
        refuse();
    syncFromSettings();
}

void ReportManagement::refuse()
{
    message(QMessageBox::Warning, ReportSettings::columnLimitMessage());
}

// Shows the settings value in the form; the value is the one truth.
void ReportManagement::syncFromSettings()
{
    const QSignalBlocker blockFormat(m_format);
    m_format->setCurrentIndex(m_format->findData(m_settings.format));
    for (int r = 1; r <= ReportSettings::kLastRecordRow; ++r) {
        if (!ReportSettings::isHeaderRow(r))
            continue;
        const ReportSettings::HeaderRow h = m_settings.row(r);
        const int item = m_headerCombos[r]->findText(h.field);
        m_headerCombos[r]->setCurrentIndex(item < 0 ? 0 : item);
        m_headerEdits[r]->setText(h.text);
    }
    m_circled->setChecked(m_settings.includeCircled);
    m_nonCircled->setChecked(m_settings.includeNonCircled);
    m_wild->setChecked(m_settings.includeWild);
    m_trackInfo->setChecked(m_settings.trackNames);
    m_notesRows->setChecked(m_settings.notesRows);
    m_trackInfoRow->setChecked(m_settings.trackNamesRows);
    for (int c = 0; c < ReportSettings::ColumnCount; ++c) {
        m_columnBoxes[c]->setChecked(m_settings.column(c));
        m_preview->setColumnHidden(c, !m_settings.column(c));
    }
}

void ReportManagement::hideEvent(QHideEvent* event)
{
    QSettings store;
    m_settings.saveHeader(store);
    QWidget::hideEvent(event);
}

QList<int> ReportManagement::viewRows() const
{
    return m_rowOrder ? m_rowOrder() : ReportTakes::allRows(*m_model);
}

int ReportManagement::widestTake() const
{
    return ReportTakes::widestTake(*m_model);
}

void ReportManagement::message(QMessageBox::Icon icon, const QString& text)
{
    if (m_notify) {
        m_notify(icon, text);
        return;
    }
    QMessageBox box(icon, QApplication::applicationName(), text, QMessageBox::Ok, this);
    box.exec();
}

void ReportManagement::on_pushButton_Generate_clicked()
{
    if (m_settings.format == ReportSettings::Csv)
        generateCSVReport();
    else
        generatePDFReport();
}

QString ReportManagement::askFile(const QString& caption, const QString& name,
                                  const QString& filter, const QString& suffix)
{
    const QString proposed = proposedFolder() + QLatin1Char('/') + name;
    QString path = m_chooseFile ? m_chooseFile(caption, proposed, filter)
                                : QFileDialog::getSaveFileName(this, caption, proposed, filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += suffix;
    return path;
}

void ReportManagement::finishReport(const QString& path)
{
    emit doneReports();
    QSettings().setValue(QLatin1String(kLastDirKey), QFileInfo(path).absolutePath());
}

void ReportManagement::generateCSVReport()
{
    const QString path = askFile(tr("Export txt"), QStringLiteral("SoundReport.csv"),
                                 QStringLiteral("*.csv"), QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString text;
    const bool ok = CsvReport::createCSVFile(path, *m_model, viewRows(), m_settings, &text);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        message(text == CsvReport::failedMessage() ? QMessageBox::Critical : QMessageBox::Warning,
                text);
        return;
    }
    finishReport(path);
}

void ReportManagement::generatePDFReport()
{
    if (m_model->rowCount() == 0) {
        message(QMessageBox::Warning, ReportTakes::noTakesMessage());
        return;
    }
    const QList<int> rows = viewRows();
    if (ReportTakes::selectTakes(*m_model, rows, m_settings).isEmpty()) {
        message(QMessageBox::Warning, ReportTakes::noneIncludedMessage());
        return;
    }
    const QString path = askFile(tr("Export PDF"), QStringLiteral("SoundReport.pdf"),
                                 QStringLiteral("*.pdf"), QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;

    QProgressDialog progress(tr("Preparing Sound Report..."), tr("&Cancel"), 0, 1, this);
    progress.setWindowTitle(tr("Sound Report"));
    progress.setWindowModality(Qt::ApplicationModal);
    auto step = [&progress](int done, int pages) {
        progress.setMaximum(pages);
        progress.setValue(done);
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString text;
    const bool ok = PdfReport::createPDFFile(path, *m_model, rows, m_settings, &text, step);
    QApplication::restoreOverrideCursor();
    progress.close();
    if (!ok) {
        message(text == PdfReport::failedMessage() ? QMessageBox::Critical : QMessageBox::Warning,
                text);
        return;
    }
    finishReport(path);
}
