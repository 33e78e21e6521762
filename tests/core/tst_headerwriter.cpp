#include "AudioFile.h"
#include "IxmlParser.h"
#include "TestUtil.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace SoundDefs;

namespace {

QByteArray chunkBody(const QByteArray& file, const AudioFile& f, quint64 pos)
{
    Q_UNUSED(f);
    const quint32 size = qFromLittleEndian<quint32>(file.constData() + pos - 4);
    return file.mid(qsizetype(pos), size);
}

bool isWellFormed(const QByteArray& xml)
{
    QXmlStreamReader r(xml.trimmed());
    while (!r.atEnd())
        r.readNext();
    return !r.hasError();
}

} // namespace

class TestHeaderWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& n) const { return m_dir.filePath(n); }

    // Writes a new take through our own writer and returns its path.
    QString writeNew(const QString& name, int channels, quint16 tag = kFormatPcm, int bits = 24)
    {
        const QString p = path(name);
        AudioFile f;
        if (!f.Init(p, true))
            return QString();
        AudioFileInfo& i = f.m_info;
        i.fileType = kFileTypeWave;
        i.formatTag = tag;
        i.sampleRate = 48000;
        i.channels = quint16(channels);
        i.bitsPerSample = quint16(bits);
        i.blockAlign = quint16(channels * bits / 8);
        i.totalSamples = 480;
        i.dataSize = 480ull * i.blockAlign;
        for (int c = 1; c <= channels; ++c) {
            AudioChannelInfo ch;
            ch.name = QStringLiteral("Tr%1").arg(c);
            ch.channelIndex = c;
            ch.interleaveIndex = c;
            i.channelList.append(ch);
        }
        f.SetSceneName("1");
        f.SetNotes("short");
        if (!f.WriteRiffHdrs())
            return QString();
        const QByteArray audio = TestUtil::pcm(480, channels, bits, 7);
        f.Write(audio.constData(), audio.size());
        f.Close();
        return p;
    }

private slots:
    void newFileLayout();
    void floatTakeKeepsItsFormatTag();
    void inPlaceWhenItFits();
    void tooSmallIsRefusedUntouched();
    void assignmentCarriesTheDescription();
    void appendsChunksToABareFile_data();
    void appendsChunksToABareFile();
    void reservedCharactersRoundTrip();
    void neverWritesFlac();
    void shortBextChunkIsNotOverwritten();
    void replacedFileIsNotPatched();
    void maxDataSizeAndRename();
};

void TestHeaderWriter::newFileLayout()
{
    const QString p = writeNew("new.wav", 3);
    QVERIFY(!p.isEmpty());
    const QByteArray file = TestUtil::readFile(p);
    QCOMPARE(file.mid(12, 4), QByteArray("fmt "));
    QCOMPARE(file.mid(36, 4), QByteArray("bext"));
    QCOMPARE(file.mid(36 + 610, 4), QByteArray("iXML"));
    AudioFile f;
    QVERIFY(f.Open(p));
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 4), quint32(file.size() - 8));
    const QByteArray body = chunkBody(file, f, f.m_ixmlDataPos);
    const QByteArray doc = f.RenderIxml().toUtf8();
    QVERIFY(body.startsWith(doc));
    QVERIFY(!doc.endsWith("\n"));
    QCOMPARE(body.size() % 4, 0);
    QVERIFY(body.size() - doc.size() >= 8193 && body.size() - doc.size() <= 8196);
    QVERIFY(body.mid(doc.size()).count(' ') == body.size() - doc.size());
    QCOMPARE(file.mid(int(f.m_fileDataPos)), TestUtil::pcm(480, 3, 24, 7));
    QCOMPARE(f.m_info.ixml.trackCount, 3);
    QCOMPARE(f.m_info.ixml.tracks.size(), 3);
    QCOMPARE(f.m_info.channelList.at(2).name, QString("Tr3"));
}

void TestHeaderWriter::floatTakeKeepsItsFormatTag()
{
    const QString p = writeNew("float.wav", 2, kFormatFloat, 32);
    AudioFile f;
    QVERIFY(f.Open(p));
    QCOMPARE(f.m_info.formatTag, kFormatFloat);
    QCOMPARE(qFromLittleEndian<quint16>(TestUtil::readFile(p).constData() + 20), kFormatFloat);
}

