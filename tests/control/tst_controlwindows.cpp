// The control-mode windows against r9k-sim on a pseudo-terminal: the live
// take list wired to a real worker under the simulator's faults, its edit,
// false-take, retry and bounding rules driven by answers made up here; the
// main window finding the recorder on plug (through a made-up port list),
// switching modes, and the plug pulled at awkward moments.

#include "FileListManagement.h"
#include "LiveTakeList.h"
#include "MixerView.h"
#include "SimProcess.h"
#include "TransportView.h"
#include "Velmora.h"
#include "cLinkLiveTakeSink.h"
#include "cPortWatcher.h"
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

// One simulator, the device on it, a worker and the take list wired to it.
struct Rig {
    explicit Rig(const QStringList& options) : sim(options) {}

    bool start()
    {
        if (!sim.start())
            return false;
        device = cRecorderProbe::probePort(sim.path());
        if (!device)
            return false;
        worker = std::make_unique<controlModeR9K>(device.get(), nullptr);
        list = std::make_unique<LiveTakeList>();
        sink = std::make_unique<cLinkLiveTakeSink>(list.get());
        worker->setSink(sink.get());
        auto* w = worker.get();
        QObject::connect(list.get(), &LiveTakeList::getTakeList, w,
                         &controlModeR9K::on_getTakeList);
        QObject::connect(list.get(), &LiveTakeList::getTakeParam, w,
                         &controlModeR9K::on_getTakeParam);
        QObject::connect(list.get(), &LiveTakeList::setTakeParam, w,
                         &controlModeR9K::on_setTakeParam);
        QObject::connect(list.get(), &LiveTakeList::setFalseTake, w,
                         &controlModeR9K::on_setFalseTake);
        QObject::connect(list.get(), &LiveTakeList::getTakeListChanges, w,
                         &controlModeR9K::on_getTakeListChanges);
        return true;
    }
    SimProcess sim;
    std::unique_ptr<cLinkDevice> device;
    std::unique_ptr<controlModeR9K> worker;
    std::unique_ptr<LiveTakeList> list;
    std::unique_ptr<cLinkLiveTakeSink> sink;
};

CLINK::cLinkAck answer(int command, int status)
{
    CLINK::cLinkAck ack;
    ack.command = command;
    ack.status = status;
    return ack;
}

// Takes 501..503 listed, the parameters of 502 (the current take) read.
void fill(LiveTakeList& list)
{
    CLINK::cLinkAck takes = answer(CLINK::cLinkAck::kTakeList, 0);
    takes.count = 3;
    for (int i = 0; i < 3; ++i)
        takes.setWord(i, quint32(501 + i));
    list.on_cLinkAck(&takes);
    for (int id : {0, 1, 2, 3, 4, 6}) {
        CLINK::cLinkAck param = answer(CLINK::cLinkAck::kTakeParamRead, 0);
        param.setWord(0, 502);
        param.setWord(1, quint32(id));
        param.setValueText("7");
        list.on_cLinkAck(&param);
    }
}

QMessageBox* openBox(const QWidget* parent, const char* name)
{
    for (auto* box : parent->findChildren<QMessageBox*>(QLatin1String(name)))
        if (box->isVisible())
            return box;
    return nullptr;
}
// Kills the simulator after afterMs from another thread (the GUI thread waits).
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

class TestControlWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void takeListUnderRecorderFaults_data();
    void takeListUnderRecorderFaults();
    void editSendsTheParameter_data();
    void editSendsTheParameter();
    void falseTakeOnlyForTheCurrentTake();
    void busyWriteIsResentWithoutNesting();
    void busyReadsOfOneUpdateRereadOnce();
    void untrustedAnswersAreBounded_data();
    void untrustedAnswersAreBounded();
    void plugControlModeAndUnplug();
    void unplugAtAnAwkwardMomentEndsInEditMode_data();
    void unplugAtAnAwkwardMomentEndsInEditMode();

