// The control-mode windows against r9k-sim on a pseudo-terminal, wired to a
// real worker as the main window wires them: the live take list, the
// recorder transport view and the recorder meter page. The retry and
// bounding rules of the take list are also driven by answers made up here.

#include "LiveTakeList.h"
#include "Meter.h"
#include "MixerView.h"
#include "SimProcess.h"
#include "TransportView.h"
#include "cLinkLiveTakeSink.h"
#include "cRecorderProbe.h"
#include "controlModeR9K.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>


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
    ~Rig()
    {
        if (worker && worker->isRunning()) {
            worker->requestStop();
            worker->wait();
        }
    }

    // The list filled: every column's file name present and no update running.
    bool filled(int columns) const
    {
        if (list->table()->columnCount() != columns || !list->statusText().isEmpty())
            return false;
        for (int c = 0; c < columns; ++c)
            if (!list->table()->item(0, c) || list->table()->item(0, c)->text().isEmpty())
                return false;
        return true;
    }

    QString readParam(quint32 take, int id)
    {
        uchar value[cLinkDevice::kMaxPayload] = {};
        int length = 0;
        if (device->GetTakeParam(take, uchar(id), value, length) != cLinkSerial::kOk)
            return QStringLiteral("<failed>");
        if (id == 4 || id == 5)
            return QString::number(value[0]);
        return QString::fromLatin1(reinterpret_cast<const char*>(value));
    }

    SimProcess sim;
    std::unique_ptr<cLinkDevice> device;
    std::unique_ptr<controlModeR9K> worker;
    std::unique_ptr<LiveTakeList> list;
    std::unique_ptr<cLinkLiveTakeSink> sink;
};

QStringList headerTitles(const QTableWidget* table)
{
    QStringList titles;
    for (int c = 0; c < table->columnCount(); ++c)
        titles << table->horizontalHeaderItem(c)->text();
    return titles;
}

CLINK::cLinkAck answer(int command, int status)
{
    CLINK::cLinkAck ack;
    ack.command = command;
    ack.status = status;
    return ack;
}

QMessageBox* openBox(const QWidget* parent, const char* name)
{
    for (auto* box : parent->findChildren<QMessageBox*>(QLatin1String(name)))
        if (box->isVisible())
            return box;
    return nullptr;
}
} // namespace

class TestControlWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void takeListShowsTheRecordersTakes_data();
    void takeListShowsTheRecordersTakes();
    void editReachesTheRecorder_data();
    void editReachesTheRecorder();
    void falseTakeRemovesTheCurrentTake();
    void recorderFaultsEndInAFilledListOrAMessage_data();
    void recorderFaultsEndInAFilledListOrAMessage();
    void busyWriteIsResentWithoutNesting();
    void busyReadsOfOneUpdateRereadOnce();
    void untrustedAnswersAreBounded_data();
    void untrustedAnswersAreBounded();
    void transportViewFollowsTheRecorder();
    void transportModeSetsTheBackground_data();
    void transportModeSetsTheBackground();
    void metersMoveWithTheRecorder();
    void meterSettingsFromTheRecorder_data();
    void meterSettingsFromTheRecorder();

private:
    QTemporaryDir m_settingsDir;
};

void TestControlWidgets::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlan"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
}

