#include "AudioThread.h"
#include "OpsTestKit.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace SoundDefs;

namespace
{
QString bextValue(AudioFile& f, const QString& key)
{
    QString v;
    f.m_bext.GetDescriptionValue(qPrintable(key), v, true);
    return v;
}

// A run refused before it writes: split of b.WAV (channels, bits, frames)
// into outputs, or combine of a.WAV (mono, 24 bits, 100 frames) and b.WAV
// into outputs[0].
struct Refusal {
    const char* name;
    bool split;
    int channels, bits, frames;
    QStringList outputs;
    QString message;
};
} // namespace
Q_DECLARE_METATYPE(Refusal)

// Split and combine: the samples of every output channel, the metadata each
// output gets (tracks, bext entries, identifiers, file set), and the refusals
// and failures that must leave nothing half-written.
class TestSplitCombine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    std::unique_ptr<AudioThread> m_thread;

    QString path(const QString& name) const { return m_tmp.filePath(name); }
    QString error() const { return m_thread->m_errorMsg; }

    int split(const QString& src, const QStringList& outs, const QVector<unsigned>& masks)
    {
        return OpsTestKit::finish(*m_thread, [&] { return m_thread->Split(src, outs, masks); });
    }
    int combine(const QString& dst, const QStringList& srcs)
    {
        return OpsTestKit::finish(*m_thread, [&] { return m_thread->Combine(dst, srcs); });
    }
    // Mono takes T004_1.WAV .. T004_<n>.WAV of 40000 frames; their audio.
    QList<QByteArray> writeMono(int n, QStringList* paths)
    {
        QList<QByteArray> audio;
        for (int i = 1; i <= n; ++i) {
            TestTake shape;
            shape.channels = 1;
            shape.frames = 40000;
            shape.firstChannel = shape.seed = i;
            shape.family = "USQRX123456789012101010012340000";
            *paths << path(QStringLiteral("T004_%1.WAV").arg(i));
            audio << TestUtil::writeTake(paths->last(), shape);
        }
        return audio;
    }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
        m_thread = std::make_unique<AudioThread>();
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
        for (int k = 0; k < outs.size(); ++k) {
            QCOMPARE(QFile::exists(outs.at(k)), k < expected.size()); // else its mask was empty
            if (k >= expected.size())
                continue;
            const QList<int>& chans = expected.at(k);
            AudioFile o;
            QVERIFY(o.Open(outs.at(k)));
            QCOMPARE(int(o.m_info.formatTag), formatTag);
            const QByteArray got = TestUtil::audioOf(outs.at(k));
            QCOMPARE(got.size(), audio.size() / channels * chans.size());
            for (int c = 0; c < chans.size(); ++c) {
                QCOMPARE(TestUtil::channelOf(got, int(chans.size()), bits / 8, c),
                         TestUtil::channelOf(audio, channels, bits / 8, chans.at(c)));
                const AudioChannelInfo& tr = o.m_info.channelList.at(c);
                QCOMPARE(tr.channelIndex, chans.at(c) + 1);
                QCOMPARE(tr.name, source.m_info.channelList.at(chans.at(c)).name);
                QCOMPARE(bextValue(o, QStringLiteral("sTRK%1").arg(chans.at(c) + 1)), tr.name);
            }
            QStringList keys, values;
            o.m_bext.GetDescriptionValues("TRK", keys, values);
            QCOMPARE(keys.size(), chans.size());
            const AudioIxmlData& x = o.m_info.ixml;
            QVERIFY(o.m_info.ixmlError.isEmpty());
            QCOMPARE(x.TOTAL_FILES, QString::number(expected.size()));
            QCOMPARE(x.FILE_SET_INDEX, QString::number(k + 1));
            QCOMPARE(x.FAMILY_UID, sx.FAMILY_UID);
            QVERIFY(x.FILE_UID.startsWith(sx.FAMILY_UID.left(28)));
            QVERIFY(x.FILE_UID.endsWith(QStringLiteral("0%1").arg(k + 1)));
            QCOMPARE(x.PARENT_UID, sx.FILE_UID);
            QCOMPARE(x.PARENT_FILENAME, QStringLiteral("T003.WAV"));
            QCOMPARE(x.CURRENT_FILENAME, QFileInfo(outs.at(k)).fileName());
            QCOMPARE(bextValue(o, "sFILENAME"), x.CURRENT_FILENAME);
        }
    }

    void combineInterleavesExactly()
    {
        QStringList srcs;
        const QList<QByteArray> audio = writeMono(3, &srcs);
        const QString dst = path("T004_1_2_3.WAV");
        QCOMPARE(combine(dst, srcs), int(AudioThread::STATE_DONE));
        AudioFile o;
        QVERIFY(o.Open(dst));
        const QByteArray got = TestUtil::audioOf(dst);
        QCOMPARE(got.size(), audio.at(0).size() * 3);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(TestUtil::channelOf(got, 3, 3, c), audio.at(c));
            QCOMPARE(o.m_info.channelList.at(c).channelIndex, c + 1);
            QCOMPARE(bextValue(o, QStringLiteral("sTRK%1").arg(c + 1)),
                     QStringLiteral("Trk%1").arg(c + 1));
        }
        const AudioIxmlData& x = o.m_info.ixml;
        QVERIFY(o.m_info.ixmlError.isEmpty());
        QCOMPARE(x.TOTAL_FILES, QStringLiteral("1"));
        QCOMPARE(x.FAMILY_UID, QStringLiteral("USQRX123456789012101010012340000"));
        QCOMPARE(x.PARENT_UID, x.FAMILY_UID);
        QVERIFY(x.FILE_UID.startsWith("USQRX1234567890121010100123") && x.FILE_UID.endsWith("01"));
        QCOMPARE(bextValue(o, "sFILENAME"), QStringLiteral("T004_1_2_3.WAV"));
    }

    // What a run must not write, or cannot, is refused before any file is
    // made; the sources keep every byte.
    void refusedRunWritesNothing_data()
    {
        QTest::addColumn<Refusal>("r");
        const QString cannot = AudioThread::kMsgCannotCombine;
        const Refusal cases[] = {
            {"split into its source",
             true,
             2,
             24,
             100,
             {"b_1.WAV", "b.WAV"},
             AudioThread::kMsgSameSource},
            {"split, two outputs alike",
             true,
             2,
             24,
             100,
             {"b_1.WAV", "./b_1.WAV"},
             "the same name"},
            {"combine, not mono", false, 2, 24, 100, {"ab.WAV"}, cannot},
            {"combine, other length", false, 1, 24, 99, {"ab.WAV"}, cannot},
            {"combine, other depth", false, 1, 16, 100, {"ab.WAV"}, cannot},
            {"combine into a source", false, 1, 24, 100, {"b.WAV"}, AudioThread::kMsgSameSource},
        };
        for (const Refusal& c : cases)
            QTest::newRow(c.name) << c;
    }

    void refusedRunWritesNothing()
    {
        QFETCH(Refusal, r);
        TestTake a;
        a.channels = 1;
        a.frames = 100;
        TestTake b = a;
        b.channels = r.channels;
        b.bits = r.bits;
        b.frames = r.frames;
        if (!r.split)
            QVERIFY(!TestUtil::writeTake(path("a.WAV"), a).isEmpty());
        QVERIFY(!TestUtil::writeTake(path("b.WAV"), b).isEmpty());
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        QStringList outs;
        for (const QString& o : r.outputs)
            outs << path(o);
        const int state = r.split ? split(path("b.WAV"), outs, {1, 2})
                                  : combine(outs.at(0), {path("a.WAV"), path("b.WAV")});
        QCOMPARE(state, int(AudioThread::STATE_ERROR));
        QVERIFY2(error().contains(r.message), qPrintable(error()));
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }

    // Two sparse mono sources of 2.2 GB: the result would pass 4 GiB.
    void combineRefusesResultsOf4GiB()
    {
        for (const char* n : {"a.WAV", "b.WAV"})
            QVERIFY(!OpsTestKit::writeSparse(path(n), 1, 2200000000ull).isEmpty());
        QCOMPARE(combine(path("ab.WAV"), {path("a.WAV"), path("b.WAV")}),
                 int(AudioThread::STATE_ERROR));
        QCOMPARE(error(), AudioThread::kMsgSizeLimit);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), (QStringList{"a.WAV", "b.WAV"}));
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
            writeMono(3, &srcs);
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
        int state = 0;
        {
            FileSizeLimit limit(folder ? quint64(1) << 40 : 200000);
            state = isSplit ? split(srcs.first(), outs, masks) : combine(outs.first(), srcs);
        }
        QCOMPARE(state, int(AudioThread::STATE_ERROR));
        QVERIFY2(error().contains(QFileInfo(outs.at(failing - 1)).fileName()), qPrintable(error()));
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestSplitCombine)
#include "tst_splitcombine.moc"
