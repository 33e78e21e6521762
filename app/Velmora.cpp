#include "Velmora.h"

#include "AboutVelmora.h"
#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "HelpPages.h"
#include "PreferenceDlg.h"
#include "ReportManagement.h"
#include "SplitCombineFiles.h"
#include "TakeSession.h"
#include "Mixer.h"
#include "PlaybackThread.h"
#include "TakeColumns.h"
#include "TakeDialogs.h"
#include "TransportCtrl.h"
#include "WindowLayouts.h"
#include "TransportView.h"
#include "controlModeR9K.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTreeView>

namespace
{
// The window's default size; it stays usable down to 1018 x 690.
constexpr int kDefaultWidth = 1240;
constexpr int kDefaultHeight = 760;

// The edit-mode tool windows, in the order they are hidden.
const char* const kEditToolWindows[] = {"meters", "reportmanager", "splitcombine",
                                        "transportcontrol"};
} // namespace

QString Velmora::styleSheetPath()
{
    return QStringLiteral(":/Velmora/Resources/Velmora.css");
}

QString Velmora::logoPath()
{
    return QStringLiteral(":/Velmora/Resources/logo.png");
}

Velmora::Velmora(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Velmora"));
    setWindowIcon(QIcon(logoPath()));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlan"));
    // A reserved name: the application needs a domain, and this one never
    // resolves to somebody else's site.
    QCoreApplication::setOrganizationDomain(QStringLiteral("quorlan.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    // "*" after the name while a take has unsaved edits.
    setWindowTitle(QStringLiteral("Quorlan Velmora Beta[*]"));
    setDockOptions(QMainWindow::AnimatedDocks);
    setContextMenuPolicy(Qt::NoContextMenu);
    QFont font = QApplication::font();
    font.setPointSize(10);
    QApplication::setFont(font);

    createActions();
    createMenus();
    statusBar()->setSizeGripEnabled(true);
    m_takeCount = new QLabel(this);
    m_takeCount->setObjectName(QStringLiteral("takeCount"));
    statusBar()->addPermanentWidget(m_takeCount);

    m_session = std::make_unique<TakeSession>();
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("centralStack"));
    m_editor = new FileListManagement(m_stack, m_session.get());
    m_stack->addWidget(m_editor);
    m_stack->setCurrentIndex(0);
    setCentralWidget(m_stack);

    connect(m_editor, &FileListManagement::renameEnabled, this, &Velmora::on_renameEnabled);
    connect(m_editor, &FileListManagement::copyToEnabled, this, &Velmora::on_copyToEnabled);
    connect(m_editor, &FileListManagement::spltCombineEnabled, this,
            &Velmora::on_spltCombineEnabled);
    connect(m_editor, &FileListManagement::reportsEnabled, this, &Velmora::on_reportsEnabled);
    connect(m_editor, &FileListManagement::playEnabled, this, &Velmora::on_playEnabled);
    connect(m_editor, &FileListManagement::stopEnabled, this, &Velmora::on_stopEnabled);
    connect(m_editor, &FileListManagement::importFinished, this, &Velmora::on_importFinished);
    m_reportDock = ReportManagement::createDock(
        this, m_session->model(), ReportManagement::viewOrder(m_editor->findChild<QTreeView*>("treeView")));
    connect(static_cast<ReportManagement*>(m_reportDock->widget()), &ReportManagement::doneReports,
            this, &Velmora::ReportsActionHandler);
    connect(m_editor, &FileListManagement::startReports, this, &Velmora::ReportsActionHandler);
    connect(m_reportsAction, &QAction::triggered, this, &Velmora::ReportsActionHandler);
    m_unavailable.remove(m_reportsAction);
    m_editor->setCommandAvailable(FileListManagement::Command::Reports, true);
    m_splitCombineDock = SplitCombineFiles::createDock(this, m_session.get());
    connect(m_editor, &FileListManagement::startSplitCombine, this,
            &Velmora::SplitCombineActionHandler);
    connect(m_splitCombineAction, &QAction::triggered, this, &Velmora::SplitCombineActionHandler);
    m_unavailable.remove(m_splitCombineAction);
    m_editor->setCommandAvailable(FileListManagement::Command::SplitCombine, true);
    connect(m_session.get(), &TakeSession::unsavedChanged, this, &QWidget::setWindowModified);
    connect(m_session.get(), &TakeSession::statusLine, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(m_session.get(), &TakeSession::takesInserted, this, &Velmora::updateTakeCount);
    connect(m_session.get(), &TakeSession::takesRemoved, this, &Velmora::updateTakeCount);
    createPlaybackWindows();
    createControlMode();

    loadStyleSheet();

    m_mode = EditMode;
    m_stack->setCurrentIndex(0);
    adjustMenuActions();
    updateTakeCount();

    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!appData.isEmpty())
        QDir().mkpath(appData);

    resize(kDefaultWidth, kDefaultHeight);
    m_layouts = std::make_unique<WindowLayouts>(this);
    m_unavailable.remove(m_restoreLayoutAction);
    m_restoreLayoutAction->setEnabled(true);
    loadModeLayout(m_mode);
    // Whatever the layout said, the window opens wholly on the screen.
    m_layouts->keepOnScreen();
}

Velmora::~Velmora()
{
    destroyControlMode();
    cleanUp();
}

QAction* Velmora::makeAction(const char* objectName, const QString& text)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

void Velmora::createActions()
{
    m_importAction = makeAction("actionImport", tr("&Import..."));
    m_importAction->setShortcut(QKeySequence::Open);
    connect(m_importAction, &QAction::triggered, this, &Velmora::OpenActionHandler);

    m_copyToAction = makeAction("actionCopyTo", tr("&Copy To..."));
    m_copyToAction->setShortcut(QKeySequence::Copy);
    m_renameAction = makeAction("actionRename", tr("Re&name..."));
    m_renameAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    connect(m_copyToAction, &QAction::triggered, this, &Velmora::CopyActionHandler);
    connect(m_renameAction, &QAction::triggered, this, &Velmora::RenameActionHandler);
    m_preferencesAction = makeAction("actionPreferences", tr("&Preferences"));
    m_preferencesAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+?")));
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);
    connect(m_preferencesAction, &QAction::triggered, this, &Velmora::PreferencesActionHandler);
    m_exitAction = makeAction("actionExit", tr("E&xit"));
    m_exitAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);

    m_playAction = makeAction("actionPlay", tr("Play"));
    m_playAction->setShortcut(QKeySequence(Qt::Key_Space));
    m_stopAction = makeAction("actionStop", tr("Stop"));
    m_stopAction->setShortcut(QKeySequence(Qt::Key_F3));
    m_recordAction = makeAction("actionRecord", tr("Record"));
    m_recordAction->setShortcut(QKeySequence(QStringLiteral("Alt+R")));
    m_transportAction = makeAction("actionTransport", tr("&Transport"));
    m_transportAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    m_liveTakeListAction = makeAction("actionLiveTakeList", tr("R9K Take &List"));
    m_liveTakeListAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    m_metersAction = makeAction("actionMeters", tr("Playback &Mixer"));
    m_metersAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    m_reportsAction = makeAction("actionReports", tr("&Reports"));
    m_reportsAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    m_splitCombineAction = makeAction("actionSplitCombine", tr("Split/Comb&ine"));
    m_splitCombineAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+I")));
    m_restoreLayoutAction = makeAction("actionRestoreDefaultLayout", tr("Restore &Default Layout"));
    m_controlModeAction = makeAction("actionControlMode", tr("&Control Mode"));
    m_controlModeAction->setCheckable(true);
    // Disabled while no recorder is plugged in: say why.
    m_controlModeAction->setStatusTip(
        tr("Controls a connected R9K recorder; available while one is plugged in."));
    m_controlModeAction->setToolTip(m_controlModeAction->statusTip());
    m_controlModeAction->setEnabled(false);
    m_editModeAction = makeAction("actionEditMode", tr("&Edit Mode"));
    m_editModeAction->setCheckable(true);
    m_userGuideAction = makeAction("actionUserGuide", tr("User &Guide"));
    // Ctrl+? is Preferences' key; one key on two actions would trigger neither.
    m_userGuideAction->setShortcut(QKeySequence::HelpContents);
    m_supportAction = makeAction("actionSupport", tr("&Support"));
    m_aboutAction = makeAction("actionAbout", tr("&About"));
    connect(m_userGuideAction, &QAction::triggered, this, &Velmora::UserGuideActionHandler);
    connect(m_supportAction, &QAction::triggered, this, &Velmora::SupportActionHandler);
    connect(m_aboutAction, &QAction::triggered, this, &Velmora::AboutActionHandler);

    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusive(true);
    m_modeGroup->addAction(m_editModeAction);
    m_modeGroup->addAction(m_controlModeAction);
    m_editModeAction->setChecked(true);

    // Their windows and commands come later; until then they stay disabled.
    m_unavailable = {m_preferencesAction, m_recordAction,       m_liveTakeListAction,
                     m_reportsAction,     m_splitCombineAction, m_restoreLayoutAction,
                     m_controlModeAction, m_userGuideAction,    m_supportAction,
                     m_aboutAction};
    // The preferences, the About box and the Help pages are there.
    for (QAction* a : {m_preferencesAction, m_userGuideAction, m_supportAction, m_aboutAction})
        m_unavailable.remove(a);
    for (QAction* a : std::as_const(m_unavailable))
        a->setEnabled(false);
    m_playAction->setEnabled(false);
    m_stopAction->setEnabled(false);
    connect(m_playAction, &QAction::triggered, this, &Velmora::PlayActionHandler);
    connect(m_stopAction, &QAction::triggered, this, &Velmora::StopActionHandler);
    connect(m_transportAction, &QAction::triggered, this, &Velmora::TransportActionHandler);
    connect(m_metersAction, &QAction::triggered, this, &Velmora::MetersActionHandler);
    connect(m_restoreLayoutAction, &QAction::triggered, this,
            &Velmora::RestoreDefaultLayoutHandler);
}