void TestControlWidgets::cleanup()
{
    QSettings().remove(QStringLiteral("Preferences"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestControlWidgets::takeListShowsTheRecordersTakes_data()
{
    QTest::addColumn<int>("takes");
    QTest::addColumn<int>("preference");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("currentFile");
    const QStringList three = {"NEXT", "CURRENT", "PREVIOUS"};
    QTest::newRow("three shown") << 4 << 0 << three << "12A-T04.WAV";
    // Three recorded takes and the next one: four columns.
    QTest::newRow("last 10, 4 on the recorder")
        << 3 << 2 << (three + QStringList{"PREV - 1"}) << "12A-T03.WAV";
    QTest::newRow("last 10, 12 on the recorder")
        << 12 << 2
        << (three + QStringList{"PREV - 1", "PREV - 2", "PREV - 3", "PREV - 4", "PREV - 5",
                                "PREV - 6", "PREV - 7"})
        << "12A-T12.WAV";
    QTest::newRow("unchecked preference") << 12 << 1 << three << "12A-T12.WAV";
}

void TestControlWidgets::takeListShowsTheRecordersTakes()
{
    QFETCH(int, takes);
    QFETCH(int, preference);
    QFETCH(QStringList, titles);
    QFETCH(QString, currentFile);
    QSettings().setValue(QStringLiteral("Preferences/showControlModeAllTakes"), preference);
    Rig rig({"--takes", QString::number(takes)});
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    rig.list->show();
    QTRY_VERIFY_WITH_TIMEOUT(rig.filled(int(titles.size())), kWaitMs);
    QTableWidget* t = rig.list->table();
    QCOMPARE(headerTitles(t), titles);
    QCOMPARE(t->item(0, 1)->text(), currentFile);
    QCOMPARE(t->item(2, 1)->text(), QStringLiteral("12A"));
    QVERIFY(!t->item(1, 1)->text().isEmpty());
    // The next take has no start timecode and shows no circle flag.
    QVERIFY(t->item(1, 0)->text().isEmpty());
    QVERIFY(!t->item(5, 0)->data(Qt::CheckStateRole).isValid());
    QCOMPARE(t->item(5, 1)->checkState(), Qt::Unchecked);
    QVERIFY(t->item(2, 1)->flags() & Qt::ItemIsEditable);
    QVERIFY(!(t->item(0, 1)->flags() & Qt::ItemIsEditable));
}

void TestControlWidgets::editReachesTheRecorder_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("value");
    QTest::newRow("scene") << 2 << 2 << "14B";
    QTest::newRow("take") << 3 << 1 << "27";
    QTest::newRow("notes") << 4 << 3 << "plane overhead";
    QTest::newRow("circle") << 5 << 4 << "1";
}

void TestControlWidgets::editReachesTheRecorder()
{
    QFETCH(int, row);
    QFETCH(int, id);
    QFETCH(QString, value);
    Rig rig{QStringList()};
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    rig.list->show();
    QTRY_VERIFY_WITH_TIMEOUT(rig.filled(3), kWaitMs);
    const quint32 current = rig.list->takeIds().at(1);
    QTableWidgetItem* item = rig.list->table()->item(row, 1);
    if (id == 4)
        item->setCheckState(Qt::Checked);
    else
        item->setText(value);
    QTRY_VERIFY_WITH_TIMEOUT(rig.list->statusText().isEmpty(), kWaitMs);
    QCOMPARE(rig.readParam(current, id), value);
}

void TestControlWidgets::falseTakeRemovesTheCurrentTake()
{
    Rig rig{QStringList()};
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    rig.list->show();
    QTRY_VERIFY_WITH_TIMEOUT(rig.filled(3), kWaitMs);
    const quint32 current = rig.list->takeIds().at(1);
    QVERIFY(!rig.list->falseButton()->isEnabled());
    rig.list->table()->setCurrentCell(2, 1);
    QVERIFY(rig.list->falseButton()->isEnabled());
    rig.list->falseButton()->click();
    QMessageBox* box = openBox(rig.list.get(), "falseTakeQuestion");
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("OK to Delete Current Take?"));
    box->button(QMessageBox::Ok)->click();
    QList<uint> ids;
    QCOMPARE(rig.device->GetTakeList(1, 10, ids), int(cLinkSerial::kOk));
    QVERIFY(!ids.contains(current));
    // The change poll rereads the list without the removed take.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.list->takeIds().contains(current) && rig.filled(3), kWaitMs);
}

// Every fault of the line or the recorder ends with a filled list (time-outs
// and damaged replies are skipped and the list is read again on the next
// change) or the recorder's message; never a hang.
void TestControlWidgets::recorderFaultsEndInAFilledListOrAMessage_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("busy") << QStringList{"--busy-every", "4"} << QString();
    QTest::newRow("garbage") << QStringList{"--garbage"} << QString();
    QTest::newRow("recorder error")
        << QStringList{"--error-every", "5"} << "Simulated recorder error";
    QTest::newRow("drops") << QStringList{"--drop-every", "9"} << QString();
    QTest::newRow("corruption") << QStringList{"--corrupt-every", "7"} << QString();
}

