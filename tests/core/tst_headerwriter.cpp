#include "AudioFile.h"
#include "IxmlParser.h"
#include "TestUtil.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <QXmlStreamReader>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace SoundDefs;

namespace
{

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

// The chunks of a RIFF file as (id, header offset), walked from its bytes.
QList<QPair<QByteArray, qsizetype>> chunksOf(const QByteArray& file)
{
    QList<QPair<QByteArray, qsizetype>> out;
    qsizetype pos = 12;
    while (pos + 8 <= file.size()) {
        const quint32 size = qFromLittleEndian<quint32>(file.constData() + pos + 4);
        out.append({file.mid(pos, 4), pos});
        pos += 8 + qsizetype(size) + (size & 1);
    }
    return out;
}

// The whole chunk (header, body and pad byte) with that id, or empty.
QByteArray wholeChunk(const QByteArray& file, const QByteArray& id)
{
    for (const auto& c : chunksOf(file)) {
        if (c.first == id) {
            const quint32 size = qFromLittleEndian<quint32>(file.constData() + c.second + 4);
            return file.mid(c.second, 8 + qsizetype(size) + (size & 1));
        }
    }
    return QByteArray();
}

QByteArray dataOf(const QByteArray& file)
{
    const QByteArray c = wholeChunk(file, "data");
    return c.mid(8, qsizetype(qFromLittleEndian<quint32>(c.constData() + 4)));
}

// Limits the size of the files this process writes while in scope; writes
// past it fail with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(quint64 bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        struct rlimit l = m_saved;
        l.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    struct rlimit m_saved;
};

// A take with a foreign iXML document between bext and data.
QByteArray takeWithIxml(const QByteArray& doc, const QByteArray& audio)
{
    return WavBuilder()
        .chunk("fmt ", WavBuilder::fmtBody(2, 48000, 16))
        .chunk("bext", WavBuilder::bextBody("sSCENE=1\r\n"))
        .chunk("iXML", doc + QByteArray(4000, ' '))
        .chunk("data", audio)
        .build();
}

const QByteArray kForeignIxml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n<IXML_VERSION>1.61</IXML_VERSION>\n"
    "<NOTE lang=\"en\">old</NOTE>\n<LOCATION><LOCATION_NAME>Forest</LOCATION_NAME></LOCATION>\n"
    "<SPEED><MASTER_SPEED>25/1</MASTER_SPEED><VENDOR_PULL>0</VENDOR_PULL></SPEED>\n"
    "<TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>\n"
    "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>"
    "<NAME>Boom</NAME><VENDOR_GAIN>-3</VENDOR_GAIN></TRACK>\n"
    "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX>"
    "<NAME>Lav</NAME></TRACK>\n</TRACK_LIST>\n"
    "<AUX_DATA><SCRIPT_PAGE>12</SCRIPT_PAGE></AUX_DATA>\n<ACME_RECORDER serial=\"7\"/>\n"
    "</BWFXML>";

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
    void refusedUpdateLeavesTheFile_data();
    void refusedUpdateLeavesTheFile();
    void assignmentCarriesTheDescription();
    void appendsChunksToABareFile_data();
    void appendsChunksToABareFile();
    void reservedCharactersRoundTrip();
    void maxDataSizeAndRename();
    void foreignIxmlKept_data();
    void foreignIxmlKept();
    void chunksCarriedThroughAFullWrite_data();
    void chunksCarriedThroughAFullWrite();
    void extensibleCopyKeepsItsForm_data();
    void extensibleCopyKeepsItsForm();
    void byteRateFollowsAnInPlaceRateChange_data();
    void byteRateFollowsAnInPlaceRateChange();
    void unparsableIxml_data();
    void unparsableIxml();
    void failedAppendLeavesTheFileAsItWas_data();
    void failedAppendLeavesTheFileAsItWas();
    void neverASecondIxmlChunk();

