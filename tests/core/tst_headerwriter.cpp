#include "AudioFile.h"
#include "IxmlParser.h"
#include "TestUtil.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace SoundDefs;

namespace
{
// The iXML chunk of the take at path is one well-formed BWFXML document.
bool ixmlIsWellFormed(const QString& path)
{
    AudioFile f;
    if (!f.Open(path) || f.m_ixmlDataPos == 0 || !f.cFile::Open(QIODevice::ReadOnly) ||
        !f.Seek(f.m_ixmlDataPos, true))
        return false;
    QXmlStreamReader xml(f.read(f.m_ixmlChunkSize).trimmed());
    bool root = false;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && !root)
            root = xml.name() == QLatin1String("BWFXML");
    }
    return root && !xml.hasError();
}


QByteArray chunkBody(const QByteArray& file, quint64 pos)
{
    return file.mid(qsizetype(pos), qFromLittleEndian<quint32>(file.constData() + pos - 4));
}

QByteArray dataOf(const QByteArray& file)
{
    const QByteArray c = TestUtil::chunkOf(file, "data");
    return c.mid(8, qsizetype(qFromLittleEndian<quint32>(c.constData() + 4)));
}

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

const QByteArray kBrokenIxml = "<BWFXML><NOTE>Tom & Jerry</NOTE><FILE_SET><FAMILY_UID>F1"
                               "</FAMILY_UID></FILE_SET></BWFXML>";

} // namespace

class TestHeaderWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& n) const { return m_dir.filePath(n); }

    // Writes a new take through our own writer (scene 12A) and returns its path.
    QString writeNew(const QString& name, int channels, int tag = kFormatPcm)
    {
        TestTake t;
        t.channels = channels;
        t.formatTag = tag;
        t.bits = tag == kFormatFloat ? 32 : 24;
        return TestUtil::writeTake(path(name), t).isEmpty() ? QString() : path(name);
    }

