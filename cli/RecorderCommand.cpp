// velmora-cli recorder: talks to an R9K recorder over its serial link with the
// same recognition, command layer and control-mode worker as the application.

#include "CliCommands.h"

#include "IAppSink.h"
#include "cLinkDevice.h"
#include "cPortEnumerator.h"
#include "cRecorderProbe.h"
#include "constantsR9K.h"
#include "controlModeR9K.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <memory>

namespace
{

const char kUsage[] =
    "usage: velmora-cli recorder [--port PORT] COMMAND [ARGS]\n"
    "  PORT is a device name (ttyUSB0) or a path (/dev/pts/3); without it the USB\n"
    "  serial ports are searched for a recorder.\n"
    "commands:\n"
    "  status                      device kind, firmware, transport, timecode and rates\n"
    "  watch [--count N] [--interval MS]\n"
    "                              print transport, timecode and meters until interrupted\n"
    "  record | stop | play        press a transport key\n"
    "  takes [--count N]           the take list (default 10) with each take's parameters\n"
    "  set-take ID FIELD VALUE     FIELD: scene, take, notes or circled (yes/no)\n"
    "  false-take ID               mark the take ID (the last recorded one) false\n";

// Busy answers (recorder error 3) of take-list requests are retried this often.
constexpr int kBusyRetries = 5;
constexpr int kBusyPauseMs = 100;

volatile std::sig_atomic_t gInterrupted = 0;
void onInterrupt(int)
{
    gInterrupted = 1;
}

// Keeps a copy of the last record the worker delivered.
class LastAckSink : public IAppSink
{
public:
    void appNotifyCallBack(int, int) override {}
    void appAckCallBack(CLINK::IAppDataRx* record) override
    {
        if (auto* ack = dynamic_cast<CLINK::cLinkAck*>(record)) {
            m_ack = *ack;
            m_received = true;
        }
    }
    void reset() { m_received = false; }
    bool received() const { return m_received; }
    const CLINK::cLinkAck& ack() const { return m_ack; }

private:
    CLINK::cLinkAck m_ack;
    bool m_received = false;
};

class RecorderCli
{
public:
    explicit RecorderCli(CliContext& ctx) : m_ctx(ctx) {}
    int run();

private:
    bool connectRecorder();
    int fail(const QString& what, int result, const QString& text = QString());
    int usageError(const QString& message);
    // Runs one take-list request through the worker, retrying busy answers.
    template <typename Request> bool request(Request&& send, CLINK::cLinkAck* ack);

    int status();
    int transport(cLinkDevice::TransportMode mode);
    // Options of takes and watch; false after reporting a usage error.
    bool parseListOptions(const QString& command, const QStringList& args);
    int takes();
    int setTake(const QStringList& args);
    int falseTake(const QStringList& args);
    int watch();