void Velmora::createMenus()
{
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    m_fileMenu->setObjectName(QStringLiteral("menuFile"));
    m_fileMenu->addAction(m_importAction);
    m_fileMenu->addAction(m_copyToAction);
    m_fileMenu->addAction(m_renameAction);
    m_fileMenu->addAction(m_preferencesAction);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(m_exitAction);

    m_controlsMenu = menuBar()->addMenu(tr("&Controls"));
    m_controlsMenu->setObjectName(QStringLiteral("menuControls"));
    m_windowMenu = menuBar()->addMenu(tr("&Window"));
    m_windowMenu->setObjectName(QStringLiteral("menuWindow"));

    m_modeMenu = menuBar()->addMenu(tr("&Mode"));
    m_modeMenu->setObjectName(QStringLiteral("menuMode"));
    m_modeMenu->addAction(m_editModeAction);
    m_modeMenu->addAction(m_controlModeAction);

    m_helpMenu = menuBar()->addMenu(tr("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("menuHelp"));
    m_helpMenu->addAction(m_userGuideAction);
    m_helpMenu->addAction(m_supportAction);
    m_helpMenu->addAction(m_aboutAction);
}

void Velmora::enableAction(QAction* action, bool enabled)
{
    action->setEnabled(enabled && !m_unavailable.contains(action));
}

void Velmora::adjustMenuActions()
{
    const bool edit = m_mode == EditMode;
    enableAction(m_importAction, edit);
    enableAction(m_copyToAction, edit && m_copyToEnabled);
    enableAction(m_renameAction, edit && m_renameEnabled);

    m_controlsMenu->clear();
    m_controlsMenu->addAction(m_stopAction);
    // The recorder's commands serve control mode only.
    enableAction(m_recordAction, !edit);
    enableAction(m_liveTakeListAction, !edit);
    if (edit) {
        enableAction(m_stopAction, m_stopEnabled);
        m_controlsMenu->addAction(m_playAction);
        enableAction(m_playAction, m_playEnabled);
    } else {
        enableAction(m_stopAction, true);
        m_controlsMenu->addAction(m_recordAction);
    }

    m_windowMenu->clear();
    m_windowMenu->addAction(m_transportAction);
    if (edit) {
        m_windowMenu->addAction(m_splitCombineAction);
        enableAction(m_splitCombineAction, m_spltCombineEnabled);
        m_windowMenu->addAction(m_reportsAction);
        enableAction(m_reportsAction, m_reportsEnabled);
        m_windowMenu->addAction(m_metersAction);
    } else {
        m_windowMenu->addAction(m_liveTakeListAction);
    }
    m_windowMenu->addSeparator();
    m_windowMenu->addAction(m_restoreLayoutAction);
}

void Velmora::on_renameEnabled(bool enabled)
{
    m_renameEnabled = enabled;
    enableAction(m_renameAction, enabled && m_mode == EditMode);
}

void Velmora::on_copyToEnabled(bool enabled)
{
    m_copyToEnabled = enabled;
    enableAction(m_copyToAction, enabled && m_mode == EditMode);
}

void Velmora::on_spltCombineEnabled(bool enabled)
{
    m_spltCombineEnabled = enabled;
    enableAction(m_splitCombineAction, enabled);
}

// Shows the Report Manager when hidden, hides it when shown.
void Velmora::ReportsActionHandler()
{
    m_reportDock->setVisible(!m_reportDock->isVisible());
}

// Shows the Split/Combine window when hidden, hides it when shown.
void Velmora::SplitCombineActionHandler()
{
    m_splitCombineDock->setVisible(!m_splitCombineDock->isVisible());
}

void Velmora::on_reportsEnabled(bool enabled)
{
    m_reportsEnabled = enabled;
    enableAction(m_reportsAction, enabled);
}

void Velmora::on_playEnabled(bool enabled)
{
    m_playEnabled = enabled;
    enableAction(m_playAction, enabled);
}

void Velmora::on_stopEnabled(bool enabled)
{
    m_stopEnabled = enabled;
    enableAction(m_stopAction, enabled);
}

QString Velmora::pathOfRow(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model())
        return QString();
    return model()->index(index.row(), TakeColumns::Path).data().toString();
}

void Velmora::createPlaybackWindows()
{
    m_transport = new TransportCtrl(this);
    m_mixer = new Mixer(this, 32);
    auto dock = [this](const char* name, const QString& title, QWidget* w) {
        auto* d = new QDockWidget(title, this);
        d->setObjectName(QLatin1String(name));
        d->setAllowedAreas(Qt::NoDockWidgetArea);
        d->setWidget(w);
        addDockWidget(Qt::RightDockWidgetArea, d);
        d->setFloating(true);
        d->hide();
        return d;
    };
    m_transportDock = dock("transportcontrol", tr("Transport Control"), m_transport);
    m_transportDock->resize(455, 406);
    m_metersDock = dock("meters", tr("Playback Mixer"), m_mixer);

    m_editor->setCommandAvailable(FileListManagement::Command::Play, true);
    connect(m_session.get(), &TakeSession::currentTakeChanged, this,
            [this](const QModelIndex& current, const QList<QModelIndex>&) {
                const QString path = pathOfRow(current);
                m_transport->on_currentTakeChanged(path);
                m_mixer->on_currentTakeChanged(path);
            });
    // Play on the take that is playing pauses or resumes it; on another take
    // (a double click, or Play after a new selection) it starts that take.
    connect(m_session.get(), &TakeSession::playRequested, this, [this](const QModelIndex& index) {
        const QString path = pathOfRow(index);
        if (m_transport->isPlaying() && m_transport->currentTake() == path)
            PlayActionHandler();
        else
            m_transport->PlayBackFile(path);
    });
    connect(m_session.get(), &TakeSession::stopRequested, this, &Velmora::StopActionHandler);
    connect(m_mixer, &Mixer::commandUpdate, m_transport, &TransportCtrl::on_commandUpdate);
    connect(m_mixer, &Mixer::startMixer, this, &Velmora::MetersActionHandler);
    connect(m_transport, &TransportCtrl::meterUpdate, m_mixer, &Mixer::on_meterUpdate);
    connect(m_transport, &TransportCtrl::startTransport, this, &Velmora::TransportActionHandler);
    connect(m_transport, &TransportCtrl::playStarted, m_mixer, &Mixer::on_playStarted);
    connect(m_transport, &TransportCtrl::playStarted, this, [this](const QString& path) {
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->index(row, TakeColumns::Path).data().toString() == path)
                m_editor->on_playStarted(model()->index(row, 0));
    });
    connect(m_transport, &TransportCtrl::playStoped, m_editor, &FileListManagement::on_playStoped);
    connect(m_transport, &TransportCtrl::playStoped, m_mixer, &Mixer::on_playStoped);
    connect(m_transport, &TransportCtrl::playStoped, this, &Velmora::on_playStoped);
    connect(m_transport, &TransportCtrl::playPaused, m_editor, &FileListManagement::on_playPaused);
    connect(m_transport, &TransportCtrl::playPaused, m_mixer, &Mixer::on_playPaused);
    connect(m_transport, &TransportCtrl::playPaused, this, &Velmora::on_playPaused);
    connect(m_transport, &TransportCtrl::trackNameChanged, this,
            [this](const QString& path, int channel, const QString& name) {
                for (int row = 0; row < model()->rowCount(); ++row)
                    if (model()->index(row, TakeColumns::Path).data().toString() == path)
                        model()->setTrackName(row, channel, name);
            });
}

