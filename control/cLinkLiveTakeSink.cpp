#include "cLinkLiveTakeSink.h"

#include <QMetaObject>

void cLinkLiveTakeSink::appAckCallBack(CLINK::IAppDataRx* record)
{
    auto* ack = dynamic_cast<CLINK::cLinkAck*>(record);
    if (!ack || !m_list)
        return;
    QMetaObject::invokeMethod(m_list.data(), "on_cLinkAck", Qt::DirectConnection,
                              Q_ARG(CLINK::cLinkAck*, ack));
}
