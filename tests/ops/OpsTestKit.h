#pragma once

class QSignalSpy;

namespace OpsTestKit
{
// The final state (STATE_DONE or STATE_ERROR) recorded by spy on
// AudioThread::progressUpdate, waiting for it when needed; -1 when none came.
int finalState(QSignalSpy& spy);
} // namespace OpsTestKit
