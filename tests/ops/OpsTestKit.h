#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class AudioThread;

namespace OpsTestKit
{
// Starts an operation of thread through start() and waits for its end: the
// final state (STATE_DONE or STATE_ERROR), -1 when start() refused it, -2
// when no end came.
int finish(AudioThread& thread, const std::function<bool()>& start);
// Writes a take of fmt, the iXML body when given, and a data chunk of
// dataSize bytes left sparse, so sizes near the 4 GiB limit cost no disk.
// Returns the bytes before the audio (empty on failure).
QByteArray writeSparse(const QString& path, int channels, quint64 dataSize,
                       const QByteArray& ixml = QByteArray());
} // namespace OpsTestKit
