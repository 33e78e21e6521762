#include "IxmlMerger.h"
#include "IxmlParser.h"
#include "cXmlWriter.h"

#include <QtTest>

using namespace SoundDefs;

namespace
{

QString render(const AudioFileInfo& info)
{
    QString out;
    cAudioXmlWriter w(&info, &out);
    w.startDoc();
    w.WriteXmlData();
    w.Publish();
    return out;
}

AudioFileInfo reparse(const QString& doc, bool* ok = nullptr)
{
    AudioFileInfo back;
    IxmlParser p(back);
    p.initParser();
    const bool parsed = p.parse(doc);
    if (ok)
        *ok = parsed;
    return back;
}

AudioChannelInfo channel(int index, const QString& name)
{
    AudioChannelInfo c;
    c.channelIndex = index;
    c.interleaveIndex = index;
    c.name = name;
    c.function = QStringLiteral("F") + QString::number(index);
    return c;
}

} // namespace

// A document as another recorder or program writes it: comments, CDATA,
// entities, attributes, self-closing elements and elements of its own.
static const char* const kForeignDoc =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- written elsewhere -->\n"
    "<BWFXML xmlns:v=\"urn:vendor\">\n"
    "\t<IXML_VERSION>1.61</IXML_VERSION>\n"
    "\t<PROJECT lang=\"en\">Old</PROJECT>\n"
    "\t<SCENE/>\n"
    "\t<NOTE>Tom &amp; Jerry <![CDATA[<raw>]]></NOTE>\n"
    "\t<LOCATION><LOCATION_NAME>Forest</LOCATION_NAME><LOCATION_GPS>1,2</LOCATION_GPS></LOCATION>\n"
    "\t<SPEED>\n"
    "\t\t<MASTER_SPEED>24/1</MASTER_SPEED>\n"
    "\t\t<v:PULLDOWN>none</v:PULLDOWN>\n"
    "\t</SPEED>\n"
    "\t<AUX_DATA type=\"x\">keep</AUX_DATA>\n"
    "</BWFXML>";

// One edit of kForeignDoc through the merger: the document after it is the
// document with `from` replaced by `to`, byte for byte.
struct MergeCase {
    const char* name;
    const char* field; // a record field path; empty: no edit
    const char* value;
    const char* from;
    const char* to;
};
const MergeCase kMergeCases[] = {
    {"no edit: every byte kept", "", "", "", ""},
    {"text replaced, attribute kept", "PROJECT", "New", "<PROJECT lang=\"en\">Old<",
     "<PROJECT lang=\"en\">New<"},
    {"self-closing element filled", "SCENE", "12A", "<SCENE/>", "<SCENE>12A</SCENE>"},
    {"new text escaped", "NOTE", "a < b & c", "Tom &amp; Jerry <![CDATA[<raw>]]>",
     "a &lt; b &amp; c"},
    {"vendor child of SPEED kept", "SPEED/MASTER_SPEED", "25/1", "24/1", "25/1"},
    {"missing element added at the end of its parent", "TAPE", "R7", "</AUX_DATA>\n",
     "</AUX_DATA>\n\t<TAPE>R7</TAPE>\n"},
    {"missing container added", "HISTORY/PARENT_FILENAME", "A.WAV", "</AUX_DATA>\n",
     "</AUX_DATA>\n\t<HISTORY>\n\t<PARENT_FILENAME>A.WAV</PARENT_FILENAME>\n\t</HISTORY>\n"},
};

// One TRACK element as the tests write it, with a vendor child.
static QString trackElement(int index, const QString& name, int gain)
{
    return QStringLiteral("<TRACK><CHANNEL_INDEX>%1</CHANNEL_INDEX><INTERLEAVE_INDEX>%1"
                          "</INTERLEAVE_INDEX><NAME>%2</NAME><v:GAIN>%3</v:GAIN></TRACK>")
        .arg(index)
        .arg(name)
        .arg(gain);
}

