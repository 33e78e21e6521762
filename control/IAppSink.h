#pragma once

#include "cLinkAck.h"

// Receiver of the control-mode worker's request results. Called in the thread
// that made the request (the request slots run in their caller's thread),
// before the request returns.
class IAppSink
{
public:
    virtual ~IAppSink() = default;
    virtual void appNotifyCallBack(int, int) = 0;
    // record is valid only during the call.
    virtual void appAckCallBack(CLINK::IAppDataRx* record) = 0;
};