private:
    // Writes f's record as a full rewrite does into dst: headers, the audio
    // of the file f was read from, the chunks after it.
    bool fullWrite(AudioFile& f, const QString& dst, bool keepIxml = false)
    {
        QFile src(f.fileName());
        if (!src.open(QIODevice::ReadOnly))
            return false;
        src.seek(qint64(f.m_fileDataPos));
        const QByteArray audio = src.read(qint64(f.m_info.dataSize));
        const AudioFile::ChunkSource from{&src, keepIxml};
        f.setFileName(dst);
        if (!f.WriteRiffHdrs(from) || f.Write(audio.constData(), audio.size()) != audio.size() ||
            ((audio.size() & 1) && f.Write("\0", 1) != 1) || !f.WriteTrailingChunks(from))
            return false;
        f.Close();
        return true;
    }
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

void TestHeaderWriter::refusedUpdateLeavesTheFile_data()
{
    QTest::addColumn<QString>("file");        // the take as it was opened
    QTest::addColumn<QByteArray>("replaced"); // what another program wrote since, if anything
    QTest::addColumn<QString>("edit");        // "scene", "note", or "long note and rate"
    QTest::addColumn<bool>("ixml");
    QTest::addColumn<QString>("scene"); // as read
    // The new notes do not fit the iXML chunk, and the new rate (which would
    // fit) must not be written alone.
    QTest::newRow("iXML does not fit")
        << writeNew("small.wav", 1) << QByteArray() << "long note and rate" << true << "1";
    const QString flac = path("take.flac");
    QFile::copy(QStringLiteral(VELMORA_TEST_DATA "/extensible-8bit-foreign-metadata.flac"), flac);
    QFile::setPermissions(flac, QFile::ReadOwner | QFile::WriteOwner);
    QTest::newRow("FLAC") << flac << QByteArray() << "scene" << true << "SineWaveScene";
    // A 400-byte bext body: writing the 602-byte header there would run into
    // the chunk that follows.
    const QString shortBext = path("shortbext.wav");
    TestUtil::writeFile(shortBext,
                        WavBuilder()
                            .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
                            .chunk("bext", WavBuilder::bextBody("sSCENE=1\r\n").left(400))
                            .chunk("data", TestUtil::pcm(50, 1, 16))
                            .build());
    QTest::newRow("short bext chunk") << shortBext << QByteArray() << "scene" << false << "1";
    // Another program replaced the file with a different layout.
    QTest::newRow("replaced since it was read")
        << writeNew("stale.wav", 1)
        << WavBuilder()
               .chunk("JUNK", QByteArray(100, 'j'))
               .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
               .chunk("data", TestUtil::pcm(4000, 1, 16))
               .build()
        << "note" << true << "1";
}

void TestHeaderWriter::refusedUpdateLeavesTheFile()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, replaced);
    QFETCH(QString, edit);
    QFETCH(bool, ixml);
    QFETCH(QString, scene);
    AudioFile f;
    QVERIFY2(f.Open(file), qPrintable(f.errorText()));
    QCOMPARE(f.GetSceneName(), scene);
    if (!replaced.isEmpty())
        QVERIFY(TestUtil::writeFile(file, replaced));
    const QByteArray before = TestUtil::readFile(file);
    if (edit == "scene") {
        f.SetSceneName("changed");
    } else if (edit == "note") {
        f.SetNotes("late edit");
    } else {
        f.SetSampleRate("96000");
        f.SetNotes(QString(9000, 'n'));
    }
    QVERIFY(!f.UpdateAudioFile(ixml, true));
    if (f.m_info.fileType == kFileTypeFlac)
        QVERIFY(!f.WriteRiffHdrs());
    QCOMPARE(TestUtil::readFile(file), before);
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
        file = WavBuilder()
                   .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 24))
                   .chunk("data", audio)
                   .build();
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
    QCOMPARE(after.left(file.size() - (withPad ? 1 : 0)).mid(44),
             file.mid(44, file.size() - 44 - (withPad ? 1 : 0)));
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

void TestHeaderWriter::foreignIxmlKept_data()
{
    QTest::addColumn<bool>("full");
    QTest::newRow("in place") << false;
    QTest::newRow("full write") << true;
}