    CliContext& m_ctx;
    QString m_port;
    std::unique_ptr<cLinkDevice> m_device;
    cRecorderProbe::Outcome m_outcome;
    int m_count = -1;
    int m_intervalMs = 250;
};

bool RecorderCli::parseListOptions(const QString& command, const QStringList& args)
{
    for (int i = 0; i < args.size(); i += 2) {
        bool ok = false;
        const int value = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
        if (ok && args[i] == QLatin1String("--count") && value > 0 &&
            (command == QLatin1String("watch") || value <= CLINK::cLinkAck::kMaxTakes))
            m_count = value;
        else if (ok && command == QLatin1String("watch") &&
                 args[i] == QLatin1String("--interval") && value >= 20)
            m_intervalMs = value;
        else
            return false;
    }
    return true;
}

int RecorderCli::usageError(const QString& message)
{
    m_ctx.err << "velmora-cli recorder: " << message << "\n" << kUsage;
    return 2;
}

int RecorderCli::fail(const QString& what, int result, const QString& text)
{
    m_ctx.err << "velmora-cli recorder: " << what << ": " << cLinkSerial::resultText(result, text)
              << "\n";
    return 1;
}

bool RecorderCli::connectRecorder()
{
    if (m_port.isEmpty()) {
        cQtPortEnumerator enumerator;
        m_device = cRecorderProbe::scan(enumerator);
        if (!m_device) {
            m_ctx.err << "velmora-cli recorder: no recorder found on the USB serial ports "
                         "(looked for 10c4:ea60); name one with --port\n";
            return false;
        }
        m_port = m_device->portName();
        m_outcome = cRecorderProbe::probe(*m_device);
        return m_outcome.status == cRecorderProbe::Status::Accepted;
    }
    m_device = cRecorderProbe::probePort(m_port, &m_outcome);
    if (!m_device) {
        m_ctx.err << "velmora-cli recorder: " << cRecorderProbe::describe(m_outcome, m_port)
                  << "\n";
        return false;
    }
    return true;
}

int RecorderCli::run()
{
    QStringList args = m_ctx.args;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--port")) {
            if (args.isEmpty())
                return usageError(QStringLiteral("--port needs a port name"));
            m_port = args.takeFirst();
        } else if (opt.startsWith(QLatin1String("--port="))) {
            m_port = opt.mid(7);
        } else if (opt == QLatin1String("--help")) {
            m_ctx.out << kUsage;
            return 0;
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(opt));
        }
    }
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    static const QStringList known = {"status", "watch", "record",   "stop",
                                      "play",   "takes", "set-take", "false-take"};
    if (!known.contains(command))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    if ((command == "set-take" && args.size() != 3) ||
        (command == "false-take" && args.size() != 1) ||
        ((command == "status" || command == "record" || command == "stop" || command == "play") &&
         !args.isEmpty()))
        return usageError(QStringLiteral("wrong arguments for %1").arg(command));

    if ((command == "takes" || command == "watch") && !parseListOptions(command, args))
        return usageError(command == "takes"
                              ? QStringLiteral("takes: --count needs a number from 1 to %1")
                                    .arg(CLINK::cLinkAck::kMaxTakes)
                              : QStringLiteral("watch: options are --count N and --interval MS "
                                               "(at least 20)"));
    if (!connectRecorder())
        return 1;
    if (command == "status")
        return status();
    if (command == "record")
        return transport(cLinkDevice::kRecord);
    if (command == "stop")
        return transport(cLinkDevice::kStop);
    if (command == "play")
        return transport(cLinkDevice::kPlay);
    if (command == "takes")
        return takes();
    if (command == "set-take")
        return setTake(args);
    if (command == "false-take")
        return falseTake(args);
    return watch();
}

int RecorderCli::status()
{
    using namespace constantsR9K;
    cLinkDevice::TransportMode mode = cLinkDevice::kStop;
    uint timecode = 0;
    uint fileTime = 0;
    ushort sampleRate = 0;
    ushort bitDepth = 0;
    ushort frameRate = 0;
    int rc = m_device->GetTransport(&mode);
    if (rc != cLinkSerial::kOk)
        return fail(QStringLiteral("reading the transport state"), rc);
    rc = m_device->GetTimeCode(&timecode, nullptr, &fileTime);
    if (rc != cLinkSerial::kOk)
        return fail(QStringLiteral("reading the timecode"), rc);
    if ((rc = m_device->UserGet(cLinkDevice::kUserSampleRate, &sampleRate)) != cLinkSerial::kOk ||
        (rc = m_device->UserGet(cLinkDevice::kUserBitDepth, &bitDepth)) != cLinkSerial::kOk ||
        (rc = m_device->UserGet(cLinkDevice::kUserFrameRate, &frameRate)) != cLinkSerial::kOk)
        return fail(QStringLiteral("reading the settings"), rc);
    m_ctx.out << "port: " << m_port << "\n"
              << "device kind: " << m_outcome.deviceKind << "\n"
              << "firmware: " << m_outcome.firmware.major << "." << m_outcome.firmware.minor << "\n"
              << "transport: " << transportText(mode) << "\n"
              << "timecode: " << timecodeText(timecode) << "\n"
              << "file time: " << fileTimeText(fileTime) << "\n"
              << "sample rate: " << textFor(sampleRateText, sampleRate) << "\n"
              << "bit depth: " << textFor(bitDepthText, bitDepth) << "\n"
              << "frame rate: " << textFor(frameRateText, frameRate) << "\n";
    return 0;
}

int RecorderCli::transport(cLinkDevice::TransportMode mode)
{
    int rc = m_device->SetTransport(mode);
    if (rc != cLinkSerial::kOk)
        return fail(QStringLiteral("sending the %1 key").arg(constantsR9K::transportText(mode)),
                    rc);
    cLinkDevice::TransportMode now = cLinkDevice::kStop;
    rc = m_device->GetTransport(&now);
    if (rc != cLinkSerial::kOk)
        return fail(QStringLiteral("reading the transport state"), rc);
    m_ctx.out << "transport: " << constantsR9K::transportText(now) << "\n";
    if (now != mode) {
        m_ctx.err << "velmora-cli recorder: the recorder stayed in "
                  << constantsR9K::transportText(now) << "\n";
        return 1;
    }
    return 0;
}