void TestControlWidgets::recorderFaultsEndInAFilledListOrAMessage()
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

// A recorder that stays busy: each failed write is sent again from the event
// loop, never from inside the failure's handling, up to the limit.
void TestControlWidgets::busyWriteIsResentWithoutNesting()
{
    LiveTakeList list;
    QList<uint> ids{501, 502, 503};
    CLINK::cLinkAck takes = answer(CLINK::cLinkAck::kTakeList, 0);
    takes.count = 3;
    for (int i = 0; i < 3; ++i)
        takes.setWord(i, ids.at(i));
    list.on_cLinkAck(&takes);
    for (int id : {0, 1, 2, 3, 4, 6}) {
        CLINK::cLinkAck param = answer(CLINK::cLinkAck::kTakeParamRead, 0);
        param.setWord(0, 502);
        param.setWord(1, quint32(id));
        param.setValueText("7");
        list.on_cLinkAck(&param);
    }
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
void TestControlWidgets::busyReadsOfOneUpdateRereadOnce()
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

void TestControlWidgets::untrustedAnswersAreBounded_data()
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

void TestControlWidgets::untrustedAnswersAreBounded()
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

void TestControlWidgets::transportViewFollowsTheRecorder()
{
    SimProcess sim({"--sample-rate", "4", "--bit-depth", "0", "--frame-rate", "2"});
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get(), nullptr);
    TransportView view;
    connect(&worker, &controlModeR9K::timecodeUpdate, &view, &TransportView::on_timecodeUpdate);
    connect(&worker, &controlModeR9K::fileTimeUpdate, &view, &TransportView::on_fileTimeUpdate);
    connect(&worker, &controlModeR9K::sampleRateUpdate, &view, &TransportView::on_sampleRateUpdate);
    connect(&worker, &controlModeR9K::bitDepthUpdate, &view, &TransportView::on_bitDepthUpdate);
    connect(&worker, &controlModeR9K::frameRateUpdate, &view, &TransportView::on_frameRateUpdate);
    connect(&worker, &controlModeR9K::transportModeChange, &view,
            &TransportView::on_transportModeChange);
    connect(&view, &TransportView::transportKeyPressed, &worker,
            &controlModeR9K::on_transportKeyPressed, Qt::DirectConnection);
    connect(&view, &TransportView::transportViewActive, &worker,
            &controlModeR9K::on_transportViewActive, Qt::DirectConnection);
    view.show();
    QVERIFY(worker.transportViewActive());
    worker.start();
    QTRY_VERIFY_WITH_TIMEOUT(view.timecodeText() != QStringLiteral("00:00:00:00"), kWaitMs);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$"))
                .match(view.timecodeText())
                .hasMatch());
    QTRY_COMPARE_WITH_TIMEOUT(view.infoText(),
                              QStringLiteral("Bit Depth: 24      Sample Rate: 48k"), kWaitMs);
    QCOMPARE(view.frameRateText(), QStringLiteral("25 ND"));
    QVERIFY(!view.recordingShown());
    view.recordButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(view.recordingShown(), kWaitMs);
    view.stopButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!view.recordingShown(), kWaitMs);
    view.hide();
    QVERIFY(!worker.transportViewActive());
    worker.requestStop();
    QVERIFY(worker.wait(kWaitMs));
    cLinkDevice::TransportMode mode = cLinkDevice::kRecord;
    QCOMPARE(device->GetTransport(&mode), int(cLinkSerial::kOk));
    QCOMPARE(int(mode), int(cLinkDevice::kStop));
    view.on_deviceRemovedR9K();
    QCOMPARE(view.timecodeText(), QStringLiteral("00:00:00:00"));
    QVERIFY(view.infoText().isEmpty());
    QVERIFY(!view.isEnabled());
}

