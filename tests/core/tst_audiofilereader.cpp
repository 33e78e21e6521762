#include "AudioFile.h"
#include "TestUtil.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace SoundDefs;

namespace
{
const QByteArray kIxml = "<?xml version=\"1.0\"?><BWFXML><SCENE>12A</SCENE><TAKE>3</TAKE>"
                         "<SPEED><TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</"
                         "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI><TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>"
                         "96000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED></BWFXML>";
const QByteArray kBextDesc = "sSCENE=9\r\nsTAKE=1\r\nsTRK1=Boom\r\nsTRK2=Lav\r\n";

// A 2-channel 16-bit take: fmt at 12, bext at 36, iXML at 646, then data.
// Every frame is 4 bytes.
constexpr int kFrames = 500;
QByteArray evenIxml()
{
    return kIxml.size() % 2 ? kIxml + ' ' : kIxml;
}
int dataHeaderPos()
{
    return 654 + int(evenIxml().size());
}

// The take with the data size field given (-1: true size) and extra bytes
// after the data chunk.
QByteArray sizedTake(qint64 dataSize, const QByteArray& after = QByteArray(), qint64 riff = -1)
{
    const QByteArray audio = TestUtil::pcm(kFrames, 2, 16);
    WavBuilder b;
    b.chunk("fmt ", WavBuilder::fmtBody(2, 48000, 16))
        .chunk("bext", WavBuilder::bextBody(kBextDesc, 4800))
        .chunk("iXML", evenIxml())
        .rawChunk("data", dataSize < 0 ? quint32(audio.size()) : quint32(dataSize), audio);
    QByteArray file = b.build() + after;
    const quint32 riffSize = riff < 0 ? quint32(file.size() - 8) : quint32(riff);
    qToLittleEndian(riffSize, file.data() + 4);
    return file;
}
} // namespace

class TestAudioFileReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    // The row name is the chunk order (ids of three letters end in a blank).
    void chunkOrders_data()
    {
        QTest::addColumn<QString>("scene"); // from iXML when present, else bext
        QTest::addColumn<quint64>("timeReference");
        QTest::newRow("fmt bext iXML data") << "12A" << quint64(96000);
        QTest::newRow("fmt bext data iXML") << "12A" << quint64(96000);
        QTest::newRow("bext JUNK fmt data") << "9" << quint64(4800);
        QTest::newRow("iXML fmt PAD data bext") << "12A" << quint64(4800); // the last bext wins
        // Chunks of an unknown id have odd sizes here: the pad byte is skipped.
        QTest::newRow("fmt odd! iXML data") << "12A" << quint64(96000);
    }

    void chunkOrders()
    {
        const QStringList order = QString(QTest::currentDataTag()).split(' ');
        QFETCH(QString, scene);
        QFETCH(quint64, timeReference);
        WavBuilder b;
        for (const QString& id : order) {
            if (id == "fmt")
                b.chunk("fmt ", WavBuilder::fmtBody(2, 48000, 24));
            else if (id == "bext")
                b.chunk("bext", WavBuilder::bextBody(kBextDesc, 4800));
            else if (id == "iXML")
                b.chunk("iXML", kIxml);
            else if (id == "data")
                b.chunk("data", TestUtil::pcm(100, 2, 24));
            else
                b.chunk(id.toLatin1().leftJustified(4, ' '), QByteArray(13, 'j'));
        }
        QVERIFY(b.writeTo(path("order.wav")));
        AudioFile f;
        QVERIFY2(f.Open(path("order.wav")), qPrintable(f.errorText()));
        QCOMPARE(f.GetTotalSamples(), quint64(100));
        QCOMPARE(f.GetSceneName(), scene);
        QCOMPARE(f.m_info.timeReference, timeReference);
        QVERIFY(f.m_fmtDataPos > 0 && f.m_fileDataPos > 0);
        QCOMPARE(f.m_bextDataPos > 0, order.contains("bext"));
        QCOMPARE(f.m_ixmlDataPos > 0, order.contains("iXML"));
        // The data position really is the first sample byte.
        QCOMPARE(b.build().mid(int(f.m_fileDataPos) - 8, 4), QByteArray("data"));
    }

    void unusableFormatFails_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("zero channels") << WavBuilder()
                                              .chunk("fmt ", WavBuilder::fmtBody(0, 48000, 24))
                                              .chunk("data", "")
                                              .build()
                                       << "no usable fmt";
        QTest::newRow("no fmt") << WavBuilder().chunk("data", "abcd").build() << "no usable fmt";
        QTest::newRow("short fmt")
            << WavBuilder().chunk("fmt ", QByteArray(10, '\1')).build() << "no usable fmt";
        QTest::newRow("RIFF AIFF") << QByteArray("RIFF\4\0\0\0AIFF", 12) << "another form";
        QTest::newRow("RF64") << WavBuilder()
                                     .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
                                     .build()
                                     .replace(0, 4, "RF64")
                              << "RF64 takes are not supported yet";
        QTest::newRow("text") << QByteArray("hello world") << "neither";
        QTest::newRow("empty") << QByteArray() << "neither";
    }

    void unusableFormatFails()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QVERIFY(TestUtil::writeFile(path("bad.wav"), file));
        AudioFile f;
        QVERIFY(!f.Open(path("bad.wav")));
        QVERIFY2(f.errorText().contains(reason), qPrintable(f.errorText()));
        QCOMPARE(f.m_info.fileType, kFileTypeNone);
        QCOMPARE(TestUtil::readFile(path("bad.wav")), file); // untouched
    }

    void lyingChunkSizesStayBounded_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::newRow("iXML") << QByteArray("iXML");
        QTest::newRow("bext") << QByteArray("bext");
        QTest::newRow("unknown") << QByteArray("LIST");
    }

    void lyingChunkSizesStayBounded()
    {
        QFETCH(QByteArray, id);
        // A 1 KiB file whose last chunk claims 4 GiB: opens at once with what is there.
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16)).chunk("data", TestUtil::pcm(100, 1, 16));
        b.rawChunk(id, 0xFFFFFFF0u, kIxml + QByteArray(1024 - 300 - kIxml.size(), ' '));
        QVERIFY(b.writeTo(path("lie.wav"), 0xFFFFFFF8));
        AudioFile f;
        QVERIFY2(f.Open(path("lie.wav")), qPrintable(f.errorText()));
        QCOMPARE(f.GetTotalSamples(), quint64(100));
        if (id == "iXML") {
            QCOMPARE(f.GetSceneName(), QString("12A"));
            QVERIFY(f.m_ixmlChunkSize <= f.m_fileSize - f.m_ixmlDataPos);
        }
    }

    void dataBeyondRiffEndsTheWalk()
    {
        // A streaming recorder's data size 0xFFFFFFFF: samples run to the end of
        // the file and bytes inside them are never taken for chunks.
        QByteArray audio = TestUtil::pcm(64, 1, 16);
        audio.replace(0, 12, QByteArray("bext\x40\0\0\0zzzz", 12));
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16)).rawChunk("data", 0xFFFFFFFFu, audio);
        QVERIFY(b.writeTo(path("stream.wav")));
        AudioFile f;
        QVERIFY(f.Open(path("stream.wav")));
        QCOMPARE(f.m_info.hasBext, false);
        QCOMPARE(f.m_info.dataSize, quint64(128));
    }

    void ixmlEncodingAndUnpaddedText_data()
    {
        QTest::addColumn<QByteArray>("body"); // of even size: no pad byte after the last '>'
        const QString doc = "<BWFXML><SCENE>Café</SCENE><NOTE>x</NOTE></BWFXML>";
        QTest::newRow("UTF-8") << ' ' + doc.toUtf8();
        QTest::newRow("Latin-1") << doc.toLatin1();
    }

    void ixmlEncodingAndUnpaddedText()
    {
        QFETCH(QByteArray, body);
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16)).chunk("iXML", body).chunk("data", "ab");
        QVERIFY(b.writeTo(path("enc.wav")));
        AudioFile f;
        QVERIFY(f.Open(path("enc.wav")));
        QCOMPARE(f.GetSceneName(), QString("Café"));
        QCOMPARE(f.GetNotes(), QString("x")); // the closing tag was kept, so NOTE parsed
    }

    void extensibleFormatKeepsSubformatTag()
    {
        // cbSize, valid bits, channel mask, then the float subformat GUID.
        const QByteArray fmt = WavBuilder::fmtBody(2, 48000, 32, 0xFFFE) +
                               QByteArray::fromHex("1600200003000000"
                                                   "0300000000001000800000aa00389b71");
        QVERIFY(WavBuilder()
                    .chunk("fmt ", fmt)
                    .chunk("data", QByteArray(16, '\0'))
                    .writeTo(path("f.wav")));
        AudioFile f;
        QVERIFY(f.Open(path("f.wav")));
        QCOMPARE(f.m_info.formatTag, kFormatFloat);
        QCOMPARE(f.GetTotalSamples(), quint64(2));
    }

    void realFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("scene");
        QTest::newRow("extensible wav") << "extensible-8bit-bext-ixml.wav" << 1 << "SineWaveScene";
        QTest::newRow("flac") << "extensible-8bit-foreign-metadata.flac" << 1 << "SineWaveScene";
        QTest::newRow("daw stereo") << "daw-stereo-ixml.wav" << 2 << "";
    }

    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, channels);
        QFETCH(QString, scene);
        const QString p = QStringLiteral(VELMORA_TEST_DATA "/") + file;
        const QByteArray before = TestUtil::readFile(p);
        AudioFile f;
        QVERIFY2(f.Open(p), qPrintable(f.errorText()));
        QCOMPARE(f.m_info.fileType, file.endsWith("flac") ? kFileTypeFlac : kFileTypeWave);
        QCOMPARE(int(f.GetChannels()), channels);
        QCOMPARE(f.GetSampleRate(), channels == 1 ? 44100u : 48000u);
        QCOMPARE(f.GetSceneName(), scene);
        // Their iXML documents parse (one holds raw bytes, a NUL among them, in an element).
        QCOMPARE(f.m_info.ixmlError, QString());
        QCOMPARE(TestUtil::readFile(p), before);
    }

    void sizeFieldsAgainstTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("frames"); // what playback sees
        using K = AudioFile::SizeDamage;
        const int data = dataHeaderPos() + 8;
        const int bytes = kFrames * 4;
        const QString d = QStringLiteral("the data chunk at byte %1 declares %2 bytes, ").arg(data);

        QTest::newRow("sound") << sizedTake(-1) << "" << int(K::None) << kFrames;
        QTest::newRow("data size 0xFFFFFFFF")
            << sizedTake(0xFFFFFFFF) << d.arg(4294967295u) + QString("the file holds %1").arg(bytes)
            << int(K::DataSize) << kFrames;
        QTest::newRow("data 0, RIFF 36 (power loss)")
            << sizedTake(0, QByteArray(), 36) << d.arg(0) + QString("%1 follow").arg(bytes)
            << int(K::DataSize) << kFrames;
        QTest::newRow("partial frame after whole frames")
            << sizedTake(-1, "\x01\x02\x03") << "" << int(K::None) << kFrames;
        QTest::newRow("frame after the data") << sizedTake(-1, "\x01\x02\x03\x04\x05")
                                              << d.arg(bytes) + QString("%1 follow").arg(bytes + 5)
                                              << int(K::DataSize) << kFrames + 1;
        QTest::newRow("RIFF short")
            << sizedTake(-1, QByteArray(), 36)
            << QString("the RIFF size declares 44 bytes, the file holds %1").arg(data + bytes)
            << int(K::RiffSize) << kFrames;
        QTest::newRow("RIFF counts a missing pad byte")
            << sizedTake(-1, QByteArray(), data + bytes - 7) << "" << int(K::None) << kFrames;

        // The iXML size 8 bytes too large: its end falls inside the data chunk.
        QByteArray over = sizedTake(-1);
        qToLittleEndian(quint32(evenIxml().size() + 8), over.data() + 650);
        QTest::newRow("chunk runs into the next")
            << over
            << QString(
                   "the iXML chunk at byte 654 declares %1 bytes, no chunk header follows it at "
                   "byte %2")
                   .arg(evenIxml().size() + 8)
                   .arg(dataHeaderPos() + 8)
            << int(K::Chunks) << 0;
        // A chunk after the audio that claims more than the file holds.
        const QByteArray tail("LIST\x00\x10\x00\x00"
                              "abcd",
                              12);
        QTest::newRow("chunk past the end of the file")
            << sizedTake(-1, tail)
            << QString("the LIST chunk at byte %1 declares 4096 bytes, the file holds 4")
                   .arg(data + bytes + 8)
            << int(K::Chunks) << kFrames;
    }

    void sizeFieldsAgainstTheFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, damage);
        QFETCH(int, kind);
        QFETCH(int, frames);
        QVERIFY(TestUtil::writeFile(path("sized.wav"), file));
        AudioFile f;
        QVERIFY2(f.Open(path("sized.wav")), qPrintable(f.errorText()));
        QCOMPARE(f.m_info.damage, damage);
        QCOMPARE(int(f.m_sizeDamage), kind);
        // Damaged or not, the take reads with its metadata and its audio.
        QCOMPARE(f.GetSceneName(), QString("12A"));
        QCOMPARE(f.GetTotalSamples(), quint64(frames));
        if (frames > 0) {
            const QByteArray audio = TestUtil::pcm(kFrames, 2, 16);
            QCOMPARE(f.m_fileDataPos, quint64(dataHeaderPos() + 8));
            QCOMPARE(file.mid(int(f.m_fileDataPos), kFrames * 4), audio);
        }
        // No chunk was taken from inside the audio.
        for (const RiffChunkRef& c : f.m_info.chunks)
            QVERIFY2(c.headerPos < quint64(dataHeaderPos() + 8) ||
                         c.headerPos >= quint64(dataHeaderPos() + 8 + kFrames * 4),
                     c.id.constData());
    }

    void unpaddedOddChunks_data()
    {
        QTest::addColumn<QByteArray>("oddId");
        QTest::addColumn<bool>("padded");
        QTest::newRow("odd chunk before iXML, no pad") << QByteArray("odd!") << false;
        QTest::newRow("odd iXML before data, no pad") << QByteArray("iXML") << false;
        QTest::newRow("odd iXML before data, padded") << QByteArray("iXML") << true;
    }

    void unpaddedOddChunks()
    {
        QFETCH(QByteArray, oddId);
        QFETCH(bool, padded);
        const QByteArray oddIxml = kIxml.size() % 2 ? kIxml : kIxml + ' ';
        const QByteArray audio = TestUtil::pcm(50, 1, 16);
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16));
        if (oddId == "iXML")
            b.chunk("iXML", oddIxml);
        else
            b.chunk(oddId, QByteArray(7, 'x')).chunk("iXML", evenIxml());
        b.chunk("data", audio);
        QByteArray file = b.build();
        const int oddBody = 44;
        const int oddSize = oddId == "iXML" ? int(oddIxml.size()) : 7;
        if (!padded) {
            file.remove(oddBody + oddSize, 1); // the pad byte
            qToLittleEndian(quint32(file.size() - 8), file.data() + 4);
        }
        QVERIFY(TestUtil::writeFile(path("unpadded.wav"), file));
        AudioFile f;
        QVERIFY2(f.Open(path("unpadded.wav")), qPrintable(f.errorText()));
        QCOMPARE(f.m_info.damage, QString());
        QCOMPARE(f.GetSceneName(), QString("12A"));
        QCOMPARE(file.mid(int(f.m_ixmlDataPos) - 8, 4), QByteArray("iXML"));
        QCOMPARE(file.mid(int(f.m_fileDataPos) - 8, 4), QByteArray("data"));
        QCOMPARE(file.mid(int(f.m_fileDataPos), int(f.m_info.dataSize)), audio);
        // An in-place update may fill the iXML body, never the next header.
        const int end = int(f.m_ixmlDataPos + f.m_ixmlChunkSize);
        QCOMPARE(int(f.m_ixmlChunkSize), int(oddId == "iXML" ? oddIxml.size() : evenIxml().size()));
        QCOMPARE(file.mid(end + (padded && oddId == "iXML" ? 1 : 0), 4), QByteArray("data"));
        QStringList ids;
        for (const RiffChunkRef& c : f.m_info.chunks) {
            ids << QString::fromLatin1(c.id);
            QCOMPARE(file.mid(int(c.headerPos), 4), c.id);
            QCOMPARE(c.bodyPos, c.headerPos + 8);
        }
        QCOMPARE(ids.last(), QString("data"));
        QCOMPARE(ids.count("iXML"), 1);
    }

    void pathsThatAreNoTakes_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << path("none.wav") << "no such file";
        QTest::newRow("folder") << m_dir.path() << "is a folder, not a take file";
        // A device never reads as a take (nor stalls the reader).
        QTest::newRow("device") << "/dev/zero"
                                << "not a regular file";
        // A symbolic link to a take reads as the take; its name stays the link's.
        WavBuilder()
            .chunk("fmt ", WavBuilder::fmtBody(1, 48000, 16))
            .chunk("data", TestUtil::pcm(10, 1, 16))
            .writeTo(path("target.wav"));
        QFile::link(path("target.wav"), path("link.wav"));
        QTest::newRow("symbolic link to a take") << path("link.wav") << "";
    }

    void pathsThatAreNoTakes()
    {
        QFETCH(QString, target);
        QFETCH(QString, error);
        AudioFile f;
        QCOMPARE(f.Open(target), error.isEmpty());
        QCOMPARE(f.errorText(), error);
        QCOMPARE(f.fileName(), error.isEmpty() ? target : f.fileName());
        QVERIFY(!QFileInfo::exists(path("none.wav"))); // reading never creates a file
    }
};

QTEST_GUILESS_MAIN(TestAudioFileReader)
#include "tst_audiofilereader.moc"