void Velmora::PlayActionHandler()
{
    if (m_mode == EditMode)
        m_transport->on_Play_clicked();
}

void Velmora::StopActionHandler()
{
    if (m_mode == EditMode)
        m_transport->on_Stop_clicked();
    else
        m_transportView->on_Stop_clicked();
}

// Each mode has its own transport window.
void Velmora::TransportActionHandler()
{
    if (m_mode == ControlMode && m_transportViewDock->isHidden())
        showTransportView();
    else if (m_mode == ControlMode)
        m_transportViewDock->hide();
    else
        m_transportDock->setVisible(!m_transportDock->isVisible());
}

void Velmora::MetersActionHandler()
{
    if (m_mode == EditMode)
        m_metersDock->setVisible(!m_metersDock->isVisible());
}

void Velmora::on_playStoped()
{
    m_playAction->setText(tr("Play"));
}

void Velmora::on_playPaused(bool playing)
{
    m_playAction->setText(playing ? tr("Pause") : tr("Play"));
}

void Velmora::OpenActionHandler()
{
    m_editor->startImportAction();
}

void Velmora::RenameActionHandler()
{
    if (model()->rowCount() > 0)
        m_editor->startRenameAction();
    else
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("No takes present in Take List."));
}

void Velmora::CopyActionHandler()
{
    if (model()->rowCount() > 0)
        m_editor->startCopyAction();
    else
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("No takes present in Take List."));
}

