#pragma once

#include "SplitCombineBatch.h"
#include "TakeSession.h"
#include "TestUtil.h"

#include <QSignalSpy>
#include <QtTest>

// Shared steps of the split/combine tests: importing takes into a session,
// waiting for a run's message and checking what outputs hold.
namespace SplitCombineTestKit
{

inline bool importAll(TakeSession& session, const QStringList& paths)
{
    QSignalSpy done(&session, &TakeSession::importFinished);
    session.importPaths(paths, TakeImporter::Origin::Drop);
    return done.count() > 0 || done.wait(60000);
}

// The message that ends the run of batch, waiting for it; empty when none came.
inline QString finalMessage(QSignalSpy& finished)
{
    if (finished.isEmpty())
        finished.wait(60000);
    return finished.isEmpty() ? QString() : finished.first().at(0).toString();
}

// Whether the take at path has one track per source and track k holds the
// samples of sources[k] (as bytes).
inline bool holdsChannels(const QString& path, const QList<QByteArray>& sources, int bytesPerSample)
{
    QByteArray expected;
    for (int at = 0; at < sources.value(0).size(); at += bytesPerSample) {
        for (const QByteArray& source : sources)
            expected.append(source.mid(at, bytesPerSample));
    }
    return TestUtil::audioOf(path) == expected;
}

// Writes a mono take stem_1.WAV .. stem_<n>.WAV, file i with bits[i] and its
// own samples; returns each file's audio.
inline QList<QByteArray> writeMono(const QString& folder, const QString& stem,
                                   const QList<int>& bits, int frames = 800)
{
    QList<QByteArray> audio;
    for (int i = 0; i < bits.size(); ++i) {
        TestTake t;
        t.channels = 1;
        t.bits = bits.at(i);
        t.frames = frames;
        t.firstChannel = i + 1;
        t.seed = 10 * (i + 1) + stem.size();
        audio << TestUtil::writeTake(QStringLiteral("%1/%2_%3.WAV").arg(folder, stem).arg(i + 1),
                                     t);
    }
    return audio;
}

} // namespace SplitCombineTestKit