void TestHeaderWriter::inPlaceWhenItFits()
{
    const QString p = writeNew("fit.wav", 2);
    AudioFile f;
    QVERIFY(f.Open(p));
    const QByteArray before = TestUtil::readFile(p);
    f.SetNotes(QString(500, 'n'));
    QVERIFY(f.UpdateAudioFile(true, true));
    QByteArray after = TestUtil::readFile(p);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.mid(int(f.m_fileDataPos)), before.mid(int(f.m_fileDataPos)));
    QVERIFY(isWellFormed(chunkBody(after, f, f.m_ixmlDataPos)));

    // Shorter text again: nothing of the longer document may remain.
    f.SetNotes("x");
    QVERIFY(f.UpdateAudioFile(true, true));
    after = TestUtil::readFile(p);
    const QByteArray body = chunkBody(after, f, f.m_ixmlDataPos);
    QVERIFY(!body.contains("nnn"));
    const int end = body.indexOf("</BWFXML>") + 9;
    QCOMPARE(body.mid(end).count(' '), body.size() - end);

    AudioFile again;
    QVERIFY(again.Open(p));
    QCOMPARE(again.GetNotes(), QString("x"));
    QCOMPARE(again.GetSceneName(), QString("1"));
}

void TestHeaderWriter::tooSmallIsRefusedUntouched()
{
    const QString p = writeNew("small.wav", 1);
    AudioFile f;
    QVERIFY(f.Open(p));
    const QByteArray before = TestUtil::readFile(p);
    f.SetSampleRate("96000"); // must not be written when the rest is refused
    f.SetNotes(QString(9000, 'n'));
    QVERIFY(!f.UpdateAudioFile(true, true));
    QCOMPARE(TestUtil::readFile(p), before);
}

void TestHeaderWriter::assignmentCarriesTheDescription()
{
    const QString p = writeNew("assign.wav", 2);
    AudioFile edited;
    QVERIFY(edited.Open(p));
    edited.SetTapeName("R7"); // a description entry not compiled yet
    AudioFile target;
    QVERIFY(target.Open(QStringLiteral(VELMORA_TEST_DATA "/daw-stereo-ixml.wav")));
    target = edited; // takes the edited take's name too: point it at the copy
    target.setFileName(path("assign-copy.wav"));
    QVERIFY(target.WriteRiffHdrs());
    target.Close();
    AudioFile copy;
    QVERIFY(copy.Open(path("assign-copy.wav")));
    QString v;
    QVERIFY(copy.m_bext.GetDescriptionValue("TAPE", v, false));
    QCOMPARE(v, QString("R7"));
    QCOMPARE(copy.GetSceneName(), QString("1"));
}

void TestHeaderWriter::appendsChunksToABareFile_data()
{
    QTest::addColumn<int>("frames"); // odd with 24-bit mono: odd data size, no pad byte
    QTest::addColumn<bool>("withPad");
    QTest::newRow("even data") << 100 << false;
    QTest::newRow("odd data without pad") << 101 << false;
    QTest::newRow("odd data with pad") << 101 << true;
}

void TestHeaderWriter::appendsChunksToABareFile()
{
    QFETCH(int, frames);
    QFETCH(bool, withPad);
    const QByteArray audio = TestUtil::pcm(frames, 1, 24, 3);
    QByteArray file;
    if (withPad) {
        file = WavBuilder().chunk("fmt ", WavBuilder::fmtBody(1, 48000, 24)).chunk("data", audio).build();
    } else {
        file = WavBuilder().chunk("fmt ", WavBuilder::fmtBody(1, 48000, 24)).build();
        file.append("data");
        const quint32 le = qToLittleEndian(quint32(audio.size()));
        file.append(reinterpret_cast<const char*>(&le), 4);
        file.append(audio);
        qToLittleEndian(quint32(file.size() - 8), file.data() + 4);
    }
    const QString p = path("bare.wav");
    QVERIFY(TestUtil::writeFile(p, file));
    AudioFile f;
    QVERIFY(f.Open(p));
    QVERIFY(!f.m_info.hasBext && !f.m_info.hasIxml);
    f.SetSceneName("22");
    QVERIFY(f.UpdateAudioFile(true, true));

    const QByteArray after = TestUtil::readFile(p);
    QCOMPARE(after.left(file.size() - (withPad ? 1 : 0)).mid(44), file.mid(44, file.size() - 44 - (withPad ? 1 : 0)));
    QCOMPARE(qFromLittleEndian<quint32>(after.constData() + 4), quint32(after.size() - 8));
    const int ixmlAt = after.indexOf("iXML", file.size() - 1);
    QVERIFY(ixmlAt > 0 && ixmlAt % 2 == 0);
    QVERIFY(after.indexOf("bext", ixmlAt) > ixmlAt);
    AudioFile again;
    QVERIFY(again.Open(p));
    QCOMPARE(again.GetSceneName(), QString("22"));
    QVERIFY(again.m_info.hasBext);
    QCOMPARE(again.GetTotalSamples(), quint64(frames));
}

