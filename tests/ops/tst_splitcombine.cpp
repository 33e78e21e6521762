#include "AudioThread.h"
#include "OpsTestKit.h"
#include "TestUtil.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace SoundDefs;

// Split and combine: the samples of every output channel, the metadata each
// output gets (tracks, bext entries, identifiers, history, file set), and the
// refusals and failures that must leave nothing half-written.
class TestSplitCombine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString path(const QString& name) const { return m_tmp.filePath(name); }

    int split(const QString& src, const QStringList& outs, const QVector<unsigned>& masks,
              QString* error = nullptr)
    {
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        if (!t.Split(src, outs, masks))
            return -1;
        const int state = OpsTestKit::finalState(spy);
        if (error)
            *error = t.m_errorMsg;
        return state;
    }

    int combine(const QString& dst, const QStringList& srcs, QString* error = nullptr)
    {
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        if (!t.Combine(dst, srcs))
            return -1;
        const int state = OpsTestKit::finalState(spy);
        if (error)
            *error = t.m_errorMsg;
        return state;
    }

    static QString bextValue(AudioFile& f, const char* key)
    {
        QString v;
        f.m_bext.GetDescriptionValue(key, v, true);
        return v;
    }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
    }

    void splitGivesEachOutputItsChannels_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("formatTag");
        QTest::addColumn<QVector<unsigned>>("masks");
        QTest::addColumn<QList<QList<int>>>("expected"); // source channels per kept output
        QTest::newRow("4 ch, 1+2 and 3+4") << 4 << 24 << 1 << QVector<unsigned>{0b0011, 0b1100}
                                           << QList<QList<int>>{{0, 1}, {2, 3}};
        QTest::newRow("shared channel")
            << 3 << 24 << 1 << QVector<unsigned>{0b011, 0b110} << QList<QList<int>>{{0, 1}, {1, 2}};
        QTest::newRow("bits beyond the channels")
            << 2 << 16 << 1 << QVector<unsigned>{0b101, 0b100} << QList<QList<int>>{{0}};
        QTest::newRow("float stays float")
            << 2 << 32 << 3 << QVector<unsigned>{2, 1} << QList<QList<int>>{{1}, {0}};
    }

    void splitGivesEachOutputItsChannels()
    {
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, formatTag);
        QFETCH(QVector<unsigned>, masks);
        QFETCH(QList<QList<int>>, expected);
        TestTake shape;
        shape.channels = channels;
        shape.bits = bits;
        shape.formatTag = formatTag;
        shape.frames = 40000; // more than two transfer blocks
        const QString src = path("T003.WAV");
        const QByteArray audio = TestUtil::writeTake(src, shape);
        QStringList outs;
        for (int k = 0; k < masks.size(); ++k)
            outs << path(QStringLiteral("out%1.WAV").arg(k + 1));
        QCOMPARE(split(src, outs, masks), int(AudioThread::STATE_DONE));

        AudioFile source;
        QVERIFY(source.Open(src));
        const AudioIxmlData& sx = source.m_info.ixml;
        const int bps = bits / 8;
        for (int k = 0; k < outs.size(); ++k) {
            if (k >= expected.size()) {
                QVERIFY(!QFile::exists(outs.at(k))); // its mask became empty
                continue;
            }
            const QList<int>& chans = expected.at(k);
            const QString name = QFileInfo(outs.at(k)).fileName();
            AudioFile o;
            QVERIFY(o.Open(outs.at(k)));
            QCOMPARE(int(o.GetChannels()), int(chans.size()));
            QCOMPARE(int(o.m_info.formatTag), formatTag);
            QCOMPARE(o.GetTotalSamples(), quint64(shape.frames));
            const QByteArray got = TestUtil::audioOf(outs.at(k));
            for (int c = 0; c < chans.size(); ++c) {
                QCOMPARE(TestUtil::channelOf(got, int(chans.size()), bps, c),
                         TestUtil::channelOf(audio, channels, bps, chans.at(c)));
                const AudioChannelInfo& tr = o.m_info.channelList.at(c);
                QCOMPARE(tr.channelIndex, chans.at(c) + 1);
                QCOMPARE(tr.interleaveIndex, c + 1);
                QCOMPARE(tr.name, source.m_info.channelList.at(chans.at(c)).name);
                QCOMPARE(bextValue(o, qPrintable(QStringLiteral("sTRK%1").arg(chans.at(c) + 1))),
                         tr.name);
            }
            QStringList keys, values;
            o.m_bext.GetDescriptionValues("TRK", keys, values);
            QCOMPARE(keys.size(), chans.size());
            const AudioIxmlData& x = o.m_info.ixml;
            QCOMPARE(x.TOTAL_FILES, QString::number(expected.size()));
            QCOMPARE(x.FILE_SET_INDEX, QString::number(k + 1));
            QCOMPARE(x.FAMILY_UID, sx.FAMILY_UID);
            QCOMPARE(x.FILE_UID.left(28), sx.FAMILY_UID.left(28));
            QVERIFY(x.FILE_UID.endsWith(QStringLiteral("%1").arg(k + 1, 2, 10, QLatin1Char('0'))));
            QCOMPARE(x.PARENT_UID, sx.FILE_UID);
            QCOMPARE(x.PARENT_FILENAME, QStringLiteral("T003.WAV"));
            QCOMPARE(x.ORIGINAL_FILENAME, name);
            QCOMPARE(x.CURRENT_FILENAME, name);
            QCOMPARE(bextValue(o, "sFILENAME"), name);
            QVERIFY(TestUtil::ixmlIsWellFormed(outs.at(k)));
        }
    }

    void splitOfABareFileMakesOneFamily()
    {
        TestTake shape;
        shape.metadata = false;
        const QString src = path("bare.wav");
        QVERIFY(!TestUtil::writeTake(src, shape).isEmpty());
        const QStringList outs{path("bare_1.wav"), path("bare_2.wav")};
        QCOMPARE(split(src, outs, {1, 2}), int(AudioThread::STATE_DONE));
        AudioFile a, b;
        QVERIFY(a.Open(outs[0]) && b.Open(outs[1]));
        QVERIFY(a.m_info.ixml.FAMILY_UID.startsWith("USQRX"));
        QCOMPARE(a.m_info.ixml.FAMILY_UID, b.m_info.ixml.FAMILY_UID);
        QCOMPARE(b.m_info.ixml.FILE_UID.left(28), a.m_info.ixml.FAMILY_UID.left(28));
        QVERIFY(!a.m_info.ixml.PARENT_UID.isEmpty());
    }

    void splitRefusesToWriteOverItsSource_data()
    {
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QString>("message");
        QTest::newRow("the source")
            << QStringList{"T003_1.WAV", "T003.WAV"} << AudioThread::kMsgSameSource;
        QTest::newRow("two outputs alike")
            << QStringList{"T003_1.WAV", "./T003_1.WAV"} << QString("the same name");
    }

    void splitRefusesToWriteOverItsSource()
    {
        QFETCH(QStringList, outputs);
        QFETCH(QString, message);
        const QString src = path("T003.WAV");
        QVERIFY(!TestUtil::writeTake(src, TestTake()).isEmpty());
        const QByteArray before = TestUtil::readFile(src);
        QStringList outs;
        for (const QString& o : outputs)
            outs << path(o);
        QString error;
        QCOMPARE(split(src, outs, {1, 2}, &error), int(AudioThread::STATE_ERROR));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(TestUtil::readFile(src), before);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{"T003.WAV"});
    }

    void splitWithNothingToDoIsNotStarted()
    {
        const QString src = path("T003.WAV");
        QVERIFY(!TestUtil::writeTake(src, TestTake()).isEmpty());
        AudioThread t;
        QVERIFY(!t.Split(src, {path("a.WAV")}, {1, 2}));     // lists of unequal length
        QVERIFY(!t.Split(src, {path("a.WAV"), ""}, {4, 1})); // empty mask, empty path
        QVERIFY(!t.Split(path("missing.WAV"), {path("a.WAV")}, {1}));
    }

    // A run that fails at one output leaves every file that was there before
    // as it was (also those its other outputs would have replaced) and no
    // partial or set-aside file. The failing output's name is taken by a
    // folder (found when the outputs are moved into place) or the output
    // passes a file-size limit while it is written.
    void failedRunKeepsEveryEarlierFile_data()
    {
        QTest::addColumn<bool>("isSplit");
        QTest::addColumn<QList<int>>("existing"); // outputs (1-based) there before the run
        QTest::addColumn<int>("failing");         // the output that cannot be written
        QTest::addColumn<bool>("folder");         // a folder has its name; else the size limit
        QTest::newRow("split, replaces 2, folder at 3") << true << QList<int>{2} << 3 << true;
        QTest::newRow("split, replaces 1 and 3, folder at 2")
            << true << QList<int>{1, 3} << 2 << true;
        QTest::newRow("split, replaces 2, folder at 1") << true << QList<int>{2} << 1 << true;
        QTest::newRow("split, replaces 3, size at 1") << true << QList<int>{3} << 1 << false;
        QTest::newRow("combine, replaces, size") << false << QList<int>{1} << 1 << false;
        QTest::newRow("combine, folder") << false << QList<int>{} << 1 << true;
    }

    void failedRunKeepsEveryEarlierFile()
    {
        QFETCH(bool, isSplit);
        QFETCH(QList<int>, existing);
        QFETCH(int, failing);
        QFETCH(bool, folder);
        QStringList srcs;
        if (isSplit) {
            TestTake shape;
            shape.channels = 4;
            shape.frames = 40000;
            srcs << path("T003.WAV");
            QVERIFY(!TestUtil::writeTake(srcs.last(), shape).isEmpty());
        } else {
            for (int i = 1; i <= 3; ++i) {
                TestTake shape;
                shape.channels = 1;
                shape.frames = 40000;
                shape.firstChannel = i;
                srcs << path(QStringLiteral("T004_%1.WAV").arg(i));
                QVERIFY(!TestUtil::writeTake(srcs.last(), shape).isEmpty());
            }
        }
        // One channel per split output (about 130 kB); the failing one gets a
        // second channel when it is to pass the limit.
        QStringList outs;
        QVector<unsigned> masks;
        for (int k = 1; k <= (isSplit ? 3 : 1); ++k) {
            outs << path(QStringLiteral("out%1.WAV").arg(k));
            masks << ((1u << (k - 1)) | (k == failing && !folder ? 8u : 0u));
            if (existing.contains(k))
                QVERIFY(
                    TestUtil::writeFile(outs.last(), "an earlier take " + QByteArray::number(k)));
        }
        if (folder) {
            QVERIFY(QDir().mkpath(outs.at(failing - 1)));
            QVERIFY(TestUtil::writeFile(outs.at(failing - 1) + "/inside.txt", "kept"));
        }
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        QString error;
        int state = 0;
        {
            FileSizeLimit limit(folder ? quint64(1) << 40 : 200000);
            state = isSplit ? split(srcs.first(), outs, masks, &error)
                            : combine(outs.first(), srcs, &error);
        }
        QCOMPARE(state, int(AudioThread::STATE_ERROR));
        QVERIFY2(error.contains(QFileInfo(outs.at(failing - 1)).fileName()), qPrintable(error));
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
        if (folder)
            QCOMPARE(TestUtil::readFile(outs.at(failing - 1) + "/inside.txt"), QByteArray("kept"));
    }

    void combineInterleavesExactly()
    {
        QStringList srcs;
        QList<QByteArray> audio;
        for (int i = 1; i <= 3; ++i) {
            TestTake shape;
            shape.channels = 1;
            shape.frames = 40000;
            shape.firstChannel = i;
            shape.seed = i;
            shape.family = "USQRX123456789012101010012340000";
            srcs << path(QStringLiteral("T004_%1.WAV").arg(i));
            audio << TestUtil::writeTake(srcs.last(), shape);
        }
        const QString dst = path("T004_1_2_3.WAV");
        QCOMPARE(combine(dst, srcs), int(AudioThread::STATE_DONE));
        AudioFile o;
        QVERIFY(o.Open(dst));
        QCOMPARE(int(o.GetChannels()), 3);
        const QByteArray got = TestUtil::audioOf(dst);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(TestUtil::channelOf(got, 3, 3, c), audio.at(c));
            QCOMPARE(o.m_info.channelList.at(c).channelIndex, c + 1);
            QCOMPARE(o.m_info.channelList.at(c).interleaveIndex, c + 1);
            QCOMPARE(bextValue(o, qPrintable(QStringLiteral("sTRK%1").arg(c + 1))),
                     QStringLiteral("Trk%1").arg(c + 1));
        }
        const AudioIxmlData& x = o.m_info.ixml;
        QCOMPARE(x.TOTAL_FILES, QStringLiteral("1"));
        QCOMPARE(x.FAMILY_UID, QStringLiteral("USQRX123456789012101010012340000"));
        QCOMPARE(x.PARENT_UID, x.FAMILY_UID);
        QVERIFY(x.FILE_UID.startsWith("USQRX1234567890121010100123"));
        QVERIFY(x.FILE_UID.endsWith("01"));
        QCOMPARE(x.CURRENT_FILENAME, QStringLiteral("T004_1_2_3.WAV"));
        QCOMPARE(bextValue(o, "sFILENAME"), QStringLiteral("T004_1_2_3.WAV"));
        QVERIFY(TestUtil::ixmlIsWellFormed(dst));
    }

    void combineRefusesWhatDoesNotFit_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("intoSource");
        QTest::addColumn<QString>("message");
        QTest::newRow("not mono") << 2 << 24 << 100 << false << AudioThread::kMsgCannotCombine;
        QTest::newRow("other length") << 1 << 24 << 99 << false << AudioThread::kMsgCannotCombine;
        QTest::newRow("other depth") << 1 << 16 << 100 << false << AudioThread::kMsgCannotCombine;
        QTest::newRow("into a source") << 1 << 24 << 100 << true << AudioThread::kMsgSameSource;
    }

    void combineRefusesWhatDoesNotFit()
    {
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, frames);
        QFETCH(bool, intoSource);
        QFETCH(QString, message);
        TestTake a;
        a.channels = 1;
        a.frames = 100;
        TestTake b = a;
        b.channels = channels;
        b.bits = bits;
        b.frames = frames;
        QVERIFY(!TestUtil::writeTake(path("a.WAV"), a).isEmpty());
        QVERIFY(!TestUtil::writeTake(path("b.WAV"), b).isEmpty());
        const QByteArray before = TestUtil::readFile(path("b.WAV"));
        QString error;
        const QString dst = intoSource ? path("b.WAV") : path("ab.WAV");
        QCOMPARE(combine(dst, {path("a.WAV"), path("b.WAV")}, &error),
                 int(AudioThread::STATE_ERROR));
        QVERIFY2(error.startsWith(message), qPrintable(error));
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), (QStringList{"a.WAV", "b.WAV"}));
        QCOMPARE(TestUtil::readFile(path("b.WAV")), before);
    }

    // Two sparse mono sources of 2.2 GB: the result would pass 4 GiB.
    void combineRefusesResultsOf4GiB()
    {
        const quint64 dataSize = 2200000000ull;
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(1, 48000, 24));
        b.rawChunk("data", quint32(dataSize), QByteArray());
        const QByteArray head = b.build(qint64(4 + 24 + 8 + dataSize));
        for (const char* n : {"a.WAV", "b.WAV"}) {
            QVERIFY(TestUtil::writeFile(path(n), head));
            QVERIFY(QFile::resize(path(n), qint64(head.size() + dataSize)));
        }
        QString error;
        QCOMPARE(combine(path("ab.WAV"), {path("a.WAV"), path("b.WAV")}, &error),
                 int(AudioThread::STATE_ERROR));
        QCOMPARE(error, AudioThread::kMsgSizeLimit);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), (QStringList{"a.WAV", "b.WAV"}));
    }
};

QTEST_GUILESS_MAIN(TestSplitCombine)
#include "tst_splitcombine.moc"