void TestHeaderWriter::foreignIxmlKept()
{
    QFETCH(bool, full);
    const QByteArray audio = TestUtil::pcm(300, 2, 16, 5);
    const QString p = path("foreign.wav");
    QVERIFY(TestUtil::writeFile(p, takeWithIxml(kForeignIxml, audio)));
    AudioFile f;
    QVERIFY(f.Open(p));
    QVERIFY(f.m_info.ixmlError.isEmpty());
    f.SetNotes("new & note");
    f.m_info.channelList[0].name = QStringLiteral("Boom2");
    QString out = p;
    if (full) {
        out = path("foreign-full.wav");
        QVERIFY(fullWrite(f, out));
    } else {
        QVERIFY(f.UpdateAudioFile(true, true));
    }
    const QByteArray file = TestUtil::readFile(out);
    QCOMPARE(dataOf(file), audio);
    AudioFile back;
    QVERIFY(back.Open(out));
    QVERIFY(back.m_info.ixmlError.isEmpty());
    QCOMPARE(back.GetNotes(), QStringLiteral("new & note"));
    // The iXML copy of the bext description says what the bext chunk says.
    QString bextDescription;
    back.m_bext.GetBextField(SoundDefs::cAudioBext::Description, bextDescription);
    QVERIFY(bextDescription.contains(QStringLiteral("sNOTE=new & note")));
    QCOMPARE(back.m_info.ixml.BWF_DESCRIPTION.replace("\r\n", "\n"),
             bextDescription.replace("\r\n", "\n"));
    QCOMPARE(back.m_info.ixml.tracks.at(0).name, QStringLiteral("Boom2"));
    QCOMPARE(back.m_info.ixml.tracks.at(1).name, QStringLiteral("Lav"));
    // What this program does not know is still there, in its order.
    const QString doc = back.m_info.ixmlDocument;
    const QStringList kept = {"<NOTE lang=\"en\">new &amp; note</NOTE>",
                              "<LOCATION><LOCATION_NAME>Forest</LOCATION_NAME></LOCATION>",
                              "<VENDOR_PULL>0</VENDOR_PULL>",
                              "<NAME>Boom2</NAME><VENDOR_GAIN>-3</VENDOR_GAIN>",
                              "<AUX_DATA><SCRIPT_PAGE>12</SCRIPT_PAGE></AUX_DATA>",
                              "<ACME_RECORDER serial=\"7\"/>"};
    qsizetype at = 0;
    for (const QString& k : kept) {
        const qsizetype i = doc.indexOf(k, at);
        QVERIFY2(i >= at, qPrintable(k));
        at = i;
    }
}

void TestHeaderWriter::chunksCarriedThroughAFullWrite_data()
{
    // Chunks as "ID:body length"; odd lengths carry a pad byte.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("beforeFmt"); // `before` stands before fmt instead of after iXML
    QTest::addColumn<int>("frames");     // 24-bit mono: odd frames, odd data

    QTest::newRow("cue and LIST before the audio")
        << QStringList{"cue :28", "LIST:40"} << QStringList{} << false << 100;
    QTest::newRow("LIST and a vendor chunk after odd audio")
        << QStringList{} << QStringList{"LIST:40", "ACME:7"} << false << 101;
    QTest::newRow("both sides, odd sizes")
        << QStringList{"umid:13"} << QStringList{"cue :25"} << false << 100;
    QTest::newRow("JUNK before fmt") << QStringList{"JUNK:28"} << QStringList{} << true << 100;
}

void TestHeaderWriter::chunksCarriedThroughAFullWrite()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(bool, beforeFmt);
    QFETCH(int, frames);
    auto body = [](const QString& entry) {
        QByteArray b;
        const int n = entry.section(':', 1).toInt();
        for (int i = 0; i < n; ++i)
            b.append(char('a' + (i * 7 + entry.at(0).unicode()) % 26));
        return b;
    };
    const QByteArray audio = TestUtil::pcm(frames, 1, 24, 9);
    WavBuilder w;
    auto addAll = [&](const QStringList& entries) {
        for (const QString& c : entries)
            w.chunk(c.left(4).toLatin1(), body(c));
    };
    if (beforeFmt)
        addAll(before);
    w.chunk("fmt ", WavBuilder::fmtBody(1, 48000, 24));
    w.chunk("iXML", kForeignIxml);
    if (!beforeFmt)
        addAll(before);
    w.chunk("data", audio);
    addAll(after);
    const QByteArray source = w.build();
    const QString p = path("carried.wav");
    QVERIFY(TestUtil::writeFile(p, source));

    AudioFile f;
    QVERIFY(f.Open(p));
    f.SetNotes("rewritten");
    const QString out = path("carried-out.wav");
    QVERIFY(fullWrite(f, out));
    const QByteArray file = TestUtil::readFile(out);
    QCOMPARE(dataOf(file), audio);
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 4), quint32(file.size() - 8));
    const qsizetype dataAt = file.indexOf(wholeChunk(file, "data"));
    for (const QString& c : before + after) {
        const QByteArray id = c.left(4).toLatin1();
        QCOMPARE(wholeChunk(file, id), wholeChunk(source, id));
        QCOMPARE(file.indexOf(wholeChunk(file, id)) < dataAt, before.contains(c));
    }
    AudioFile back;
    QVERIFY(back.Open(out));
    QVERIFY(back.m_info.damage.isEmpty());
    QCOMPARE(back.GetNotes(), QStringLiteral("rewritten"));
    QCOMPARE(file.count("iXML"), 1);
}

