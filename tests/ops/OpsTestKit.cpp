#include "OpsTestKit.h"

#include "AudioThread.h"
#include "TestUtil.h"

#include <QFile>
#include <QSignalSpy>

namespace OpsTestKit
{

int finish(AudioThread& thread, const std::function<bool()>& start)
{
    QSignalSpy spy(&thread, &AudioThread::progressUpdate);
    if (!start())
        return -1;
    const auto final = [&spy] {
        for (const QList<QVariant>& args : spy) {
            if (args.at(0).toInt() != AudioThread::STATE_PROGRESS)
                return args.at(0).toInt();
        }
        return -2;
    };
    // Generous: the machine may be loaded; this is no speed check.
    for (int i = 0; i < 600 && final() == -2; ++i)
        spy.wait(100);
    return final();
}

QByteArray writeSparse(const QString& path, int channels, quint64 dataSize, const QByteArray& ixml)
{
    WavBuilder b;
    b.chunk("fmt ", WavBuilder::fmtBody(channels, 48000, 24));
    if (!ixml.isEmpty())
        b.chunk("iXML", ixml);
    b.rawChunk("data", quint32(dataSize), QByteArray());
    const QByteArray head = b.build(b.build().size() - 8 + qint64(dataSize));
    if (!TestUtil::writeFile(path, head) || !QFile::resize(path, qint64(head.size() + dataSize)))
        return QByteArray();
    return head;
}

} // namespace OpsTestKit