template <typename Request> bool RecorderCli::request(Request&& send, CLINK::cLinkAck* ack)
{
    LastAckSink sink;
    controlModeR9K worker(m_device.get());
    worker.setSink(&sink);
    for (int attempt = 0;; ++attempt) {
        sink.reset();
        send(worker);
        if (!sink.received())
            return false;
        *ack = sink.ack();
        if (ack->code() != cLinkSerial::kRecorderError || ack->recorderError() != 3 ||
            attempt == kBusyRetries)
            return true;
        QThread::msleep(kBusyPauseMs);
    }
}

int RecorderCli::takes()
{
    const int count = m_count > 0 ? m_count : 10;
    CLINK::cLinkAck ack;
    request([count](controlModeR9K& w) { w.on_getTakeList(1, count); }, &ack);
    if (ack.status != cLinkSerial::kOk)
        return fail(QStringLiteral("reading the take list"), ack.status,
                    QString::fromStdString(ack.text));
    const QList<quint32> ids = ack.takeIds();
    static const int params[] = {cLinkDevice::kTakeFileName, cLinkDevice::kTakeStartTimecode,
                                 cLinkDevice::kTakeScene,    cLinkDevice::kTakeTake,
                                 cLinkDevice::kTakeCircled,  cLinkDevice::kTakeNotes};
    m_ctx.out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                     .arg(QStringLiteral("POSITION"), -10)
                     .arg(QStringLiteral("ID"), 10)
                     .arg(QStringLiteral("FILE NAME"), -16)
                     .arg(QStringLiteral("START TC"), -11)
                     .arg(QStringLiteral("SCENE"), -9)
                     .arg(QStringLiteral("TAKE"), -5)
                     .arg(QStringLiteral("CIRCLE"), -6)
                     .arg(QStringLiteral("NOTES"));
    for (int column = 0; column < ids.size(); ++column) {
        QStringList values;
        for (const int id : params) {
            CLINK::cLinkAck param;
            const quint32 take = ids[column];
            request([take, id](controlModeR9K& w) { w.on_getTakeParam(take, id); }, &param);
            if (param.status != cLinkSerial::kOk)
                return fail(QStringLiteral("reading take %1").arg(take), param.status,
                            QString::fromStdString(param.text));
            values << QString::fromLatin1(param.valueText());
        }
        const QString position = column == 0   ? QStringLiteral("NEXT")
                                 : column == 1 ? QStringLiteral("CURRENT")
                                 : column == 2 ? QStringLiteral("PREVIOUS")
                                               : QStringLiteral("PREV - %1").arg(column - 2);
        m_ctx.out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                         .arg(position, -10)
                         .arg(ids[column], 10)
                         .arg(values[0], -16)
                         .arg(column == 0 ? QString() : values[1], -11)
                         .arg(values[2], -9)
                         .arg(values[3], -5)
                         .arg(values[4] == QLatin1String("1") ? QStringLiteral("yes")
                                                              : QStringLiteral("no"),
                              -6)
                         .arg(values[5]);
    }
    return 0;
}

int RecorderCli::setTake(const QStringList& args)
{
    bool ok = false;
    const quint32 take = args[0].toUInt(&ok);
    if (!ok)
        return usageError(QStringLiteral("set-take: \"%1\" is not a take id").arg(args[0]));
    const QString field = args[1].toLower();
    QString value = args[2];
    int id = -1;
    if (field == QLatin1String("scene"))
        id = cLinkDevice::kTakeScene;
    else if (field == QLatin1String("take"))
        id = cLinkDevice::kTakeTake;
    else if (field == QLatin1String("notes"))
        id = cLinkDevice::kTakeNotes;
    else if (field == QLatin1String("circled") || field == QLatin1String("circle"))
        id = cLinkDevice::kTakeCircled;
    else
        return usageError(QStringLiteral("set-take: FIELD is scene, take, notes or circled"));
    if (id == cLinkDevice::kTakeCircled) {
        const QString v = value.toLower();
        if (v == "yes" || v == "1" || v == "true" || v == "on")
            value = QStringLiteral("1");
        else if (v == "no" || v == "0" || v == "false" || v == "off")
            value = QStringLiteral("0");
        else
            return usageError(QStringLiteral("set-take: circled is yes or no"));
    } else if (!cLinkDevice::makeTextValue(value, nullptr)) {
        return usageError(QStringLiteral("set-take: the value must be plain ASCII text of at "
                                         "most %1 characters")
                              .arg(cLinkDevice::kMaxTextChars));
    }
    CLINK::cLinkAck ack;
    request([&](controlModeR9K& w) { w.on_setTakeParam(take, id, value); }, &ack);
    if (ack.status != cLinkSerial::kOk)
        return fail(QStringLiteral("setting the %1 of take %2").arg(field).arg(take), ack.status,
                    QString::fromStdString(ack.text));
    m_ctx.out << "take " << take << ": " << field << " set to \"" << args[2] << "\"\n";
    return 0;
}