void TestHeaderWriter::extensibleCopyKeepsItsForm_data()
{
    QTest::addColumn<QString>("rate"); // empty: unchanged
    QTest::newRow("copy") << "";
    QTest::newRow("copy at another rate") << "48000";
}

void TestHeaderWriter::extensibleCopyKeepsItsForm()
{
    QFETCH(QString, rate);
    const QString p = path("ext.wav");
    QFile::remove(p);
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_TEST_DATA "/extensible-8bit-bext-ixml.wav"), p));
    const QByteArray source = TestUtil::readFile(p);
    AudioFile f;
    QVERIFY(f.Open(p));
    if (!rate.isEmpty())
        f.SetSampleRate(rate);
    const QString out = path("ext-copy.wav");
    QVERIFY(fullWrite(f, out, true));
    const QByteArray file = TestUtil::readFile(out);
    QByteArray fmt = wholeChunk(source, "fmt ");
    QCOMPARE(fmt.size(), 48);
    if (!rate.isEmpty()) {
        qToLittleEndian(rate.toUInt(), fmt.data() + 12);
        qToLittleEndian(rate.toUInt() * qFromLittleEndian<quint16>(fmt.constData() + 20),
                        fmt.data() + 16);
    }
    QCOMPARE(wholeChunk(file, "fmt "), fmt);
    for (const QByteArray id : {"iXML", "LIST", "MD5 ", "fact"})
        QCOMPARE(wholeChunk(file, id), wholeChunk(source, id));
    QCOMPARE(wholeChunk(file, "bext"), wholeChunk(source, "bext")); // coding history too
    QCOMPARE(dataOf(file), dataOf(source));
}

void TestHeaderWriter::byteRateFollowsAnInPlaceRateChange_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("extensible");
    QTest::newRow("mono 16") << 1 << 16 << false;
    QTest::newRow("stereo 24") << 2 << 24 << false;
    QTest::newRow("extensible 6 x 24") << 6 << 24 << true;
}

void TestHeaderWriter::byteRateFollowsAnInPlaceRateChange()
{
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(bool, extensible);
    QByteArray fmt = WavBuilder::fmtBody(channels, 48000, bits, extensible ? 0xFFFE : 1);
    if (extensible) {
        fmt.append(QByteArray::fromHex("1600")); // cbSize 22
        fmt.append(char(bits)).append('\0');
        fmt.append(QByteArray::fromHex("3f000000")); // 5.1 channel mask
        fmt.append(QByteArray::fromHex("0100000000001000800000aa00389b71"));
    }
    const QByteArray audio = TestUtil::pcm(200, channels, bits, 4);
    const QString p = path("rate.wav");
    QVERIFY(TestUtil::writeFile(p, WavBuilder()
                                       .chunk("fmt ", fmt)
                                       .chunk("iXML", kForeignIxml + QByteArray(3000, ' '))
                                       .chunk("data", audio)
                                       .build()));
    AudioFile f;
    QVERIFY(f.Open(p));
    f.SetSampleRate("96000");
    QVERIFY(f.UpdateAudioFile(true, false));
    const QByteArray file = TestUtil::readFile(p);
    const int align = channels * bits / 8;
    qToLittleEndian(quint32(96000), fmt.data() + 4);
    qToLittleEndian(quint32(96000 * align), fmt.data() + 8);
    QCOMPARE(wholeChunk(file, "fmt ").mid(8), fmt);
    QCOMPARE(dataOf(file), audio);
}