private slots:
    // fmt, bext, iXML, data; the iXML document padded with 8 KiB of spaces to a
    // multiple of 4 for later edits in place. Float, so that the tag is not the default.
    void newFileLayout()
    {
        const int tag = kFormatFloat;
        const QString p = writeNew("new.wav", 3, tag);
        QVERIFY(!p.isEmpty());
        const QByteArray file = TestUtil::readFile(p);
        QCOMPARE(file.mid(12, 4), QByteArray("fmt "));
        QCOMPARE(qFromLittleEndian<quint16>(file.constData() + 20), quint16(tag));
        QCOMPARE(file.mid(36, 4), QByteArray("bext"));
        QCOMPARE(file.mid(36 + 610, 4), QByteArray("iXML"));
        QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 4), quint32(file.size() - 8));
        AudioFile f;
        QVERIFY(f.Open(p));
        const QByteArray body = chunkBody(file, f.m_ixmlDataPos);
        const QByteArray doc = f.RenderIxml().toUtf8();
        QVERIFY(body.startsWith(doc));
        QCOMPARE(body.size() % 4, 0);
        QVERIFY(body.size() - doc.size() >= 8193 && body.size() - doc.size() <= 8196);
        QVERIFY(body.mid(doc.size()).count(' ') == body.size() - doc.size());
        QCOMPARE(dataOf(file), TestUtil::pcm(1000, 3, 32));
    }

    void inPlaceWhenItFits()
    {
        const QString p = writeNew("fit.wav", 2);
        const QByteArray before = TestUtil::readFile(p);
        AudioFile f;
        QVERIFY(f.Open(p));
        f.SetNotes(QString(500, 'n'));
        QVERIFY(f.UpdateAudioFile(true, true));
        QByteArray after = TestUtil::readFile(p);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(dataOf(after), dataOf(before));
        QVERIFY(ixmlIsWellFormed(p));

        // Shorter text again: nothing of the longer document may remain.
        f.SetNotes("x");
        QVERIFY(f.UpdateAudioFile(true, true));
        const QByteArray body = chunkBody(TestUtil::readFile(p), f.m_ixmlDataPos);
        QVERIFY(!body.contains("nnn"));
        const int end = body.indexOf("</BWFXML>") + 9;
        QCOMPARE(body.mid(end).count(' '), body.size() - end);
        AudioFile again;
        QVERIFY(again.Open(p));
        QCOMPARE(again.GetNotes(), QString("x"));
        QCOMPARE(again.GetSceneName(), QString("12A"));

        // As when the reader did not place the chunk it listed: never a second iXML chunk.
        f.m_ixmlDataPos = 0;
        f.m_ixmlChunkSize = 0;
        f.SetNotes("once");
        QVERIFY(f.UpdateAudioFile(true, true));
        after = TestUtil::readFile(p);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.count("<BWFXML>"), 1);
        QCOMPARE(dataOf(after), dataOf(before));
    }

    void refusedUpdateLeavesTheFile_data()
    {
        QTest::addColumn<QString>("file");        // the take as it was opened
        QTest::addColumn<QByteArray>("replaced"); // what another program wrote since, if anything
        QTest::addColumn<bool>("longNote");       // set with a new scene and rate
        QTest::addColumn<bool>("ixml");
        QTest::addColumn<int>("room"); // bytes the file may still grow by; -1: no limit
        // The new notes do not fit the iXML chunk, and the new rate (which would
        // fit) must not be written alone.
        QTest::newRow("iXML does not fit")
            << writeNew("small.wav", 1) << QByteArray() << true << true << -1;
        const QString flac = path("take.flac");
        QFile::copy(QStringLiteral(VELMORA_TEST_DATA "/extensible-8bit-foreign-metadata.flac"),
                    flac);
        QFile::setPermissions(flac, QFile::ReadOwner | QFile::WriteOwner);
        QTest::newRow("FLAC") << flac << QByteArray() << false << true << -1;
        // A 400-byte bext body: writing the 602-byte header there would run into
        // the chunk that follows.
        const QString shortBext = path("shortbext.wav");
        TestUtil::writeFile(shortBext,
                            WavBuilder()
                                .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
                                .chunk("bext", WavBuilder::bextBody("sSCENE=1\r\n").left(400))
                                .chunk("data", TestUtil::pcm(50, 1, 16))
                                .build());
        QTest::newRow("short bext chunk") << shortBext << QByteArray() << false << false << -1;
        // Another program replaced the file with a different layout.
        QTest::newRow("replaced since it was read")
            << writeNew("stale.wav", 1)
            << WavBuilder()
                   .chunk("JUNK", QByteArray(100, 'j'))
                   .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
                   .chunk("data", TestUtil::pcm(4000, 1, 16))
                   .build()
            << false << true << -1;
        // A full disk while bext and iXML are appended to a bare take.
        const QString bare = path("full-disk.wav");
        TestUtil::writeFile(bare, WavBuilder()
                                      .chunk("fmt ", WavBuilder::fmtBody(2, 48000, 24))
                                      .chunk("data", TestUtil::pcm(500, 2, 24, 6))
                                      .build());
        QTest::newRow("no room") << bare << QByteArray() << false << true << 0;
        QTest::newRow("room for part of the iXML chunk")
            << bare << QByteArray() << false << true << 100;
        QTest::newRow("room for the iXML chunk, not the bext chunk")
            << bare << QByteArray() << false << true << 9000;
    }

    void refusedUpdateLeavesTheFile()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, replaced);
        QFETCH(bool, longNote);
        QFETCH(bool, ixml);
        QFETCH(int, room);
        AudioFile f;
        QVERIFY2(f.Open(file), qPrintable(f.errorText()));
        if (!replaced.isEmpty())
            QVERIFY(TestUtil::writeFile(file, replaced));
        const QByteArray before = TestUtil::readFile(file);
        f.SetSceneName("changed");
        f.SetSampleRate("96000");
        if (longNote)
            f.SetNotes(QString(9000, 'n'));
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (room >= 0)
                limit = std::make_unique<FileSizeLimit>(quint64(before.size() + room));
            QVERIFY(!f.UpdateAudioFile(ixml, true));
        }
        QVERIFY(!f.errorText().isEmpty());
        if (f.m_info.fileType == kFileTypeFlac)
            QVERIFY(!f.WriteRiffHdrs());
        QCOMPARE(TestUtil::readFile(file), before);
    }

    void assignmentCarriesTheDescription()
    {
        AudioFile edited;
        QVERIFY(edited.Open(writeNew("assign.wav", 2)));
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
    }

    void appendsChunksToABareFile_data()
    {
        QTest::addColumn<bool>("withPad"); // odd data size (101 frames of 24-bit mono)
        QTest::newRow("odd data without pad") << false;
        QTest::newRow("odd data with pad") << true;
    }

    void appendsChunksToABareFile()
    {
        QFETCH(bool, withPad);
        const QByteArray audio = TestUtil::pcm(101, 1, 24, 3);
        QByteArray file = WavBuilder()
                              .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 24))
                              .chunk("data", audio)
                              .build();
        if (!withPad) {
            file.chop(1);
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
        const int unpadded = int(file.size()) - (withPad ? 1 : 0);
        QCOMPARE(after.left(unpadded).mid(44), file.left(unpadded).mid(44));
        QCOMPARE(qFromLittleEndian<quint32>(after.constData() + 4), quint32(after.size() - 8));
        const int ixmlAt = after.indexOf("iXML", unpadded);
        QVERIFY(ixmlAt > 0 && ixmlAt % 2 == 0);
        QVERIFY(after.indexOf("bext", ixmlAt) > ixmlAt);
        AudioFile again;
        QVERIFY(again.Open(p));
        QCOMPARE(again.GetSceneName(), QString("22"));
        QCOMPARE(again.GetTotalSamples(), quint64(101));
    }

    void ixmlOfOtherPrograms_data()
    {
        QTest::addColumn<bool>("full");
        QTest::addColumn<int>("doc"); // 0: parses; 1: does not parse; 2: does not, rebuilt
        const char* const docs[] = {"foreign", "unparsable, refused", "unparsable, rebuilt"};
        for (int doc = 0; doc < 3; ++doc) {
            QTest::addRow("%s, in place", docs[doc]) << false << doc;
            QTest::addRow("%s, full write", docs[doc]) << true << doc;
        }
    }

    void ixmlOfOtherPrograms()
    {
        QFETCH(bool, full);
        QFETCH(int, doc);
        const QByteArray audio = TestUtil::pcm(300, 2, 16, 5);
        const QString p = path("foreign.wav");
        const QString out = full ? path("foreign-full.wav") : p;
        QFile::remove(path("foreign-full.wav"));
        QVERIFY(TestUtil::writeFile(p, takeWithIxml(doc ? kBrokenIxml : kForeignIxml, audio)));
        const QByteArray before = TestUtil::readFile(p);
        AudioFile f;
        QVERIFY(f.Open(p));
        const QString parserMessage = f.m_info.ixmlError;
        QCOMPARE(parserMessage.isEmpty(), doc == 0);
        f.m_rebuildIxml = doc == 2;
        f.SetNotes("new & note");
        f.m_info.channelList[0].name = QStringLiteral("Boom2");
        QCOMPARE(full ? fullWrite(f, out) : f.UpdateAudioFile(true, true), doc != 1);
        if (doc == 1) {
            QVERIFY(f.errorText().contains(QStringLiteral("does not parse")));
            QVERIFY(f.errorText().contains(parserMessage));
            QCOMPARE(TestUtil::readFile(p), before);
            QVERIFY(!full || !QFileInfo::exists(out));
            return;
        }
        QCOMPARE(dataOf(TestUtil::readFile(out)), audio);
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
        if (doc == 2)
            return;
        // What this program does not know is still there, in its order.
        const QStringList kept = {"<NOTE lang=\"en\">new &amp; note</NOTE>",
                                  "<LOCATION><LOCATION_NAME>Forest</LOCATION_NAME></LOCATION>",
                                  "<VENDOR_PULL>0</VENDOR_PULL>",
                                  "<NAME>Boom2</NAME><VENDOR_GAIN>-3</VENDOR_GAIN>",
                                  "<NAME>Lav</NAME>",
                                  "<AUX_DATA><SCRIPT_PAGE>12</SCRIPT_PAGE></AUX_DATA>",
                                  "<ACME_RECORDER serial=\"7\"/>"};
        qsizetype at = 0;
        for (const QString& k : kept) {
            const qsizetype i = back.m_info.ixmlDocument.indexOf(k, at);
            QVERIFY2(i >= at, qPrintable(k));
            at = i;
        }
    }

    void extensibleCopyKeepsItsForm()
    {
        // A copy at another rate: only the rate and byte rate of fmt change.
        const QString p = path("ext.wav");
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_TEST_DATA "/extensible-8bit-bext-ixml.wav"), p));
        const QByteArray source = TestUtil::readFile(p);
        AudioFile f;
        QVERIFY(f.Open(p));
        f.SetSampleRate("48000");
        const QString out = path("ext-copy.wav");
        QVERIFY(fullWrite(f, out, true));
        const QByteArray file = TestUtil::readFile(out);
        QByteArray fmt = TestUtil::chunkOf(source, "fmt ");
        QCOMPARE(fmt.size(), 48);
        qToLittleEndian(48000u, fmt.data() + 12);
        qToLittleEndian(48000u * qFromLittleEndian<quint16>(fmt.constData() + 20), fmt.data() + 16);
        QCOMPARE(TestUtil::chunkOf(file, "fmt "), fmt);
        // bext with its coding history, and every other chunk, byte for byte.
        for (const QByteArray id : {"bext", "iXML", "LIST", "MD5 ", "fact"})
            QCOMPARE(TestUtil::chunkOf(file, id), TestUtil::chunkOf(source, id));
        QCOMPARE(dataOf(file), dataOf(source));
    }

    // 6 channels of 24 bits, extensible with a 5.1 mask.
    void byteRateFollowsAnInPlaceRateChange()
    {
        const int channels = 6;
        QByteArray fmt = WavBuilder::fmtBody(channels, 48000, 24, 0xFFFE) +
                         QByteArray::fromHex("160018003f000000"
                                             "0100000000001000800000aa00389b71");
        const QByteArray audio = TestUtil::pcm(200, channels, 24, 4);
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
        qToLittleEndian(quint32(96000), fmt.data() + 4);
        qToLittleEndian(quint32(96000 * channels * 3), fmt.data() + 8);
        QCOMPARE(TestUtil::chunkOf(file, "fmt ").mid(8), fmt);
        QCOMPARE(dataOf(file), audio);
    }

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

QTEST_GUILESS_MAIN(TestHeaderWriter)
#include "tst_headerwriter.moc"
