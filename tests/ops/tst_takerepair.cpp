#include "AudioFile.h"
#include "TakeRepair.h"
#include "TestUtil.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace SoundDefs;

// Mending the size fields of takes cut short: only the two fields change,
// the audio bytes never do, and a repaired take reads as undamaged.
namespace
{
// How a sound take is damaged before the repair.
enum class Cut {
    None,
    DataZero,       // power loss: the data size never written
    DataAllOnes,    // a streaming writer's 0xFFFFFFFF
    RiffShort,      // the RIFF size of the empty header, data size right
    DataZeroRiff36, // both left as an empty take's header
    MidFrame,       // file cut 3 bytes into a frame, sizes as planned
    Overrun,        // the iXML size 8 bytes too large: not mended
    TrailingChunk,  // data size 0 and an iXML chunk after the audio: not mended
};

quint32 le32(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
void put32(QByteArray& b, qint64 at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}
} // namespace

class TestTakeRepair : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString path(const QString& name) const { return m_tmp.filePath(name); }

private slots:
    void repairs_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<bool>("dataChanges");
        QTest::addColumn<bool>("riffChanges");
        using V = TakeRepair::Verdict;
        QTest::newRow("sound") << int(Cut::None) << int(V::Undamaged) << false << false;
        QTest::newRow("data size 0") << int(Cut::DataZero) << int(V::Repairable) << true << false;
        QTest::newRow("data size 0xFFFFFFFF")
            << int(Cut::DataAllOnes) << int(V::Repairable) << true << false;
        QTest::newRow("RIFF short") << int(Cut::RiffShort) << int(V::Repairable) << false << true;
        QTest::newRow("data 0, RIFF 36")
            << int(Cut::DataZeroRiff36) << int(V::Repairable) << true << true;
        QTest::newRow("cut mid-frame") << int(Cut::MidFrame) << int(V::Repairable) << true << true;
        QTest::newRow("chunk runs into the data")
            << int(Cut::Overrun) << int(V::NotRepairable) << false << false;
        QTest::newRow("chunk after unrecorded audio")
            << int(Cut::TrailingChunk) << int(V::NotRepairable) << false << false;
    }

    void repairs()
    {
        QFETCH(int, cut);
        QFETCH(int, verdict);
        QFETCH(bool, dataChanges);
        QFETCH(bool, riffChanges);
        const QString p = path("T001.WAV");
        TestTake take;
        take.channels = 2;
        take.bits = 24; // 6-byte frames
        const QByteArray audio = TestUtil::writeTake(p, take);
        QVERIFY(!audio.isEmpty());
        AudioFile sound;
        QVERIFY(sound.Open(p));
        const qint64 dataBody = qint64(sound.m_fileDataPos);
        const qint64 ixmlBody = qint64(sound.m_ixmlDataPos);
        QByteArray file = TestUtil::readFile(p);
        QCOMPARE(file.mid(dataBody), audio);

        switch (Cut(cut)) {
        case Cut::None:
            break;
        case Cut::DataZero:
            put32(file, dataBody - 4, 0);
            break;
        case Cut::DataAllOnes:
            put32(file, dataBody - 4, 0xFFFFFFFFu);
            break;
        case Cut::RiffShort:
            put32(file, 4, 36);
            break;
        case Cut::DataZeroRiff36:
            put32(file, dataBody - 4, 0);
            put32(file, 4, 36);
            break;
        case Cut::MidFrame:
            file.chop(6 * 100 + 3);
            break;
        case Cut::Overrun:
            put32(file, ixmlBody - 4, le32(file, ixmlBody - 4) + 8);
            break;
        case Cut::TrailingChunk:
            put32(file, dataBody - 4, 0);
            file.append(QByteArray("iXML\x06\0\0\0<a/>  ", 14));
            put32(file, 4, quint32(file.size() - 8));
            break;
        }
        QVERIFY(TestUtil::writeFile(p, file));

        TakeRepair repair(p);
        QCOMPARE(int(repair.verdict()), verdict);
        const QByteArray held = file.mid(dataBody);
        const quint32 wholeFrames = quint32(held.size() - held.size() % 6);
        QString changes;
        if (dataChanges)
            changes = QString("data size %1 -> %2").arg(le32(file, dataBody - 4)).arg(wholeFrames);
        if (riffChanges)
            changes += QString(dataChanges ? ", " : "") +
                       QString("RIFF size %1 -> %2").arg(le32(file, 4)).arg(file.size() - 8);
        if (verdict == int(TakeRepair::Verdict::Repairable))
            QCOMPARE(repair.changes(), changes);
        // Planning (what a dry run does) reads only.
        QCOMPARE(TestUtil::readFile(p), file);

        QString error;
        QCOMPARE(repair.apply(&error), verdict == int(TakeRepair::Verdict::Repairable));
        const QByteArray after = TestUtil::readFile(p);
        QCOMPARE(after.size(), file.size());
        // Only the two size fields may differ; the audio bytes are the same.
        QByteArray expected = file;
        if (verdict == int(TakeRepair::Verdict::Repairable)) {
            put32(expected, dataBody - 4, dataChanges ? wholeFrames : le32(file, dataBody - 4));
            put32(expected, 4, quint32(file.size() - 8));
        } else {
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(after, expected);
        QCOMPARE(after.mid(dataBody), held);

        AudioFile back;
        QVERIFY(back.Open(p));
        if (verdict != int(TakeRepair::Verdict::NotRepairable)) {
            QCOMPARE(back.m_info.damage, QString());
            QCOMPARE(TestUtil::audioOf(p), held.left(int(wholeFrames)));
        } else {
            QVERIFY(!back.m_info.damage.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestTakeRepair)
#include "tst_takerepair.moc"
