#pragma once

#include "IAppSink.h"

#include <QObject>
#include <QPointer>

// The live take list's sink: hands every take-list result to the list's slot
// on_cLinkAck(CLINK::cLinkAck*), called directly in the requesting thread.
// The list is any QObject with that slot; it is not owned, and a deleted list
// simply receives nothing.
class cLinkLiveTakeSink : public IAppSink
{
public:
    explicit cLinkLiveTakeSink(QObject* liveTakeList) : m_list(liveTakeList) {}

    void appNotifyCallBack(int, int) override {}
    void appAckCallBack(CLINK::IAppDataRx* record) override;

private:
    QPointer<QObject> m_list;
};
