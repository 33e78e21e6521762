// Feeds arbitrary reply bytes through the recorder link's receive and decode
// paths: the framing layer, every command of the command layer and the
// control-mode worker's poll pass and take-list records. No port is opened:
// a cMemoryPort hands out the input as the recorder's replies.
//
// Input layout, repeated: one operation byte, then for every request the
// operation writes, a reply chunk: one length byte N (255 means a 2-byte
// little-endian length follows, capped at 1024) and N bytes.

#include <cstddef>
#include <cstdint>

// Built for every configuration of the fuzz folder; without the engine
// (VELMORA_ENGINE=OFF) there is nothing to fuzz.
#if __has_include("cLinkDevice.h")

#include "IAppSink.h"
#include "cLinkDevice.h"
#include "cMemoryPort.h"
#include "controlModeR9K.h"

#include <QLoggingCategory>

#include <memory>

namespace
{

class Input
{
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray chunk()
    {
        size_t n = byte();
        if (n == 255)
            n = qMin<size_t>(size_t(byte()) | (size_t(byte()) << 8), 1024);
        n = qMin(n, m_size - qMin(m_pos, m_size));
        const QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), int(n));
        m_pos += n;
        return out;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class CheckingSink : public IAppSink
{
public:
    void appNotifyCallBack(int, int) override {}
    void appAckCallBack(CLINK::IAppDataRx* record) override
    {
        auto* ack = dynamic_cast<CLINK::cLinkAck*>(record);
        if (!ack)
            __builtin_trap();
        // Touch everything a receiver may read.
        volatile size_t sink = ack->takeIds().size() + size_t(ack->valueText().size()) +
                               ack->text.size() + size_t(ack->count);
        (void)sink;
        if (ack->count < 0 || ack->count > CLINK::cLinkAck::kMaxTakes)
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.link.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input input(data, size);
    auto port = std::make_unique<cMemoryPort>();
    cMemoryPort* raw = port.get();
    raw->setResponder([&input](const QByteArray&) { return input.chunk(); });
    cLinkDevice device(std::move(port));
    device.openCommPort();
    controlModeR9K worker(&device);
    CheckingSink sink;
    worker.setSink(&sink);
    worker.on_transportViewActive(true);
    worker.setMixerView(true);

    uchar value[cLinkDevice::kMaxPayload];
    uchar info[16];
    for (int steps = 0; !input.atEnd() && steps < 64; ++steps) {
        const uint8_t op = input.byte();
        switch (op % 20) {
        case 0: {
            cLinkDevice::legacyVersion v;
            device.getVersion(op & 0x20 ? 2 : 0, &v);
            break;
        }
        case 1: {
            ushort v = 0;
            device.UserGet(op, &v);
            break;
        }
        case 2:
            device.SetTransport(cLinkDevice::TransportMode(op % 3));
            break;
        case 3: {
            cLinkDevice::TransportMode m;
            device.GetTransport(&m);
            break;
        }
        case 4: {
            uint a, b, c;
            device.GetTimeCode(&a, &b, &c);
            break;
        }
        case 5: {
            QByteArray levels;
            device.GetMeters(1, &levels);
            if (levels.size() > 24)
                __builtin_trap();
            break;
        }
        case 6: {
            QList<cLinkDevice::meterChannel> pairs;
            device.MetersGet(&pairs);
            device.MetersGet();
            break;
        }
        case 7:
            device.GetDeviceInfo(uchar(op / 20 % 8), info, nullptr);
            break;
        case 8: {
            QList<uint> takes;
            device.GetTakeList(1, op, takes);
            if (takes.size() > CLINK::cLinkAck::kMaxTakes)
                __builtin_trap();
            break;
        }
        case 9: {
            int length = 0;
            device.GetTakeParam(1, uchar(op / 20 % 8), value, length);
            if (length < 0 || length > cLinkDevice::kMaxPayload)
                __builtin_trap();
            break;
        }
        case 10: {
            const QByteArray text(op, 'n');
            device.SetTakeParam(1, 3, reinterpret_cast<const uchar*>(text.constData()),
                                int(text.size()));
            break;
        }
        case 11:
            device.SetFalseTake(op);
            break;
        case 12: {
            int change = 0, take = 0;
            device.GetTakeListChanges(change, take);
            break;
        }
        case 13: {
            uchar buffer[cLinkSerial::kTxBufferSize] = {0xA5, 0x00, 0x00, uchar(op)};
            int length = 4;
            QString text;
            device.TxRxData(buffer, length, text, op & 1);
            break;
        }
        case 14: {
            uchar buffer[cLinkSerial::kRxBufferSize] = {0xA5, 0x00, 0x03, 0x12};
            device.sendData(buffer, 4, op & 1, op & 2, uchar(op / 4));
            break;
        }
        case 15:
            worker.pollTick();
            break;
        case 16:
            worker.on_getTakeList(1, op);
            break;
        case 17:
            worker.on_getTakeParam(7, op / 20 % 8);
            break;
        case 18:
            worker.on_getTakeListChanges();
            break;
        default:
            worker.on_setTakeParam(7, op / 20 % 6, QStringLiteral("14B"));
            break;
        }
    }
    return 0;
}

#else

extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t)
{
    return 0;
}

#endif