void TestControlWidgets::transportModeSetsTheBackground_data()
{
    QTest::addColumn<QList<int>>("modes");
    QTest::addColumn<bool>("red");
    QTest::newRow("record") << QList<int>{2} << true;
    QTest::newRow("record then stop") << QList<int>{2, 0} << false;
    QTest::newRow("record then play") << QList<int>{2, 1} << false;
    QTest::newRow("record then unknown mode") << QList<int>{2, 7} << true;
    QTest::newRow("unknown mode alone") << QList<int>{9} << false;
}

void TestControlWidgets::transportModeSetsTheBackground()
{
    QFETCH(QList<int>, modes);
    QFETCH(bool, red);
    TransportView view;
    for (int m : modes)
        view.on_transportModeChange(uchar(m));
    QCOMPARE(view.recordingShown(), red);
}

void TestControlWidgets::metersMoveWithTheRecorder()
{
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get(), nullptr);
    MixerView view(nullptr, 12);
    connect(&worker, &controlModeR9K::meterUpdate, &view, &MixerView::on_meterUpdate);
    view.resize(700, 300);
    view.show();
    QCOMPARE(view.channelCount(), 12);
    worker.setMixerView(true);
    worker.start();
    // L moves; X1 stays silent.
    QTRY_VERIFY_WITH_TIMEOUT(view.meter(0)->mainHeight() > view.meter(10)->mainHeight(), kWaitMs);
    worker.requestStop();
    QVERIFY(worker.wait(kWaitMs));
    view.on_deviceRemovedR9K();
    QVERIFY(!view.timerRunning());
    QCOMPARE(view.meterBytes(), QByteArray(24, char(40)));
}

void TestControlWidgets::meterSettingsFromTheRecorder_data()
{
    QTest::addColumn<int>("ballistics");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<int>("holdTicks");
    QTest::newRow("vu only") << 0 << 1 << 0 << 10;
    QTest::newRow("peak only") << 1 << 2 << 2000 << 50;
    QTest::newRow("peak and vu") << 2 << 3 << 500 << 20;
    QTest::newRow("unknown keeps the mode") << 9 << 3 << 49 << 10;
}

void TestControlWidgets::meterSettingsFromTheRecorder()
{
    QFETCH(int, ballistics);
    QFETCH(int, mode);
    QFETCH(int, holdMs);
    QFETCH(int, holdTicks);
    MixerView view(nullptr, 12);
    view.on_meterBallisticsUpdate(quint16(ballistics));
    view.on_meterPeakHoldTimeUpdate(quint16(holdMs));
    QCOMPARE(view.meterMode(), mode);
    QCOMPARE(view.holdTicks(), holdTicks);
    // A peak is held for the hold time, then falls one scale step.
    view.on_meterBallisticsUpdate(2);
    QByteArray bytes(24, char(40));
    bytes[1] = 6;
    view.on_meterUpdate(bytes);
    view.updateMeters();
    QCOMPARE(view.peak(0), 6.0f);
    view.on_meterUpdate(QByteArray(24, char(40)));
    for (int i = 1; i < holdTicks; ++i)
        view.updateMeters();
    QCOMPARE(view.peak(0), 6.0f);
    view.updateMeters();
    QCOMPARE(view.peak(0), 7.0f);
}

QTEST_MAIN(TestControlWidgets)
#include "tst_controlwidgets.moc"
