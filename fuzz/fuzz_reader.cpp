// Whole-reader fuzzer: the input is written to a scratch file, opened as a
// take, and every getter runs; then an edit is written back in place and the
// file re-read, so the writer meets the same hostile layouts.
#include "AudioFile.h"
#include "TakeColumns.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
QString scratchPath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("velmora-fuzz-reader-%1.wav").arg(getpid()));
    return path;
}

void readEverything(AudioFile& f)
{
    TakeColumns::cells(f, QStringLiteral("x"), 2);
    f.GetTracksInfo();
    f.GetSyncPointsInfo();
    f.GetHistoryInfo();
    f.GetFileSetInfo();
    f.GetTCRate();
    f.GetMasterSpeed();
    f.GetSample2Time(12345);
    f.GetSample2TimeLeft(12345);
    f.GetTCEnd(QStringLiteral("29.97 DF"), 48000);
    f.GetSamplesSinceMidnight(QStringLiteral("29.97 DF"), QStringLiteral("01:02:03;04"));
    for (int i = 0; i < 3; ++i) {
        f.GetSyncPointTC(i);
        f.GetSyncPointDuration(i);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = scratchPath();
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    AudioFile f;
    if (f.Open(path)) {
        readEverything(f);
        f.SetNotes(QStringLiteral("fuzz & <note>"));
        f.SetSceneName(QStringLiteral("1A"));
        f.UpdateAudioFile(true, true);
        AudioFile again;
        if (again.Open(path))
            readEverything(again);
    }
    QFile::remove(path);
    return 0;
}
