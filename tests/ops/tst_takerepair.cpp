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
quint32 le32(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
void put32(QByteArray& b, qint64 at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

// How a sound take is damaged before the repair: file holds its bytes, data
// and ixml are the offsets of those chunks' bodies.
using Cut = void (*)(QByteArray& file, qint64 data, qint64 ixml);
struct Case {
    const char* name;
    Cut cut;
    TakeRepair::Verdict verdict;
    bool dataChanges, riffChanges;
};
using V = TakeRepair::Verdict;
const Case kCases[] = {
    {"sound", [](QByteArray&, qint64, qint64) {}, V::Undamaged, false, false},
    // Power loss: the data size never written, or a streaming writer's 0xFFFFFFFF.
    {"data size 0", [](QByteArray& f, qint64 d, qint64) { put32(f, d - 4, 0); }, V::Repairable,
     true, false},
    {"data size 0xFFFFFFFF", [](QByteArray& f, qint64 d, qint64) { put32(f, d - 4, ~0u); },
     V::Repairable, true, false},
    {"RIFF short", [](QByteArray& f, qint64, qint64) { put32(f, 4, 36); }, V::Repairable, false,
     true},
    // Cut 3 bytes into a frame, the sizes as planned.
    {"cut mid-frame", [](QByteArray& f, qint64, qint64) { f.chop(6 * 100 + 3); }, V::Repairable,
     true, true},
    // Not mended: the iXML size 8 bytes too large, or a chunk after the audio.
    {"chunk runs into the data",
     [](QByteArray& f, qint64, qint64 x) { put32(f, x - 4, le32(f, x - 4) + 8); }, V::NotRepairable,
     false, false},
    {"chunk after unrecorded audio",
     [](QByteArray& f, qint64 d, qint64) {
         put32(f, d - 4, 0);
         f.append(QByteArray("iXML\x06\0\0\0<a/>  ", 14));
         put32(f, 4, quint32(f.size() - 8));
     },
     V::NotRepairable, false, false},
};
} // namespace

class TestTakeRepair : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString path(const QString& name) const { return m_tmp.filePath(name); }

private slots:
    void repairs_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kCases)); ++i)
            QTest::newRow(kCases[i].name) << i;
    }

    void repairs()
    {
        QFETCH(int, row);
        const Case& c = kCases[row];
        const bool repairable = c.verdict == V::Repairable;
        const QString p = path("T001.WAV");
        TestTake take;
        take.channels = 2;
        take.bits = 24; // 6-byte frames
        const QByteArray audio = TestUtil::writeTake(p, take);
        QVERIFY(!audio.isEmpty());
        AudioFile sound;
        QVERIFY(sound.Open(p));
        const qint64 dataBody = qint64(sound.m_fileDataPos);
        QByteArray file = TestUtil::readFile(p);
        QCOMPARE(file.mid(dataBody), audio);

        c.cut(file, dataBody, qint64(sound.m_ixmlDataPos));
        QVERIFY(TestUtil::writeFile(p, file));

        TakeRepair repair(p);
        QCOMPARE(repair.verdict(), c.verdict);
        const QByteArray held = file.mid(dataBody);
        const quint32 wholeFrames = quint32(held.size() - held.size() % 6);
        QString changes;
        if (c.dataChanges)
            changes = QString("data size %1 -> %2").arg(le32(file, dataBody - 4)).arg(wholeFrames);
        if (c.riffChanges)
            changes += QString(c.dataChanges ? ", " : "") +
                       QString("RIFF size %1 -> %2").arg(le32(file, 4)).arg(file.size() - 8);
        if (repairable)
            QCOMPARE(repair.changes(), changes);
        // Planning (what a dry run does) reads only.
        QCOMPARE(TestUtil::readFile(p), file);

        QString error;
        QCOMPARE(repair.apply(&error), repairable);
        const QByteArray after = TestUtil::readFile(p);
        QCOMPARE(after.size(), file.size());
        // Only the two size fields may differ; the audio bytes are the same.
        QByteArray expected = file;
        if (repairable) {
            put32(expected, dataBody - 4, c.dataChanges ? wholeFrames : le32(file, dataBody - 4));
            put32(expected, 4, quint32(file.size() - 8));
        } else {
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(after, expected);
        QCOMPARE(after.mid(dataBody), held);

        AudioFile back;
        QVERIFY(back.Open(p));
        if (c.verdict != V::NotRepairable) {
            QCOMPARE(back.m_info.damage, QString());
            QCOMPARE(TestUtil::audioOf(p), held.left(int(wholeFrames)));
        } else {
            QVERIFY(!back.m_info.damage.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestTakeRepair)
#include "tst_takerepair.moc"