void Velmora::PreferencesActionHandler()
{
    PreferenceDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        emit preferencesUpdated();
}

void Velmora::AboutActionHandler()
{
    AboutVelmora about(this);
    about.exec();
}

void Velmora::UserGuideActionHandler()
{
    HelpPages::open(HelpPages::Page::UserGuide, this);
}

void Velmora::SupportActionHandler()
{
    HelpPages::open(HelpPages::Page::Support, this);
}

void Velmora::openPaths(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    // The next Import starts where these takes are.
    TakeDialogs::rememberImportFolder(paths);
    m_editor->importPaths(paths, FileListManagement::ImportOrigin::Drop);
}

void Velmora::on_importFinished(int takesAdded, int filesRejected)
{
    QString message = takesAdded == 1 ? tr("1 take added.") : tr("%1 takes added.").arg(takesAdded);
    if (filesRejected == 1)
        message += QLatin1Char(' ') + tr("1 file could not be read as a take.");
    else if (filesRejected > 1)
        message += QLatin1Char(' ') + tr("%1 files could not be read as takes.").arg(filesRejected);
    statusBar()->showMessage(message, 8000);
}

void Velmora::updateTakeCount()
{
    const int count = model()->rowCount();
    m_takeCount->setText(count == 1 ? tr("1 take") : tr("%1 takes").arg(count));
}