int RecorderCli::falseTake(const QStringList& args)
{
    bool ok = false;
    const quint32 take = args[0].toUInt(&ok);
    if (!ok)
        return usageError(QStringLiteral("false-take: \"%1\" is not a take id").arg(args[0]));
    CLINK::cLinkAck ack;
    request([take](controlModeR9K& w) { w.on_setFalseTake(take); }, &ack);
    if (ack.status != cLinkSerial::kOk)
        return fail(QStringLiteral("marking take %1 false").arg(take), ack.status,
                    QString::fromStdString(ack.text));
    m_ctx.out << "take " << take << " marked false\n";
    return 0;
}

int RecorderCli::watch()
{
    const int count = m_count;
    const int intervalMs = m_intervalMs;
    controlModeR9K worker(m_device.get());
    QObject receiver;
    QString mode = QStringLiteral("-");
    QString timecode = QStringLiteral("--:--:--:--");
    QString fileTime = QStringLiteral("--:--:--.--");
    QByteArray levels;
    int exitCode = 0;
    int lines = 0;
    QEventLoop loop;

    QObject::connect(&worker, &controlModeR9K::transportModeChange, &receiver,
                     [&](uchar m) { mode = constantsR9K::transportText(m); });
    QObject::connect(&worker, &controlModeR9K::timecodeUpdate, &receiver,
                     [&](const QString& t) { timecode = t; });
    QObject::connect(&worker, &controlModeR9K::fileTimeUpdate, &receiver,
                     [&](const QString& t) { fileTime = t; });
    QObject::connect(&worker, &controlModeR9K::meterUpdate, &receiver,
                     [&](QByteArray l) { levels = l; });
    QObject::connect(&worker, &controlModeR9K::cLinkError, &receiver, [&]() {
        fail(QStringLiteral("polling the recorder"), worker.lastPollResult());
        exitCode = 1;
        loop.quit();
    });

    QTimer printer;
    printer.setInterval(intervalMs);
    QObject::connect(&printer, &QTimer::timeout, &receiver, [&]() {
        if (gInterrupted) {
            loop.quit();
            return;
        }
        QString line = QStringLiteral("%1 %2 %3 ").arg(mode, -6).arg(timecode, fileTime);
        // Two bytes per channel: level, then held peak, in dB below full scale.
        for (int c = 0; c < int(constantsR9K::trackLabelText.size()); ++c) {
            const int at = 2 * c;
            const QString db = at < levels.size() && uchar(levels[at]) <= 40
                                   ? QString::number(-int(uchar(levels[at])))
                                   : QStringLiteral("-inf");
            line +=
                QStringLiteral(" %1 %2").arg(QLatin1String(constantsR9K::trackLabelText[c]), db);
        }
        m_ctx.out << line << "\n";
        m_ctx.out.flush();
        if (count > 0 && ++lines >= count)
            loop.quit();
    });

    gInterrupted = 0;
    auto previousInt = std::signal(SIGINT, onInterrupt);
    auto previousTerm = std::signal(SIGTERM, onInterrupt);
    worker.on_transportViewActive(true);
    worker.setMixerView(true);
    worker.on_deviceDiscoveredR9K();
    worker.start();
    printer.start();
    loop.exec();
    printer.stop();
    worker.requestStop();
    worker.wait();
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    return exitCode;
}

} // namespace

int runRecorderCommand(CliContext& ctx)
{
    // Failures are worded on stderr; the link's trace lines stay off unless
    // QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.link.debug=false"));
    RecorderCli cli(ctx);
    return cli.run();
}