void TestHeaderWriter::unparsableIxml_data()
{
    QTest::addColumn<bool>("full");
    QTest::addColumn<bool>("rebuild");
    QTest::newRow("in place, refused") << false << false;
    QTest::newRow("full write, refused") << true << false;
    QTest::newRow("in place, rebuilt") << false << true;
    QTest::newRow("full write, rebuilt") << true << true;
}

void TestHeaderWriter::unparsableIxml()
{
    QFETCH(bool, full);
    QFETCH(bool, rebuild);
    const QByteArray audio = TestUtil::pcm(100, 2, 16, 2);
    const QString p = path("broken.wav");
    QVERIFY(TestUtil::writeFile(
        p, takeWithIxml("<BWFXML><NOTE>Tom & Jerry</NOTE><FILE_SET><FAMILY_UID>F1</FAMILY_UID>"
                        "</FILE_SET></BWFXML>",
                        audio)));
    const QByteArray before = TestUtil::readFile(p);
    AudioFile f;
    QVERIFY(f.Open(p));
    QVERIFY(!f.m_info.ixmlError.isEmpty());
    f.m_rebuildIxml = rebuild;
    f.SetNotes("fixed");
    const QString out = full ? path("broken-full.wav") : p;
    QFile::remove(path("broken-full.wav"));
    const QString parserMessage = f.m_info.ixmlError;
    const bool written = full ? fullWrite(f, out) : f.UpdateAudioFile(true, true);
    QCOMPARE(written, rebuild);
    if (!rebuild) {
        QVERIFY(f.errorText().contains(QStringLiteral("does not parse")));
        QVERIFY(f.errorText().contains(parserMessage));
        QCOMPARE(TestUtil::readFile(p), before);
        QVERIFY(!full || !QFileInfo::exists(out));
        return;
    }
    AudioFile back;
    QVERIFY(back.Open(out));
    QVERIFY(back.m_info.ixmlError.isEmpty());
    QCOMPARE(back.GetNotes(), QStringLiteral("fixed"));
    QCOMPARE(dataOf(TestUtil::readFile(out)), audio);
}

void TestHeaderWriter::failedAppendLeavesTheFileAsItWas_data()
{
    QTest::addColumn<int>("room"); // bytes the file may still grow by
    QTest::newRow("no room") << 0;
    QTest::newRow("part of the iXML chunk") << 100;
    QTest::newRow("the iXML chunk, not the bext chunk") << 9000;
}

void TestHeaderWriter::failedAppendLeavesTheFileAsItWas()
{
    QFETCH(int, room);
    const QString p = path("full-disk.wav");
    QVERIFY(TestUtil::writeFile(p, WavBuilder()
                                       .chunk("fmt ", WavBuilder::fmtBody(2, 48000, 24))
                                       .chunk("data", TestUtil::pcm(500, 2, 24, 6))
                                       .build()));
    const QByteArray before = TestUtil::readFile(p);
    AudioFile f;
    QVERIFY(f.Open(p));
    f.SetSampleRate("96000");
    f.SetSceneName("14");
    {
        FileSizeLimit limit(quint64(before.size() + room));
        QVERIFY(!f.UpdateAudioFile(true, true));
    }
    QVERIFY(!f.errorText().isEmpty());
    QCOMPARE(TestUtil::readFile(p), before);
}

void TestHeaderWriter::neverASecondIxmlChunk()
{
    const QString p = writeNew("one-ixml.wav", 2);
    const QByteArray before = TestUtil::readFile(p);
    AudioFile f;
    QVERIFY(f.Open(p));
    // As when the reader did not place the chunk it listed.
    f.m_ixmlDataPos = 0;
    f.m_ixmlChunkSize = 0;
    f.SetNotes("once");
    QVERIFY(f.UpdateAudioFile(true, true));
    const QByteArray after = TestUtil::readFile(p);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.count("<BWFXML>"), 1);
    QCOMPARE(dataOf(after), dataOf(before));
    AudioFile back;
    QVERIFY(back.Open(p));
    QCOMPARE(back.GetNotes(), QStringLiteral("once"));
}

QTEST_GUILESS_MAIN(TestHeaderWriter)
#include "tst_headerwriter.moc"