void Velmora::loadStyleSheet()
{
    QFile file(styleSheetPath());
    // Without a style sheet the window keeps the default look.
    if (file.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(file.readAll()));
}

void Velmora::closeEvent(QCloseEvent* event)
{
    // Unsaved edits are saved (then the window closes), discarded, or keep
    // the window open.
    if (m_session && !m_session->settleEdits({}, true, [this] { close(); })) {
        event->ignore();
        return;
    }
    saveModeLayout(m_mode);
    if (auto* list = findChild<QWidget*>(QStringLiteral("livetakelist")))
        list->close();
    stopWorkers();
    event->accept();
}

void Velmora::stopWorkers()
{
    // Returns once the output stream and the reader have ended.
    if (m_transport && m_transport->engine().isRunning())
        m_transport->on_Stop_clicked();
    // The recorder's worker ends within its reply time-outs.
    if (m_worker && m_worker->isRunning()) {
        m_worker->requestStop();
        if (!m_worker->wait(6000))
            qWarning() << "the control-mode worker did not stop in time";
    }
}

AudioFileModel* Velmora::model() const
{
    return m_session ? m_session->model() : nullptr;
}

void Velmora::cleanUp()
{
    if (!m_session)
        return;
    // The editor goes first: nothing may watch the rows while they go.
    std::unique_ptr<QWidget> central(takeCentralWidget());
    central.reset();
    m_stack = nullptr;
    m_editor = nullptr;
    // The window is going: its take count need not follow the rows out.
    disconnect(m_session.get(), nullptr, this, nullptr);
    m_session.reset();
}

