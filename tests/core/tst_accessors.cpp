#include "AudioFile.h"
#include "TestUtil.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace SoundDefs;

class TestAccessors : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // A take with the given bext description and iXML body (either may be empty
    // to leave that chunk out).
    bool open(AudioFile& f, const QByteArray& description, const QByteArray& ixmlInner,
              int channels = 1)
    {
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(channels, 48000, 24));
        if (!description.isNull())
            b.chunk("bext", WavBuilder::bextBody(description, 0, "Orig"));
        if (!ixmlInner.isNull())
            b.chunk("iXML", "<BWFXML>" + ixmlInner + "</BWFXML>");
        b.chunk("data", TestUtil::pcm(10, channels, 24));
        const QString p = m_dir.filePath("t.wav");
        return b.writeTo(p) && f.Open(p);
    }

private slots:
    void priorities_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QByteArray>("ixml");
        QTest::addColumn<QString>("getter");
        QTest::addColumn<QString>("expected");
        const QByteArray none; // null: chunk absent
        const auto row = [](const char* name, const QByteArray& description, const QByteArray& ixml,
                            const char* getter, const char* expected) {
            QTest::newRow(name) << description << ixml << QString(getter) << QString(expected);
        };
        row("scene: iXML first", "sSCENE=12\r\n", "<SCENE>14</SCENE>", "scene", "14");
        row("scene: empty iXML falls back", "sSCENE=12\r\n", "<SCENE></SCENE>", "scene", "12");
        row("project: bext first", "sPROJECT=A\r\n", "<PROJECT>B</PROJECT>", "project", "A");
        row("project: iXML when no entry", "sSCENE=1\r\n", "<PROJECT>B</PROJECT>", "project", "B");
        row("take 7 shown as 07", none, "<TAKE>7</TAKE>", "take", "07");
        row("take 7A unchanged", "sTAKE=7A\r\n", none, "take", "7A");
        row("note on one line", none, "<NOTE>a\nb</NOTE>", "notes", "a b");
        row("ubits: bext first", "sUBITS=11\r\n", "<UBITS>22</UBITS>", "ubits", "11");
        row("file name: description only", "sFILENAME=T1.WAV\r\n",
            "<HISTORY><CURRENT_FILENAME>X</CURRENT_FILENAME></HISTORY>", "filename", "T1.WAV");
        row("master speed: FRAMERATE when no SPEED", "sFRAMERATE=25ND\r\n",
            "<SPEED><MASTER_SPEED>25/1</MASTER_SPEED></SPEED>", "masterspeed", "25ND");
        row("master speed: iXML last", "sSCENE=1\r\n",
            "<SPEED><MASTER_SPEED>25/1</MASTER_SPEED></SPEED>", "masterspeed", "25/1");
        row("originator from header", "sSCENE=1\r\n", none, "originator", "Orig");
    }

    void priorities()
    {
        QFETCH(QByteArray, description);
        QFETCH(QByteArray, ixml);
        QFETCH(QString, getter);
        QFETCH(QString, expected);
        AudioFile f;
        QVERIFY(open(f, description, ixml));
        const QHash<QString, std::function<QString()>> getters = {
            {"scene", [&] { return f.GetSceneName(); }},
            {"project", [&] { return f.GetProjectName(); }},
            {"take", [&] { return f.GetTakeName(); }},
            {"notes", [&] { return f.GetNotes(); }},
            {"ubits", [&] { return f.GetUBITs(); }},
            {"filename", [&] { return f.GetFileName(); }},
            {"masterspeed", [&] { return f.GetMasterSpeed(); }},
            {"user", [&] { return f.GetUserInfo(); }},
            {"originator", [&] { return f.GetOriginatorName(); }},
        };
        QCOMPARE(getters.value(getter)(), expected);
    }

    // A setter writes the iXML field and the bext entry (appended with the
    // prefix when there is none); the getter reads the value back.
    void settersUpdateBothCopies()
    {
        AudioFile f;
        QVERIFY(open(f, "sSCENE=12\r\nsTAKE=3\r\n", "<SCENE></SCENE><CIRCLED>TRUE</CIRCLED>"));
        const auto bext = [&f](const char* key) {
            QString v;
            return f.m_bext.GetDescriptionValue(key, v, true) ? v : QString("absent");
        };
        const AudioIxmlData& x = f.m_info.ixml;
        f.SetSceneName("15B");
        f.SetTapeName("R2");
        QCOMPARE((QStringList{x.SCENE, bext("sSCENE"), bext("sTAPE"), f.GetSceneName()}),
                 (QStringList{"15B", "15B", "R2", "15B"}));
        f.SetFrameRate("29.97 DF");
        f.SetFrameRate("31 ND"); // not a rate: nothing changes
        QCOMPARE((QStringList{x.TIMECODE_RATE, x.TIMECODE_FLAG, bext("sSPEED"), f.GetFrameRate()}),
                 (QStringList{"30000/1001", "DF", "029.970-DF", "29.97 DF"}));
        QCOMPARE(f.GetCircled(), QString("Y"));
        f.SetCircled("y"); // only "Y" circles a take
        QCOMPARE((QStringList{x.CIRCLED, bext("sCIRCLED"), f.GetCircled()}),
                 (QStringList{"FALSE", "FALSE", " "}));
        f.SetCircled("Y");
        QCOMPARE((QStringList{x.CIRCLED, bext("sCIRCLED"), f.GetCircled()}),
                 (QStringList{"TRUE", "TRUE", "Y"}));
        f.SetOriginatorReference("REF-1");
        QCOMPARE(f.GetOriginatorReference() + x.BWF_ORIGINATOR_REFERENCE, QString("REF-1REF-1"));
    }

    void wildIsWorkedOutFromTheTake_data()
    {
        QTest::addColumn<QByteArray>("ixml");
        QTest::addColumn<QString>("wild");
        const char* const cases[][3] = {
            {"12w", "<TAKE>12w</TAKE>", "Y"},
            {"12W", "<TAKE>12W</TAKE>", "Y"},
            {"12", "<TAKE>12</TAKE>", " "},
            {"flag wins", "<TAKE>12w</TAKE><WILD_TRACK>FALSE</WILD_TRACK>", " "},
        };
        for (const auto& c : cases)
            QTest::newRow(c[0]) << QByteArray(c[1]) << QString(c[2]);
    }

    void wildIsWorkedOutFromTheTake()
    {
        QFETCH(QByteArray, ixml);
        QFETCH(QString, wild);
        AudioFile f;
        QVERIFY(open(f, QByteArray(), ixml));
        QCOMPARE(f.GetWild(), wild);
        QCOMPARE(f.m_info.ixml.WILD_TRACK, wild == "Y" ? "TRUE" : "FALSE");
    }

    void tracksInfo()
    {
        AudioFile f;
        QVERIFY(open(f, "sTRK1=a\r\nsTRK2=b\r\nsTRK3=c\r\n", QByteArray(), 3));
        QList<QStringList> rows = f.GetTracksInfo();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(2), (QStringList{"3", "1", "c", ""}));
        rows[0] = QStringList{"1", "1", "Boom", "BOOM"};
        rows[1] = QStringList{"2", "1", "three items"};   // wrong size: unchanged
        rows.append(QStringList{"4", "4", "beyond", ""}); // beyond the channels: ignored
        f.SetTracksInfo(rows);
        QCOMPARE(f.m_info.channelList.at(0).name, QString("Boom"));
        QCOMPARE(f.m_info.channelList.at(0).function, QString("BOOM"));
        QCOMPARE(f.m_info.channelList.at(1).name, QString("b"));
        QCOMPARE(f.m_info.channelList.size(), 3);
        QStringList keys, values;
        QVERIFY(f.m_bext.GetDescriptionValues("TRK", keys, values));
        QCOMPARE(values, (QStringList{"Boom", "b", "c"}));
        QCOMPARE(f.GetChanelIndex(), 1);
        // The iXML TRACK elements follow the channel list.
        QVERIFY(f.RenderIxml().contains("<NAME>Boom</NAME>"));
    }

    void creatingMetadataForABareTake()
    {
        // A take with neither bext nor iXML gets both on its first edit.
        AudioFile f;
        QVERIFY(open(f, QByteArray(), QByteArray(), 3));
        f.SetSceneName("4");
        QVERIFY(f.m_info.hasBext && f.m_info.hasIxml);
        QCOMPARE(f.m_info.ixml.CURRENT_FILENAME, QString("t.wav"));
        QCOMPARE(f.m_info.ixml.trackCount, 3);
        QVERIFY(f.GetOriginatorName().startsWith("Quorlan: VL20 S#"));
        QCOMPARE(f.GetOriginatorName().mid(16), f.GetOriginatorReference().mid(7));
        // The recorder serial is the one in the identifiers of the file set.
        const QString serial = f.GetOriginatorName().mid(16);
        QCOMPARE(f.m_info.ixml.FAMILY_UID, f.m_info.ixml.FAMILY_UID.left(30) + "00");
        QCOMPARE(f.m_info.ixml.FILE_UID.mid(5, 12) + f.m_info.ixml.FILE_UID.right(2),
                 serial + "01");
        const QString doc = f.RenderIxml();
        QCOMPARE(doc.count("<TRACK>"), 3);
        QVERIFY(!doc.contains("SYNC_POINT_LIST"));
    }

    void sampleRateSetterRefusesNonsense()
    {
        AudioFile f;
        QVERIFY(open(f, "sSCENE=1\r\n", "<SCENE>1</SCENE>"));
        f.SetSampleRate("0");
        f.SetSampleRate("fast");
        QCOMPARE(f.GetSampleRate(), 48000u);
        f.SetSampleRate("48048");
        QCOMPARE(f.GetSampleRate(), 48048u);
    }
};

QTEST_GUILESS_MAIN(TestAccessors)
#include "tst_accessors.moc"
