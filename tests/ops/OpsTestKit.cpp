#include "OpsTestKit.h"

#include "AudioThread.h"

#include <QSignalSpy>

namespace OpsTestKit
{

int finalState(QSignalSpy& spy)
{
    const auto final = [&spy] {
        for (const QList<QVariant>& args : spy) {
            if (args.at(0).toInt() != AudioThread::STATE_PROGRESS)
                return args.at(0).toInt();
        }
        return -1;
    };
    // Generous: the machine may be loaded; this is no speed check.
    for (int i = 0; i < 600 && final() < 0; ++i)
        spy.wait(100);
    return final();
}

} // namespace OpsTestKit
