#pragma once

#include "OpsTestKit.h"
#include "SplitCombineBatch.h"
#include "TakeSession.h"
#include "TestUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

// Shared steps of the split/combine tests: importing takes into a session,
// waiting for a run's message and reading outputs back.
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

// velmora-cli info --json of path: its one object (empty when it failed).
inline QJsonObject cliInfo(const QString& path)
{
    QByteArray out;
    if (TestUtil::run(QStringLiteral(VELMORA_CLI), {"info", "--json", path}, &out) != 0)
        return {};
    return QJsonDocument::fromJson(out).array().at(0).toObject();
}

// Checks that the take at path, read back by the command-line tool, has one
// track per source and that track k holds the samples of sources[k]
// (interleaved audio channel of a source audio, as bytes).
inline bool holdsChannels(const QString& path, const QList<QByteArray>& sources, int bytesPerSample)
{
    const QJsonObject info = cliInfo(path);
    const int channels = info.value("format").toObject().value("channels").toInt();
    if (!info.value("ok").toBool() || channels != sources.size()) {
        qWarning() << path << "reads back as" << info;
        return false;
    }
    const QByteArray audio = TestUtil::audioOf(path);
    for (int k = 0; k < channels; ++k) {
        if (TestUtil::channelOf(audio, channels, bytesPerSample, k) != sources.at(k)) {
            qWarning() << path << "track" << k + 1 << "does not hold its source's samples";
            return false;
        }
    }
    return true;
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

inline QList<SplitCombineBatch::Cell> diagonal(int n = 32)
{
    QList<SplitCombineBatch::Cell> cells;
    for (int i = 0; i < n; ++i)
        cells << SplitCombineBatch::Cell{i, i};
    return cells;
}

} // namespace SplitCombineTestKit
