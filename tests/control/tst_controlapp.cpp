// The main window's control mode against r9k-sim: finding the recorder at
// start-up and on plug (through a made-up port list), the switch between edit
// and control mode, the Controls menu in control mode, and pulling the plug
// at awkward moments.

#include "FileListManagement.h"
#include "LiveTakeList.h"
#include "MixerView.h"
#include "SimProcess.h"
#include "TransportView.h"
#include "Velmora.h"
#include "cPortWatcher.h"
#include "cRecorderProbe.h"
#include "controlModeR9K.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

namespace
{
constexpr int kWaitMs = 15000;

// A port list the test changes while the window watches it.
class FakeEnumerator : public cPortEnumerator
{
public:
    explicit FakeEnumerator(std::shared_ptr<QList<cPortEntry>> list) : m_list(std::move(list)) {}
    QList<cPortEntry> ports() const override { return *m_list; }

private:
    std::shared_ptr<QList<cPortEntry>> m_list;
};

cPortEntry usbPort(const QString& name)
{
    cPortEntry e;
    e.portName = name;
    e.hasUsbIds = true;
    e.vendorId = cRecorderProbe::kUsbVendor;
    e.productId = cRecorderProbe::kUsbProduct;
    return e;
}

// Kills the simulator from another thread after a pause, while the GUI
// thread is blocked in an exchange with it.
class PlugPuller
{
public:
    PlugPuller(qint64 pid, int afterMs)
        : m_thread([pid, afterMs] {
              std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
              ::kill(pid_t(pid), SIGKILL);
          })
    {
    }
    ~PlugPuller() { m_thread.join(); }

private:
    std::thread m_thread;
};
} // namespace

class TestControlApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void plugAndUnplugInEditMode_data();
    void plugAndUnplugInEditMode();
    void controlModeRunsTheRecorderWindows();
    void unplugAtAnAwkwardMomentEndsInEditMode_data();
    void unplugAtAnAwkwardMomentEndsInEditMode();

private:
    // A window watching a made-up port list (or given recorderPort as its
    // recorder's port); the start-up scan has run.
    std::unique_ptr<Velmora> makeWindow(const QList<cPortEntry>& ports,
                                        const QString& recorderPort = QString());
    static QAction* action(const Velmora& w, const char* name)
    {
        return w.findChild<QAction*>(QLatin1String(name));
    }
    static QMessageBox* unpluggedBox(const Velmora& w)
    {
        auto* box = w.findChild<QMessageBox*>(QStringLiteral("R9KUnplugged"));
        return box && box->isVisible() ? box : nullptr;
    }
    void enterControlMode(Velmora& w);
    void checkBackInEditModeAndCleared(Velmora& w);

    QTemporaryDir m_settingsDir;
    std::shared_ptr<QList<cPortEntry>> m_ports = std::make_shared<QList<cPortEntry>>();
};

void TestControlApp::initTestCase()
{
    Q_INIT_RESOURCE(Velmora);
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
}

void TestControlApp::cleanup()
{
    m_ports->clear();
}

std::unique_ptr<Velmora> TestControlApp::makeWindow(const QList<cPortEntry>& ports,
                                                    const QString& recorderPort)
{
    *m_ports = ports;
    auto w = std::make_unique<Velmora>();
    w->setPortEnumerator(std::make_unique<FakeEnumerator>(m_ports));
    if (!recorderPort.isEmpty())
        w->setRecorderPort(recorderPort);
    w->show();
    // The start-up scan is queued behind the construction.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return w;
}

void TestControlApp::enterControlMode(Velmora& w)
{
    QVERIFY(action(w, "actionControlMode")->isEnabled());
    action(w, "actionControlMode")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.mode(), int(Velmora::ControlMode), kWaitMs);
    QCOMPARE(w.findChild<QStackedWidget*>(QStringLiteral("centralStack"))->currentWidget(),
             w.mixerView());
    QVERIFY(w.worker()->isRunning());
}

void TestControlApp::checkBackInEditModeAndCleared(Velmora& w)
{
    QTRY_VERIFY_WITH_TIMEOUT(unpluggedBox(w), kWaitMs);
    QVERIFY(!action(w, "actionControlMode")->isEnabled());
    QCOMPARE(w.transportView()->timecodeText(), QStringLiteral("00:00:00:00"));
    QCOMPARE(w.liveTakeList()->table()->columnCount(), 0);
    QVERIFY(!w.mixerView()->timerRunning());
    unpluggedBox(w)->button(QMessageBox::Ok)->click();
    QCOMPARE(w.mode(), int(Velmora::EditMode));
    QCOMPARE(w.findChild<QStackedWidget*>(QStringLiteral("centralStack"))->currentWidget(),
             static_cast<QWidget*>(w.editor()));
    QVERIFY(!w.worker()->isRunning());
    QVERIFY(!w.liveTakeList()->isVisible());
    QVERIFY(!w.transportViewDock()->isVisible());
    QVERIFY(!w.recorderPresent());
}

