// The main window's control mode: its windows and the worker, the switch
// between edit mode and control mode, and finding the recorder at start-up
// and on plug and unplug.
#include "Velmora.h"

#include "FileListManagement.h"
#include "LiveTakeList.h"
#include "Mixer.h"
#include "MixerView.h"
#include "TransportCtrl.h"
#include "TransportView.h"
#include "cLinkDevice.h"
#include "cLinkLiveTakeSink.h"
#include "cPortWatcher.h"
#include "cRecorderProbe.h"
#include "controlModeR9K.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTimer>

Q_LOGGING_CATEGORY(lcRecorder, "velmora.recorder", QtWarningMsg)

namespace
{
// How long a disconnect waits for the worker thread before saying so.
constexpr int kDisconnectWaitMs = 8000;
constexpr int kExitWaitMs = 6000;
constexpr int kAllowControlModeMs = 100;
// A poll that failed for another reason than a vanished port: polling
// starts again after this pause.
constexpr int kPollRestartMs = 500;

// The busy cursor for the length of a scope.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

void Velmora::createControlMode()
{
    m_mixerView = new MixerView(m_stack, 12);
    m_stack->addWidget(m_mixerView);

    m_transportView = new TransportView(this);
    m_transportViewDock = new QDockWidget(tr("R9K Transport View"), this);
    m_transportViewDock->setObjectName(QStringLiteral("transportview"));
    m_transportViewDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    m_transportViewDock->setWidget(m_transportView);
    addDockWidget(Qt::BottomDockWidgetArea, m_transportViewDock);
    m_transportViewDock->resize(455, 406);
    m_transportViewDock->hide();

    m_liveTakeList = new LiveTakeList(this);
    m_liveTakeList->hide();

    m_worker = new controlModeR9K(static_cast<QObject*>(nullptr));
    m_sink = new cLinkLiveTakeSink(m_liveTakeList);
    m_worker->setSink(m_sink);
    connect(m_worker, &QThread::finished, this, &Velmora::deleteRetiredDevices);

    auto* w = m_worker;
    auto* tv = m_transportView;
    connect(w, &controlModeR9K::timecodeUpdate, tv, &TransportView::on_timecodeUpdate);
    connect(w, &controlModeR9K::fileTimeUpdate, tv, &TransportView::on_fileTimeUpdate);
    connect(w, &controlModeR9K::sampleRateUpdate, tv, &TransportView::on_sampleRateUpdate);
    connect(w, &controlModeR9K::bitDepthUpdate, tv, &TransportView::on_bitDepthUpdate);
    connect(w, &controlModeR9K::frameRateUpdate, tv, &TransportView::on_frameRateUpdate);
    connect(w, &controlModeR9K::transportModeChange, tv, &TransportView::on_transportModeChange);
    connect(w, &controlModeR9K::transportModeChange, m_liveTakeList,
            &LiveTakeList::on_transportModeChange);
    connect(w, &controlModeR9K::meterUpdate, m_mixerView, &MixerView::on_meterUpdate);
    connect(w, &controlModeR9K::meterBallisticsUpdate, m_mixerView,
            &MixerView::on_meterBallisticsUpdate);
    connect(w, &controlModeR9K::meterPeakHoldTimeUpdate, m_mixerView,
            &MixerView::on_meterPeakHoldTimeUpdate);
    connect(w, &controlModeR9K::cLinkError, this, &Velmora::on_cLinkError);
    // Direct: the worker's slots run in the GUI thread and take its mutex.
    connect(tv, &TransportView::transportKeyPressed, w, &controlModeR9K::on_transportKeyPressed,
            Qt::DirectConnection);
    connect(tv, &TransportView::transportViewActive, w, &controlModeR9K::on_transportViewActive,
            Qt::DirectConnection);

    auto* list = m_liveTakeList;
    connect(list, &LiveTakeList::getTakeList, w, &controlModeR9K::on_getTakeList,
            Qt::DirectConnection);
    connect(list, &LiveTakeList::getTakeParam, w, &controlModeR9K::on_getTakeParam,
            Qt::DirectConnection);
    connect(list, &LiveTakeList::setTakeParam, w, &controlModeR9K::on_setTakeParam,
            Qt::DirectConnection);
    connect(list, &LiveTakeList::setFalseTake, w, &controlModeR9K::on_setFalseTake,
            Qt::DirectConnection);
    connect(list, &LiveTakeList::getTakeListChanges, w, &controlModeR9K::on_getTakeListChanges,
            Qt::DirectConnection);
    connect(list, &LiveTakeList::stopActionActivated, this, &Velmora::StopActionHandler);
    connect(list, &LiveTakeList::recordingActionActivated, this, &Velmora::RecordActionHandler);
    connect(list, &LiveTakeList::liveTakeListActionActivated, this,
            &Velmora::LiveTakeListActionHandler);
    connect(list, &LiveTakeList::quitActionActivated, this, &QWidget::close);
    connect(list, &LiveTakeList::transportActionActivated, this, &Velmora::TransportActionHandler);
    connect(this, &Velmora::preferencesUpdated, list, &LiveTakeList::on_preferencesUpdated);

    connect(this, &Velmora::deviceDiscoveredR9K, tv, &TransportView::on_deviceDiscoveredR9K);
    connect(this, &Velmora::deviceDiscoveredR9K, m_mixerView, &MixerView::on_deviceDiscoveredR9K);
    connect(this, &Velmora::deviceDiscoveredR9K, w, &controlModeR9K::on_deviceDiscoveredR9K,
            Qt::DirectConnection);
    connect(this, &Velmora::deviceRemovedR9K, tv, &TransportView::on_deviceRemovedR9K);
    connect(this, &Velmora::deviceRemovedR9K, m_mixerView, &MixerView::on_deviceRemovedR9K);
    connect(this, &Velmora::deviceRemovedR9K, list, &LiveTakeList::on_deviceRemovedR9K);
    connect(this, &Velmora::deviceRemovedR9K, w, &controlModeR9K::on_deviceRemovedR9K,
            Qt::DirectConnection);

    m_portWatcher = new cPortWatcher(std::make_unique<cQtPortEnumerator>(), this);
    connect(m_portWatcher, &cPortWatcher::deviceDiscovered, this, &Velmora::onDeviceDiscovered);
    connect(m_portWatcher, &cPortWatcher::deviceRemoved, this, &Velmora::onDeviceRemoved);

    m_allowControlModeTimer = new QTimer(this);
    m_allowControlModeTimer->setInterval(kAllowControlModeMs);
    connect(m_allowControlModeTimer, &QTimer::timeout, this, &Velmora::on_allowControlModeTimer);

    m_unavailable.remove(m_recordAction);
    m_unavailable.remove(m_liveTakeListAction);
    m_unavailable.remove(m_controlModeAction);
    m_controlModeAction->setEnabled(false);
    connect(m_recordAction, &QAction::triggered, this, &Velmora::RecordActionHandler);
    connect(m_liveTakeListAction, &QAction::triggered, this, &Velmora::LiveTakeListActionHandler);
    connect(m_controlModeAction, &QAction::triggered, this, &Velmora::ControlModeActionHandler);
    connect(m_editModeAction, &QAction::triggered, this, &Velmora::EditModeActionHandler);

    // The start-up scan runs once the window is up (and a test has had its
    // chance to give its own port list).
    QTimer::singleShot(0, this, [this] {
        ConnectR9KActionHandler();
        if (m_device)
            emit deviceDiscoveredR9K();
        m_portWatcher->start();
    });
}

// The worker is stopped before anything it uses goes; its destructor waits
// for the thread without limit after the exit's bounded wait.
void Velmora::destroyControlMode()
{
    if (!m_worker)
        return;
    m_portWatcher->stop();
    if (m_worker->isRunning()) {
        m_worker->requestStop();
        m_worker->wait(kExitWaitMs);
    }
    disconnect(m_worker, nullptr, this, nullptr);
    delete m_worker;
    m_worker = nullptr;
    delete m_sink;
    m_sink = nullptr;
    delete m_device;
    m_device = nullptr;
    deleteRetiredDevices();
}

void Velmora::setPortEnumerator(std::unique_ptr<cPortEnumerator> enumerator)
{
    m_portWatcher->setEnumerator(std::move(enumerator));
}

void Velmora::setRecorderPort(const QString& path)
{
    m_portWatcher->setFixedPort(path);
}

// Only the recorder's USB ids are probed: the probe sends a break and a
// burst of bytes that another serial device should not receive.
void Velmora::scanForR9K()
{
    if (m_device)
        return;
    std::unique_ptr<cLinkDevice> device = cRecorderProbe::scan(m_portWatcher->enumerator());
    if (device)
        qCInfo(lcRecorder) << "recorder found on" << device->portName();
    m_device = device.release();
}

void Velmora::ConnectR9KActionHandler()
{
    if (!m_device)
        scanForR9K();
    if (!m_device)
        return;
    m_worker->setDevice(m_device);
    if (m_mode == ControlMode && !m_worker->isRunning())
        m_worker->start(QThread::InheritPriority);
    enableAction(m_controlModeAction, true);
}

void Velmora::DisconnectR9KActionHandler()
{
    if (!m_device)
        return;
    cLinkDevice* device = m_device;
    m_device = nullptr;
    m_worker->setDevice(nullptr);
    if (m_worker->isRunning()) {
        m_worker->requestStop();
        if (!m_worker->wait(kDisconnectWaitMs)) {
            auto* box = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(),
                                        tr("Unable to close R9K port."), QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
    }
    enableAction(m_controlModeAction, false);
    // Never under a running thread: a device still in use goes when the
    // worker has finished.
    m_retiredDevices.append(device);
    deleteRetiredDevices();
}

void Velmora::deleteRetiredDevices()
{
    if (m_worker && m_worker->isRunning())
        return;
    qDeleteAll(m_retiredDevices);
    m_retiredDevices.clear();
}

void Velmora::onDeviceDiscovered(const cPortEntry& port)
{
    if (m_device)
        return;
    if (!port.hasUsbIds || port.vendorId != cRecorderProbe::kUsbVendor ||
        port.productId != cRecorderProbe::kUsbProduct)
        return;
    BusyCursor busy;
    cRecorderProbe::Outcome outcome;
    std::unique_ptr<cLinkDevice> device = cRecorderProbe::probePort(port.portName, &outcome);
    qCInfo(lcRecorder).noquote() << cRecorderProbe::describe(outcome, port.portName);
    if (!device)
        return;
    m_device = device.release();
    delete m_unpluggedBox;
    ConnectR9KActionHandler();
    emit deviceDiscoveredR9K();
}

void Velmora::onDeviceRemoved(const cPortEntry& port)
{
    if (!m_device || m_device->portName() != port.portName)
        return;
    BusyCursor busy;
    recorderGone();
}

void Velmora::recorderGone()
{
    qCInfo(lcRecorder) << "recorder removed";
    DisconnectR9KActionHandler();
    emit deviceRemovedR9K();
    if (m_mode != ControlMode)
        return;
    delete m_unpluggedBox;
    m_unpluggedBox = new QMessageBox(QMessageBox::Information, tr("Velmora: R9K Unplugged"),
                                     tr("Click OK to go to EDIT mode or reconnect the R9K"),
                                     QMessageBox::Ok, this);
    m_unpluggedBox->setObjectName(QStringLiteral("R9KUnplugged"));
    m_unpluggedBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_unpluggedBox, &QMessageBox::accepted, this, &Velmora::on_msgBoxAccepted);
    m_unpluggedBox->open();
}

void Velmora::on_msgBoxAccepted()
{
    if (m_mode == ControlMode)
        m_editModeAction->trigger();
}

// A poll pass failed. A port that has vanished is an unplugged recorder;
// anything else (a lost or damaged reply) only pauses the polling.
void Velmora::on_cLinkError()
{
    if (!m_device)
        return;
    if (!QFileInfo::exists(m_device->portName())) {
        recorderGone();
        return;
    }
    QTimer::singleShot(kPollRestartMs, this, [this] {
        if (m_device && m_mode == ControlMode && !m_worker->isRunning())
            m_worker->start(QThread::InheritPriority);
    });
}

void Velmora::ControlModeActionHandler()
{
    if (m_mode == ControlMode)
        return;
    if (m_transport && m_transport->isPlaying())
        m_transport->on_Stop_clicked();
    m_allowControlModeTimer->start();
}

void Velmora::on_allowControlModeTimer()
{
    if (m_mode != EditMode || (m_transport && m_transport->isPlaying()))
        return;
    m_allowControlModeTimer->stop();
    // The recorder may have gone while playback was stopping.
    if (!m_device) {
        m_editModeAction->setChecked(true);
        return;
    }
    enterControlMode();
}

void Velmora::EditModeActionHandler()
{
    m_allowControlModeTimer->stop();
    enterEditMode(m_mode == ControlMode);
}

void Velmora::enterControlMode()
{
    if (m_mode == EditMode)
        saveModeLayout(EditMode);
    hideEditToolWindows();
    m_mode = ControlMode;
    m_stack->setCurrentWidget(m_mixerView);
    m_stack->removeWidget(m_editor);
    m_editor->hide();
    setMinimumSize(0, 0);
    adjustMenuActions();
    m_controlModeAction->setChecked(true);
    m_worker->setMixerView(true);
    m_mixerView->clearMeterValues();
    ConnectR9KActionHandler();
    loadModeLayout(ControlMode);
}

void Velmora::enterEditMode(bool save)
{
    const bool leavingControl = m_mode == ControlMode;
    if (leavingControl && save)
        saveModeLayout(ControlMode);
    if (leavingControl) {
        if (m_transportViewDock->isVisible())
            m_transportViewDock->hide();
        m_liveTakeList->hide();
        m_stack->insertWidget(0, m_editor);
    }
    m_stack->setCurrentWidget(m_editor);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_mode = EditMode;
    adjustMenuActions();
    m_editModeAction->setChecked(true);
    m_worker->requestStop();
    m_worker->wait();
    m_worker->setMixerView(false);
    deleteRetiredDevices();
    loadModeLayout(EditMode);
    if (leavingControl)
        showEditToolWindows();
}

void Velmora::startInControlMode()
{
    if (!m_device) {
        qCWarning(lcRecorder) << "no recorder: staying in edit mode";
        return;
    }
    enterControlMode();
    showTransportView();
    m_liveTakeList->show();
}

// Docked at the bottom at its initial height, at most a third of the window.
void Velmora::showTransportView()
{
    const QSize before = size();
    m_transportViewDock->show();
    resizeDocks({m_transportViewDock}, {qMin(406, height() / 3)}, Qt::Vertical);
    // Showing a dock must not grow the window past the screen.
    QTimer::singleShot(0, this, [this, before] {
        if (height() > before.height())
            resize(before);
    });
}

void Velmora::RecordActionHandler()
{
    if (m_mode == ControlMode)
        m_transportView->on_Record_clicked();
}

void Velmora::LiveTakeListActionHandler()
{
    if (m_mode != ControlMode)
        return;
    if (m_liveTakeList->isHidden()) {
        m_liveTakeList->show();
    } else if (m_liveTakeList->isMinimized()) {
        m_liveTakeList->showNormal();
    } else {
        m_liveTakeList->hide();
    }
}