private:
    // A window watching m_ports, or recorderPort; its start-up scan has run.
    std::unique_ptr<Velmora> makeWindow(const QString& recorderPort = QString());
    static QAction* action(const Velmora& w, const char* name)
    {
        return w.findChild<QAction*>(QLatin1String(name));
    }
    void enterControlMode(Velmora& w);
    void checkBackInEditModeAndCleared(Velmora& w);

    QTemporaryDir m_settingsDir;
    std::shared_ptr<QList<cPortEntry>> m_ports = std::make_shared<QList<cPortEntry>>();
};

void TestControlWindows::initTestCase()
{
    Q_INIT_RESOURCE(Velmora);
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlan"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
}

void TestControlWindows::cleanup()
{
    m_ports->clear();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// Every fault of the line or the recorder ends with a filled list (time-outs
// and damaged replies are skipped and the list is read again on the next
// change) or the recorder's message; never a hang.
void TestControlWindows::takeListUnderRecorderFaults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("busy") << QStringList{"--busy-every", "4"} << QString();
    QTest::newRow("recorder error")
        << QStringList{"--error-every", "5"} << "Simulated recorder error";
    QTest::newRow("corruption") << QStringList{"--corrupt-every", "7"} << QString();
}

void TestControlWindows::takeListUnderRecorderFaults()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    Rig rig(options);
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    rig.list->show();
    if (!message.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(openBox(rig.list.get(), "liveTakeListMessage"), kWaitMs);
        QCOMPARE(openBox(rig.list.get(), "liveTakeListMessage")->text(), message);
        openBox(rig.list.get(), "liveTakeListMessage")->button(QMessageBox::Ok)->click();
    }
    // A lost reply leaves its cell empty until the next full read; the
    // update itself always ends.
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.list->table()->columnCount() == 3 && rig.list->statusText().isEmpty(), 3 * kWaitMs);
    if (message.isEmpty())
        QVERIFY(!openBox(rig.list.get(), "liveTakeListMessage"));
    rig.list->hide();
    QTRY_VERIFY_WITH_TIMEOUT(rig.list->statusText().isEmpty(), kWaitMs);
}

// Only the fields of the current take are editable; an edit is sent as the
// take's parameter.
void TestControlWindows::editSendsTheParameter_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("value");
    QTest::newRow("scene") << 2 << 2 << "14B";
    QTest::newRow("circle") << 5 << 4 << "1";
}

void TestControlWindows::editSendsTheParameter()
{
    QFETCH(int, row);
    QFETCH(int, id);
    QFETCH(QString, value);
    LiveTakeList list;
    fill(list);
    QSignalSpy sent(&list, &LiveTakeList::setTakeParam);
    QVERIFY(!(list.table()->item(0, 1)->flags() & Qt::ItemIsEditable)); // the file name
    QTableWidgetItem* item = list.table()->item(row, 1);
    if (id == 4) {
        item->setCheckState(Qt::Checked);
    } else {
        QVERIFY(item->flags() & Qt::ItemIsEditable);
        item->setText(value);
    }
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, kWaitMs);
    QCOMPARE(sent.at(0).at(0).toUInt(), 502u);
    QCOMPARE(sent.at(0).at(1).toInt(), id);
    QCOMPARE(sent.at(0).at(2).toString(), value);
    list.on_deviceRemovedR9K();
}

// The false-take button serves the current take only, and not while the
// recorder records (the transport mode counts while the list is shown).
void TestControlWindows::falseTakeOnlyForTheCurrentTake()
{
    LiveTakeList list;
    fill(list);
    list.show();
    list.table()->setCurrentCell(2, 0); // the next take
    QVERIFY(!list.falseButton()->isEnabled());
    list.on_transportModeChange(2);
    list.table()->setCurrentCell(2, 1);
    QVERIFY(!list.falseButton()->isEnabled());
    list.on_transportModeChange(0);
    QVERIFY(list.falseButton()->isEnabled());
    QSignalSpy falseTake(&list, &LiveTakeList::setFalseTake);
    list.falseButton()->click();
    QMessageBox* box = openBox(&list, "falseTakeQuestion");
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("OK to Delete Current Take?"));
    box->button(QMessageBox::Ok)->click();
    QCOMPARE(falseTake.size(), 1);
    QCOMPARE(falseTake.at(0).at(0).toUInt(), 502u);
    list.on_deviceRemovedR9K();
}