// A recorder plugged in while the window runs is probed (2.8 is too old);
// unplugged in edit mode, only control mode is disabled, without a message.
void TestControlApp::plugAndUnplugInEditMode_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("firmware 2.9") << "2.9" << true;
    QTest::newRow("firmware 2.8") << "2.8" << false;
}

void TestControlApp::plugAndUnplugInEditMode()
{
    QFETCH(QString, firmware);
    QFETCH(bool, accepted);
    SimProcess sim({"--firmware", firmware});
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto w = makeWindow({});
    QVERIFY(!action(*w, "actionControlMode")->isEnabled());
    QSignalSpy discovered(w.get(), &Velmora::deviceDiscoveredR9K);
    QSignalSpy removed(w.get(), &Velmora::deviceRemovedR9K);
    m_ports->append(usbPort(sim.path()));
    w->portWatcher()->poll();
    QCOMPARE(w->recorderPresent(), accepted);
    QCOMPARE(action(*w, "actionControlMode")->isEnabled(), accepted);
    QCOMPARE(discovered.count(), accepted ? 1 : 0);
    m_ports->clear();
    w->portWatcher()->poll();
    QCOMPARE(removed.count(), accepted ? 1 : 0);
    QVERIFY(!action(*w, "actionControlMode")->isEnabled());
    QVERIFY(!unpluggedBox(*w));
    QCOMPARE(w->mode(), int(Velmora::EditMode));
}

void TestControlApp::controlModeRunsTheRecorderWindows()
{
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto w = makeWindow({usbPort(sim.path())});
    auto* reports = w->findChild<QDockWidget*>(QStringLiteral("reportmanager"));
    action(*w, "actionReports")->setEnabled(true);
    reports->show();
    enterControlMode(*w);
    QVERIFY(!reports->isVisible());

    action(*w, "actionTransport")->trigger();
    QVERIFY(w->transportViewDock()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(w->transportView()->timecodeText() != QStringLiteral("00:00:00:00"),
                             kWaitMs);
    action(*w, "actionLiveTakeList")->trigger();
    QVERIFY(w->liveTakeList()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(w->liveTakeList()->table()->columnCount(), 3, kWaitMs);

    // The Controls menu serves the recorder in control mode.
    action(*w, "actionRecord")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w->transportView()->recordingShown(), kWaitMs);
    action(*w, "actionStop")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!w->transportView()->recordingShown(), kWaitMs);

    action(*w, "actionEditMode")->trigger();
    QCOMPARE(w->mode(), int(Velmora::EditMode));
    QVERIFY(!w->worker()->isRunning());
    QVERIFY(!w->liveTakeList()->isVisible());
    QVERIFY(!w->transportViewDock()->isVisible());
    QVERIFY(reports->isVisible());
    QVERIFY(action(*w, "actionControlMode")->isEnabled());
}

// The recorder's terminal vanishes while the GUI thread waits on it (a slow
// take-list read, a slow parameter write) or between polls; the window ends
// up back in edit mode without a crash.
void TestControlApp::unplugAtAnAwkwardMomentEndsInEditMode_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("during");
    QTest::newRow("while polling") << QStringList() << 0;
    QTest::newRow("during a take-list read") << QStringList{"--delay-ms", "200"} << 1;
    QTest::newRow("during a parameter write") << QStringList{"--slow-write-ms", "5000"} << 2;
}

void TestControlApp::unplugAtAnAwkwardMomentEndsInEditMode()
{
    QFETCH(QStringList, options);
    QFETCH(int, during);
    SimProcess sim(options);
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto w = makeWindow({}, sim.path());
    enterControlMode(*w);
    std::unique_ptr<PlugPuller> puller;
    if (during == 1)
        puller = std::make_unique<PlugPuller>(sim.pid(), 300);
    action(*w, "actionLiveTakeList")->trigger();
    if (during == 2) {
        QTRY_VERIFY_WITH_TIMEOUT(w->liveTakeList()->table()->columnCount() == 3 &&
                                     w->liveTakeList()->statusText().isEmpty(),
                                 kWaitMs);
        puller = std::make_unique<PlugPuller>(sim.pid(), 300);
        w->liveTakeList()->table()->item(4, 1)->setText(QStringLiteral("unplugged"));
    }
    if (during == 0)
        puller = std::make_unique<PlugPuller>(sim.pid(), 100);
    checkBackInEditModeAndCleared(*w);
}

QTEST_MAIN(TestControlApp)
#include "tst_controlapp.moc"