void Velmora::saveModeLayout(int mode)
{
    saveLayout(WindowLayouts::modeLayoutName(mode));
}

void Velmora::loadModeLayout(int mode)
{
    loadLayout(WindowLayouts::modeLayoutName(mode), mode);
}

void Velmora::saveLayout(const QString& name)
{
    QString error;
    if (!m_layouts->save(name, &error))
        QMessageBox::warning(this, tr("Error"), error);
}

void Velmora::loadLayout(const QString& name, int mode)
{
    QString error;
    if (!m_layouts->load(name, mode, &error))
        QMessageBox::warning(this, tr("Error"), error);
}

void Velmora::hideEditToolWindows()
{
    for (const char* name : kEditToolWindows) {
        if (auto* dock = findChild<QDockWidget*>(QLatin1String(name))) {
            m_editToolVisible[QLatin1String(name)] = dock->isVisible();
            dock->hide();
        }
    }
}

void Velmora::showEditToolWindows()
{
    for (const char* name : kEditToolWindows) {
        if (auto* dock = findChild<QDockWidget*>(QLatin1String(name)))
            dock->setVisible(m_editToolVisible.value(QLatin1String(name), false));
    }
}

void Velmora::RestoreDefaultLayoutHandler()
{
    if (m_mode == EditMode)
        hideEditToolWindows();
    loadLayout(WindowLayouts::defaultLayoutName(m_mode), m_mode);
    if (m_mode != ControlMode)
        return;
    if (auto* view = findChild<QDockWidget*>(QStringLiteral("transportview"))) {
        addDockWidget(Qt::BottomDockWidgetArea, view);
        view->setFloating(false);
        view->show();
    }
    if (auto* list = findChild<QWidget*>(QStringLiteral("livetakelist")))
        list->hide();
}

bool Velmora::writeDefaultLayouts(const QString& folder, QString* error)
{
    for (int mode : {EditMode, ControlMode}) {
        setWindowState(Qt::WindowNoState);
        resize(kDefaultWidth, kDefaultHeight);
        move(WindowLayouts::defaultPosition());
        const QString path = folder + QLatin1Char('/') +
                             WindowLayouts::fileName(WindowLayouts::defaultLayoutName(mode));
        if (!WindowLayouts::writeLayoutFile(path, saveGeometry(), error))
            return false;
    }
    return true;
}