class TestXmlWriter : public QObject
{
    Q_OBJECT

private slots:
    void exactLines()
    {
        AudioFileInfo info;
        info.ixml.SCENE = "12A";
        info.ixml.trackCount = 2;
        info.channelList << channel(1, "Boom");
        info.ixml.tracks << channel(9, "stale"); // the TRACK_LIST follows the channel list
        const QString doc = render(info);
        QVERIFY(doc.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BWFXML>\r\n"
                               "<IXML_VERSION></IXML_VERSION>\r\n<PROJECT></PROJECT>\r\n"
                               "<SCENE>12A</SCENE>\r\n"));
        QVERIFY(doc.endsWith(
            "<TRACK_LIST>\r\n<TRACK_COUNT>2</TRACK_COUNT>\r\n<TRACK>\r\n"
            "<CHANNEL_INDEX>1</CHANNEL_INDEX>\r\n<INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>"
            "\r\n<NAME>Boom</NAME>\r\n<FUNCTION>F1</FUNCTION>\r\n</TRACK>\r\n"
            "</TRACK_LIST>\r\n</BWFXML>\r\n"));
        // Every line break is "\r\n"; there is no indentation.
        QCOMPARE(doc.count(QLatin1Char('\n')), doc.count(QStringLiteral("\r\n")));
        QCOMPARE(doc.count(QLatin1Char('\r')), doc.count(QStringLiteral("\r\n")));
        QVERIFY(!doc.contains(QRegularExpression("\n[ \t]")));
    }

    void noListsWithoutCounts()
    {
        AudioFileInfo info;
        info.channelList << channel(1, "Boom");
        info.ixml.tracks << channel(1, "Boom");
        info.ixml.syncPoints.resize(2);
        const QString doc = render(info);
        QVERIFY(!doc.contains(QRegularExpression("<TRACK|<SYNC_POINT")));
    }

    void roundTripEveryField()
    {
        AudioFileInfo info;
        for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
            info.ixml.Text(i) = QStringLiteral("value %1 <&> of ").arg(i) +
                                QString::fromLatin1(AudioIxmlData::Fields()[i].path);
        AudioSyncPoint sp;
        sp.type = "RELATIVE";
        sp.function = "SLATE_GENERIC";
        sp.low = "4294967295";
        sp.high = "1";
        sp.eventDuration = "4800";
        info.ixml.syncPoints << sp << sp;
        info.ixml.syncPointCount = 2;

        bool ok = false;
        const AudioFileInfo back = reparse(render(info), &ok);
        QVERIFY(ok);
        for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
            QCOMPARE(back.ixml.Text(i), info.ixml.Text(i));
        QCOMPARE(back.ixml.syncPointCount, 2);
        QCOMPARE(back.ixml.syncPoints[1].low, sp.low);
        QCOMPARE(back.ixml.syncPoints[1].eventDuration, sp.eventDuration);
    }

    void escapingRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        const QString unicode = QString::fromUtf8("Caf\xc3\xa9 \xe2\x98\x85 \xf0\x9f\x8e\xac");
        QTest::newRow("markup") << "<NOTE>Tom & Jerry</NOTE>"
                                << "<NOTE>Tom & Jerry</NOTE>";
        QTest::newRow("crlf") << "line1\r\nline2\rline3\n"
                              << "line1\r\nline2\rline3\n";
        QTest::newRow("unicode") << unicode << unicode;
        QTest::newRow("control characters and nul left out") << QString::fromLatin1("a\x01"
                                                                                    "b\x1f"
                                                                                    "c\x0b"
                                                                                    "d\0e",
                                                                                    9)
                                                             << "abcde";
        QTest::newRow("lone surrogate and non-characters left out")
            << (QStringLiteral("a") + QChar(0xD800) + QChar(0xFFFE) + QChar(0xFFFF) + "b") << "ab";
    }

    void escapingRoundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QString, readBack);
        AudioFileInfo info;
        info.ixml.NOTE = value;
        info.ixml.TAKE = "after"; // must survive whatever NOTE holds
        info.ixml.trackCount = 1;
        info.channelList << channel(1, value);
        bool ok = false;
        const AudioFileInfo back = reparse(render(info), &ok);
        QVERIFY(ok);
        QCOMPARE(back.ixml.NOTE, readBack);
        QCOMPARE(back.ixml.TAKE, QStringLiteral("after"));
        QCOMPARE(back.ixml.tracks.value(0).name, readBack);
    }

    void mergeChangesOnlyWhatDiffers_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kMergeCases)); ++i)
            QTest::newRow(kMergeCases[i].name) << i;
    }

    void mergeChangesOnlyWhatDiffers()
    {
        QFETCH(int, row);
        const MergeCase& c = kMergeCases[row];
        const QString field(c.field);
        const QString doc = QString::fromUtf8(kForeignDoc);
        bool ok = false;
        AudioFileInfo info = reparse(doc, &ok);
        QVERIFY(ok);
        for (const AudioIxmlData::FieldDef& f : AudioIxmlData::Fields()) {
            if (field == QLatin1String(f.path))
                info.ixml.*(f.member) = QString::fromUtf8(c.value);
        }
        QString merged;
        QVERIFY(IxmlMerger::merge(doc, info, merged));
        QString expected = doc;
        expected.replace(QString(c.from), QString(c.to));
        QCOMPARE(merged, expected);
    }

    void mergeTracks_data()
    {
        QTest::addColumn<QString>("channels"); // "index:name" per channel, in order
        QTest::addColumn<QString>("expected"); // the TRACK_LIST content after TRACK_COUNT

        QTest::newRow("name changed, vendor child kept")
            << "1:Boom,2:Lav" << trackElement(1, "Boom", -3) + trackElement(2, "Lav", -6);
        QTest::newRow("split keeps the children of the channel kept")
            << "3:C" << trackElement(3, "C", -9);
        QTest::newRow("track added after the last")
            << "1:A,2:B,3:C,4:D"
            << trackElement(1, "A", -3) + trackElement(2, "B", -6) + trackElement(3, "C", -9) +
                   "\r\n<TRACK>\r\n<CHANNEL_INDEX>4</CHANNEL_INDEX>\r\n<INTERLEAVE_INDEX>4"
                   "</INTERLEAVE_INDEX>\r\n<NAME>D</NAME>\r\n<FUNCTION></FUNCTION>\r\n</TRACK>";
    }

    void mergeTracks()
    {
        QFETCH(QString, channels);
        QFETCH(QString, expected);
        const QString doc = "<BWFXML><TRACK_LIST><TRACK_COUNT>3</TRACK_COUNT>" +
                            trackElement(1, "A", -3) + trackElement(2, "B", -6) +
                            trackElement(3, "C", -9) +
                            "</TRACK_LIST><LOCATION>x</LOCATION></BWFXML>";
        AudioFileInfo info = reparse(doc);
        info.channelList.clear();
        for (const QString& c : channels.split(QLatin1Char(','))) {
            AudioChannelInfo ch;
            ch.channelIndex = c.section(QLatin1Char(':'), 0, 0).toInt();
            ch.interleaveIndex = ch.channelIndex;
            ch.name = c.section(QLatin1Char(':'), 1);
            info.channelList.append(ch);
        }
        info.ixml.trackCount = int(info.channelList.size());
        QString merged;
        QVERIFY(IxmlMerger::merge(doc, info, merged));
        const QString count = QString::number(info.channelList.size());
        QCOMPARE(merged, QStringLiteral("<BWFXML><TRACK_LIST><TRACK_COUNT>") + count +
                             "</TRACK_COUNT>" + expected +
                             "</TRACK_LIST><LOCATION>x</LOCATION></BWFXML>");
    }
};

QTEST_GUILESS_MAIN(TestXmlWriter)
#include "tst_xmlwriter.moc"