// A recorder that stays busy: each failed write is sent again from the event
// loop, never from inside the failure's handling, up to the limit.
void TestControlWindows::busyWriteIsResentWithoutNesting()
{
    LiveTakeList list;
    fill(list);
    int depth = 0;
    int deepest = 0;
    int sent = 0;
    connect(&list, &LiveTakeList::setTakeParam, &list, [&](quint32 take, int id, const QString&) {
        ++depth;
        ++sent;
        deepest = qMax(deepest, depth);
        CLINK::cLinkAck busy = answer(CLINK::cLinkAck::kTakeParamWrite, 0x305);
        busy.setWord(0, take);
        busy.setWord(1, quint32(id));
        list.on_cLinkAck(&busy);
        --depth;
    });
    list.table()->item(3, 1)->setText(QStringLiteral("8"));
    QTRY_VERIFY_WITH_TIMEOUT(openBox(&list, "liveTakeListMessage"), kWaitMs);
    QCOMPARE(openBox(&list, "liveTakeListMessage")->text(),
             QStringLiteral("Unable to perform the action.\n Please restart the application."));
    QCOMPARE(sent, LiveTakeList::kRetryLimit + 1);
    QCOMPARE(deepest, 1);
    QCOMPARE(list.retryCount(), 1);
}

// Every read of one update may come back busy; together they schedule one
// reread, not one each (which would multiply the traffic round after round).
void TestControlWindows::busyReadsOfOneUpdateRereadOnce()
{
    LiveTakeList list;
    QSignalSpy rereads(&list, &LiveTakeList::getTakeList);
    for (int i = 0; i < 6; ++i) {
        CLINK::cLinkAck busy = answer(CLINK::cLinkAck::kTakeParamRead, 0x305);
        list.on_cLinkAck(&busy);
    }
    QCOMPARE(list.retryCount(), 6);
    QTRY_COMPARE_WITH_TIMEOUT(rereads.count(), 1, kWaitMs);
    QTest::qWait(100);
    QCOMPARE(rereads.count(), 1);
    list.on_deviceRemovedR9K();
}

void TestControlWindows::untrustedAnswersAreBounded_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("paramId");
    QTest::addColumn<quint32>("paramTake");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("60000 takes") << 60000 << 0 << 11u << 10 << "F";
    QTest::newRow("negative count") << -5 << 0 << 11u << 0 << "";
    QTest::newRow("parameter id out of range") << 3 << 250 << 11u << 3 << "";
    QTest::newRow("take not listed") << 3 << 0 << 999u << 3 << "";
    QTest::newRow("second flag has no row") << 3 << 5 << 11u << 3 << "";
}

void TestControlWindows::untrustedAnswersAreBounded()
{
    QFETCH(int, count);
    QFETCH(int, paramId);
    QFETCH(quint32, paramTake);
    QFETCH(int, columns);
    QFETCH(QString, fileName);
    LiveTakeList list;
    CLINK::cLinkAck takes = answer(CLINK::cLinkAck::kTakeList, 0);
    takes.count = count;
    for (int i = 0; i < CLINK::cLinkAck::kDataWords; ++i)
        takes.setWord(i, quint32(10 + i));
    list.on_cLinkAck(&takes);
    QCOMPARE(list.table()->columnCount(), columns);
    CLINK::cLinkAck param = answer(CLINK::cLinkAck::kTakeParamRead, 0);
    param.setWord(0, paramTake);
    param.setWord(1, quint32(paramId));
    param.setValueText(QByteArray(300, 'F'));
    list.on_cLinkAck(&param);
    if (columns > 1) {
        const QString shown = list.table()->item(0, 1)->text();
        QCOMPARE(shown.left(1), fileName);
        QVERIFY(shown.size() <= LiveTakeList::kMaxValueChars);
    }
    list.on_deviceRemovedR9K();
    QCOMPARE(list.table()->columnCount(), 0);
}