void TestHeaderWriter::reservedCharactersRoundTrip()
{
    const QString p = writeNew("chars.wav", 1);
    AudioFile f;
    QVERIFY(f.Open(p));
    const QString note = "Tom & Jerry <take 2> \"quoted\" 'single' é ✓ 100% %1";
    f.SetNotes(note);
    f.SetSceneName("A&B");
    QVERIFY(f.UpdateAudioFile(true, true));
    AudioFile again;
    QVERIFY(again.Open(p));
    QCOMPARE(again.m_info.ixml.NOTE, note);
    QCOMPARE(again.m_info.ixml.SCENE, QString("A&B"));
    QVERIFY(isWellFormed(chunkBody(TestUtil::readFile(p), again, again.m_ixmlDataPos)));
}

void TestHeaderWriter::neverWritesFlac()
{
    const QString src = QStringLiteral(VELMORA_TEST_DATA "/extensible-8bit-foreign-metadata.flac");
    const QString p = path("take.flac");
    QVERIFY(QFile::copy(src, p));
    QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = TestUtil::readFile(p);
    AudioFile f;
    QVERIFY(f.Open(p));
    f.SetSceneName("changed");
    QVERIFY(!f.UpdateAudioFile(true, true));
    QVERIFY(!f.WriteRiffHdrs());
    QCOMPARE(TestUtil::readFile(p), before);
}

void TestHeaderWriter::shortBextChunkIsNotOverwritten()
{
    // A 400-byte bext body: writing the 602-byte header there would run into
    // the chunk that follows.
    const QByteArray file = WavBuilder()
                                .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
                                .chunk("bext", WavBuilder::bextBody("sSCENE=1\r\n").left(400))
                                .chunk("data", TestUtil::pcm(50, 1, 16))
                                .build();
    const QString p = path("shortbext.wav");
    QVERIFY(TestUtil::writeFile(p, file));
    AudioFile f;
    QVERIFY(f.Open(p));
    QCOMPARE(f.GetSceneName(), QString("1"));
    f.SetSceneName("2");
    QVERIFY(!f.UpdateAudioFile(false, true));
    QCOMPARE(TestUtil::readFile(p), file);
}

void TestHeaderWriter::replacedFileIsNotPatched()
{
    const QString p = writeNew("stale.wav", 1);
    AudioFile f;
    QVERIFY(f.Open(p));
    // Another program replaces the file with a different layout.
    const QByteArray other = WavBuilder()
                                 .chunk("JUNK", QByteArray(100, 'j'))
                                 .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
                                 .chunk("data", TestUtil::pcm(4000, 1, 16))
                                 .build();
    QVERIFY(TestUtil::writeFile(p, other));
    f.SetNotes("late edit");
    QVERIFY(!f.UpdateAudioFile(true, true));
    QCOMPARE(TestUtil::readFile(p), other);
}

void TestHeaderWriter::maxDataSizeAndRename()
{
    const QString p = writeNew("r.wav", 2);
    AudioFile f;
    QVERIFY(f.Open(p));
    QCOMPARE(f.GetMaxDataSize(), quint32((4294967295ull - 45 - 6) & ~1ull));
    QVERIFY(f.ReNameAudioFile(path("renamed.wav")));
    QCOMPARE(QFileInfo(f.fileName()).fileName(), QString("renamed.wav"));
    QVERIFY(!QFileInfo::exists(p));
    // A failed rename leaves the take pointing at its real file.
    QVERIFY(!f.ReNameAudioFile(path("no/such/folder/x.wav")));
    QCOMPARE(QFileInfo(f.fileName()).fileName(), QString("renamed.wav"));
}

QTEST_GUILESS_MAIN(TestHeaderWriter)
#include "tst_headerwriter.moc"
