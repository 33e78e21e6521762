#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QtGlobal>

#include <cstring>
#include <string>

namespace CLINK
{

// Base of the records a worker hands to an IAppSink.
struct IAppDataRx {
    virtual ~IAppDataRx() = default;
};

// Result of one take-list request of the control-mode worker. Built on the
// worker's stack and valid only during the sink's callback: copy what you
// keep.
struct cLinkAck : IAppDataRx {
    enum Command {
        kTakeList = 56,
        kTakeParamRead = 57,
        kTakeParamWrite = 58,
        kFalseTake = 59,
        kTakeListChanges = 78,
    };
    // The most take identifiers one reply can carry.
    static constexpr int kMaxTakes = 63;
    static constexpr int kDataWords = 66;

    // Link command code of the request (enum Command).
    int command = 0;
    // Link result: low byte the code (0 success, 1-6 failures, 5 also for a
    // recorder error), bits 8-15 the recorder's error code.
    int status = 0;
    // kTakeList only: number of take identifiers in data.
    int count = 0;
    // The recorder's error text of this exchange (empty when none).
    std::string text;
    // By command, in 32-bit words (host order):
    //   kTakeList: the take identifiers in reply order (count of them);
    //   kTakeParamRead: take, parameter id, then the value as a NUL-terminated
    //     ASCII text from word 2 on;
    //   kTakeListChanges: change bits, take;
    //   kTakeParamWrite: take, parameter id;   kFalseTake: take.
    // Filled for 56, 57 and 78 on success only; for 58 and 59 always.
    quint32 data[kDataWords] = {};

    int code() const { return status & 0xFF; }
    int recorderError() const { return (status >> 8) & 0xFF; }

    quint32 word(int index) const { return index >= 0 && index < kDataWords ? data[index] : 0; }
    void setWord(int index, quint32 value)
    {
        if (index >= 0 && index < kDataWords)
            data[index] = value;
    }
    QList<quint32> takeIds() const
    {
        QList<quint32> ids;
        for (int i = 0; i < count && i < kMaxTakes; ++i)
            ids.append(data[i]);
        return ids;
    }
    quint32 take() const { return data[0]; }
    int paramId() const { return int(data[1]); }
    // Value text of kTakeParamRead (bytes as received, decoded as Latin-1
    // by the caller if needed).
    QByteArray valueText() const
    {
        const char* text = reinterpret_cast<const char*>(&data[2]);
        const std::size_t room = sizeof(data) - 2 * sizeof(quint32);
        return QByteArray(text, int(strnlen(text, room)));
    }
    // Stores a value text (truncated to the room left, always NUL-terminated).
    void setValueText(const QByteArray& value)
    {
        char* text = reinterpret_cast<char*>(&data[2]);
        const std::size_t room = sizeof(data) - 2 * sizeof(quint32);
        const std::size_t n = qMin(std::size_t(value.size()), room - 1);
        memcpy(text, value.constData(), n);
        text[n] = '\0';
    }
    int changeKind() const { return int(data[0]); }
    quint32 changeTake() const { return data[1]; }
};

} // namespace CLINK

Q_DECLARE_METATYPE(CLINK::cLinkAck*)