std::unique_ptr<Velmora> TestControlWindows::makeWindow(const QString& recorderPort)
{
    auto w = std::make_unique<Velmora>();
    w->setPortEnumerator(std::make_unique<FakePorts>(m_ports));
    if (!recorderPort.isEmpty())
        w->setRecorderPort(recorderPort);
    w->show();
    // The start-up scan is queued behind the construction.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return w;
}

void TestControlWindows::enterControlMode(Velmora& w)
{
    QVERIFY(action(w, "actionControlMode")->isEnabled());
    action(w, "actionControlMode")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.mode(), int(Velmora::ControlMode), kWaitMs);
    QCOMPARE(w.findChild<QStackedWidget*>(QStringLiteral("centralStack"))->currentWidget(),
             w.mixerView());
    QVERIFY(w.worker()->isRunning());
}

void TestControlWindows::checkBackInEditModeAndCleared(Velmora& w)
{
    QTRY_VERIFY_WITH_TIMEOUT(openBox(&w, "R9KUnplugged"), kWaitMs);
    QVERIFY(!action(w, "actionControlMode")->isEnabled());
    QCOMPARE(w.transportView()->timecodeText(), QStringLiteral("00:00:00:00"));
    QCOMPARE(w.liveTakeList()->table()->columnCount(), 0);
    QVERIFY(!w.mixerView()->timerRunning());
    openBox(&w, "R9KUnplugged")->button(QMessageBox::Ok)->click();
    QCOMPARE(w.mode(), int(Velmora::EditMode));
    QCOMPARE(w.findChild<QStackedWidget*>(QStringLiteral("centralStack"))->currentWidget(),
             static_cast<QWidget*>(w.editor()));
    QVERIFY(!w.worker()->isRunning());
    QVERIFY(!w.liveTakeList()->isVisible());
    QVERIFY(!w.transportViewDock()->isVisible());
    QVERIFY(!w.recorderPresent());
}

// A recorder plugged in while the window runs is found; control mode runs
// the recorder windows and the Controls menu; back in edit mode, unplugging
// only disables control mode, without a message.
void TestControlWindows::plugControlModeAndUnplug()
{
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto w = makeWindow();
    QVERIFY(!action(*w, "actionControlMode")->isEnabled());
    QSignalSpy discovered(w.get(), &Velmora::deviceDiscoveredR9K);
    QSignalSpy removed(w.get(), &Velmora::deviceRemovedR9K);
    m_ports->append(usbPort(sim.path()));
    w->portWatcher()->poll();
    QCOMPARE(discovered.count(), 1);
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
    m_ports->clear();
    w->portWatcher()->poll();
    QCOMPARE(removed.count(), 1);
    QVERIFY(!action(*w, "actionControlMode")->isEnabled());
    QVERIFY(!openBox(w.get(), "R9KUnplugged"));
    QCOMPARE(w->mode(), int(Velmora::EditMode));
}

// The recorder's terminal vanishes while the GUI thread waits on it (a slow
// take-list read, a slow parameter write) or between polls; the window ends
// up back in edit mode without a crash.
void TestControlWindows::unplugAtAnAwkwardMomentEndsInEditMode_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("during");
    QTest::newRow("while polling") << QStringList() << 0;
    QTest::newRow("during a take-list read") << QStringList{"--delay-ms", "200"} << 1;
    QTest::newRow("during a parameter write") << QStringList{"--slow-write-ms", "5000"} << 2;
}

void TestControlWindows::unplugAtAnAwkwardMomentEndsInEditMode()
{
    QFETCH(QStringList, options);
    QFETCH(int, during);
    SimProcess sim(options);
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto w = makeWindow(sim.path());
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

QTEST_MAIN(TestControlWindows)
#include "tst_controlwindows.moc"
