#include "IxmlParser.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace SoundDefs;

namespace
{

struct ParseResult {
    bool ok = false;
    QString error;
};

ParseResult parseInto(AudioFileInfo& info, const QString& doc)
{
    IxmlParser parser(info);
    parser.initParser();
    ParseResult r;
    r.ok = parser.parse(doc);
    r.error = parser.lastError();
    return r;
}

QString wrap(const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BWFXML>\r\n") + body +
           QStringLiteral("\r\n</BWFXML>\r\n");
}

// Element path "SPEED/NOTE" as nested elements holding text.
QString element(const QString& path, const QString& text)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    QString open, close;
    for (const QString& p : parts) {
        open += QLatin1Char('<') + p + QLatin1Char('>');
        close.prepend(QStringLiteral("</") + p + QLatin1Char('>'));
    }
    return open + text + close;
}

int nonEmptyTexts(const AudioIxmlData& x)
{
    int n = 0;
    for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
        n += x.Text(i).isEmpty() ? 0 : 1;
    return n;
}

} // namespace

class TestIxmlParser : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldUnderItsParent_data();
    void everyFieldUnderItsParent();
    void noteUnderTwoParents();
    void ignoredPlacements_data();
    void ignoredPlacements();
    void tracks();
    void trackWithoutNameIsReset();
    void trackIndexNotANumber();
    void syncPointsKeepMissingFields();
    void initParserKeepsTextsClearsCollections();
    void blanks();
    void lastValueWins();
    void malformedKeepsEarlierFields_data();
    void malformedKeepsEarlierFields();
    void escapedTextIsWhole_data();
    void escapedTextIsWhole();
    void textAfterChildNotAttributedToIt();
    void paddingAfterRootIsIgnored();
    void attributesAreIgnored();
    void deepNesting();
    void hugeText();
    void manyTracks();
};

void TestIxmlParser::everyFieldUnderItsParent_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
        QTest::newRow(AudioIxmlData::Fields()[i].path) << i;
}

void TestIxmlParser::everyFieldUnderItsParent()
{
    QFETCH(int, index);
    const QString path = QString::fromLatin1(AudioIxmlData::Fields()[index].path);
    AudioFileInfo info;
    const QString value = QStringLiteral("v-") + path;
    QVERIFY(parseInto(info, wrap(element(path, value))).ok);
    QCOMPARE(info.ixml.Text(index), value);
    QCOMPARE(nonEmptyTexts(info.ixml), 1);
}

void TestIxmlParser::noteUnderTwoParents()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<NOTE>take note</NOTE><SPEED><NOTE>speed note</NOTE>"
                                 "</SPEED>"))
                .ok);
    QCOMPARE(info.ixml.NOTE, QStringLiteral("take note"));
    QCOMPARE(info.ixml.SPEED_NOTE, QStringLiteral("speed note"));
}

void TestIxmlParser::ignoredPlacements_data()
{
    QTest::addColumn<QString>("doc");
    const QString decl = QStringLiteral("<?xml version=\"1.0\"?>");

    QTest::newRow("known element in wrong parent") << wrap("<SPEED><PROJECT>P</PROJECT></SPEED>");
    QTest::newRow("unknown element") << wrap("<CUSTOM>P</CUSTOM>");
    QTest::newRow("known leaf below unknown element")
        << wrap("<CUSTOM><PROJECT>P</PROJECT></CUSTOM>");
    QTest::newRow("known node below unknown element")
        << wrap("<CUSTOM><SPEED><NOTE>N</NOTE></SPEED></CUSTOM>");
    QTest::newRow("leaf nested in a leaf") << wrap("<SCENE><PROJECT>P</PROJECT></SCENE>");
    QTest::newRow("deeply below unknown") << wrap("<A><B><C><D><SCENE>1</SCENE></D></C></B></A>");
    QTest::newRow("track outside track list") << wrap("<TRACK><NAME>Boom</NAME></TRACK>");
    QTest::newRow("root not BWFXML") << decl + "<OTHER><PROJECT>P</PROJECT></OTHER>";
    QTest::newRow("BWFXML not at the root")
        << decl + "<OTHER><BWFXML><PROJECT>P</PROJECT></BWFXML></OTHER>";
    QTest::newRow("case-sensitive names") << wrap("<project>P</project><Scene>1</Scene>");
    QTest::newRow("prefixed name") << decl + "<x:BWFXML xmlns:x=\"urn:x\"><PROJECT>P</PROJECT>"
                                             "</x:BWFXML>";
}

void TestIxmlParser::ignoredPlacements()
{
    QFETCH(QString, doc);
    AudioFileInfo info;
    QVERIFY(parseInto(info, doc).ok);
    QCOMPARE(nonEmptyTexts(info.ixml), 0);
    QCOMPARE(info.ixml.trackCount, 0);
    QVERIFY(info.ixml.tracks.isEmpty());
}

void TestIxmlParser::tracks()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<TRACK_LIST><TRACK_COUNT>5</TRACK_COUNT>"
                                 "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX>"
                                 "<INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>Boom</NAME>"
                                 "<FUNCTION>LEFT</FUNCTION></TRACK>"
                                 "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX>"
                                 "<INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Lav</NAME></TRACK>"
                                 "</TRACK_LIST>"))
                .ok);
    QCOMPARE(info.ixml.trackCount, 2);
    QCOMPARE(info.ixml.tracks.size(), 2);
    QCOMPARE(info.ixml.tracks[0].name, QStringLiteral("Boom"));
    QCOMPARE(info.ixml.tracks[0].function, QStringLiteral("LEFT"));
    QCOMPARE(info.ixml.tracks[0].channelIndex, 1);
    QCOMPARE(info.ixml.tracks[1].name, QStringLiteral("Lav"));
    QCOMPARE(info.ixml.tracks[1].function, QString());
    QCOMPARE(info.ixml.tracks[1].interleaveIndex, 2);
    // The track list fills tracks only; the channel list is the reader's.
    QVERIFY(info.channelList.isEmpty());
}

void TestIxmlParser::trackWithoutNameIsReset()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<TRACK_LIST><TRACK><CHANNEL_INDEX>3</CHANNEL_INDEX>"
                                 "<NAME>Boom</NAME></TRACK><TRACK></TRACK></TRACK_LIST>"))
                .ok);
    QCOMPARE(info.ixml.tracks.size(), 2);
    QCOMPARE(info.ixml.tracks[1].name, QString());
    QCOMPARE(info.ixml.tracks[1].channelIndex, 0);
}

void TestIxmlParser::trackIndexNotANumber()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<TRACK_LIST><TRACK><CHANNEL_INDEX>two</CHANNEL_INDEX>"
                                 "<INTERLEAVE_INDEX>99999999999</INTERLEAVE_INDEX></TRACK>"
                                 "</TRACK_LIST>"))
                .ok);
    QCOMPARE(info.ixml.tracks.size(), 1);
    QCOMPARE(info.ixml.tracks[0].channelIndex, 0);
    QCOMPARE(info.ixml.tracks[0].interleaveIndex, 0);
}

void TestIxmlParser::syncPointsKeepMissingFields()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<SYNC_POINT_LIST><SYNC_POINT_COUNT>9</SYNC_POINT_COUNT>"
                                 "<SYNC_POINT><SYNC_POINT_TYPE>RELATIVE</SYNC_POINT_TYPE>"
                                 "<SYNC_POINT_FUNCTION>SLATE_GENERIC</SYNC_POINT_FUNCTION>"
                                 "<SYNC_POINT_LOW>100</SYNC_POINT_LOW>"
                                 "<SYNC_POINT_HIGH>0</SYNC_POINT_HIGH>"
                                 "<SYNC_POINT_EVENT_DURATION>4800</SYNC_POINT_EVENT_DURATION>"
                                 "</SYNC_POINT>"
                                 "<SYNC_POINT><SYNC_POINT_LOW>200</SYNC_POINT_LOW></SYNC_POINT>"
                                 "</SYNC_POINT_LIST>"))
                .ok);
    QCOMPARE(info.ixml.syncPointCount, 2);
    QCOMPARE(info.ixml.syncPoints.size(), 2);
    const AudioSyncPoint& second = info.ixml.syncPoints[1];
    QCOMPARE(second.low, QStringLiteral("200"));
    QCOMPARE(second.function, QStringLiteral("SLATE_GENERIC"));
    QCOMPARE(second.type, QStringLiteral("RELATIVE"));
    QCOMPARE(second.eventDuration, QStringLiteral("4800"));
    QCOMPARE(second.eventDurationCopy, QStringLiteral("4800"));
    QCOMPARE(info.ixml.syncPoints[0].low, QStringLiteral("100"));
}

void TestIxmlParser::initParserKeepsTextsClearsCollections()
{
    AudioFileInfo info;
    info.ixml.SCENE = "old";
    info.ixml.trackCount = 4;
    info.ixml.tracks.resize(4);
    info.ixml.syncPointCount = 1;
    info.ixml.syncPoints.resize(1);
    QVERIFY(parseInto(info, wrap("<TAKE>2</TAKE>")).ok);
    QCOMPARE(info.ixml.SCENE, QStringLiteral("old"));
    QCOMPARE(info.ixml.TAKE, QStringLiteral("2"));
    QCOMPARE(info.ixml.trackCount, 0);
    QVERIFY(info.ixml.tracks.isEmpty());
    QCOMPARE(info.ixml.syncPointCount, 0);
    QVERIFY(info.ixml.syncPoints.isEmpty());
}

void TestIxmlParser::blanks()
{
    AudioFileInfo info;
    info.ixml.TAPE = "kept";
    QVERIFY(parseInto(info, wrap("<SCENE> 12A </SCENE>\r\n\t<TAPE> \t\r\n </TAPE>"
                                 "<NOTE>\tline1\nline2 </NOTE>"))
                .ok);
    QCOMPARE(info.ixml.SCENE, QStringLiteral(" 12A "));
    QCOMPARE(info.ixml.TAPE, QStringLiteral("kept"));
    QCOMPARE(info.ixml.NOTE, QStringLiteral("\tline1\nline2 "));
}

void TestIxmlParser::lastValueWins()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<SCENE>1</SCENE><SCENE>2</SCENE>")).ok);
    QCOMPARE(info.ixml.SCENE, QStringLiteral("2"));
}

void TestIxmlParser::malformedKeepsEarlierFields_data()
{
    QTest::addColumn<QString>("doc");
    const QString head = QStringLiteral("<?xml version=\"1.0\"?>\n<BWFXML>\n<PROJECT>P</PROJECT>\n"
                                        "<SCENE>12A</SCENE>\n");
    QTest::newRow("truncated") << head + "<TAKE>3</TA";
    QTest::newRow("mismatched tag") << head + "<TAKE>3</TAPE></BWFXML>";
    QTest::newRow("bad entity") << head + "<TAKE>3 &bogus; 4</TAKE></BWFXML>";
    QTest::newRow("raw ampersand") << head + "<TAKE>3 & 4</TAKE></BWFXML>";
    QTest::newRow("unclosed root") << head;
    QTest::newRow("control character") << head + "<TAKE>3\x01</TAKE></BWFXML>";
}

void TestIxmlParser::malformedKeepsEarlierFields()
{
    QFETCH(QString, doc);
    AudioFileInfo info;
    const ParseResult r = parseInto(info, doc);
    QVERIFY(!r.ok);
    QCOMPARE(info.ixml.PROJECT, QStringLiteral("P"));
    QCOMPARE(info.ixml.SCENE, QStringLiteral("12A"));
    QCOMPARE(info.ixml.TAKE, QString());
    QVERIFY2(r.error.startsWith("SAX Parser: Parse error at line "), qPrintable(r.error));
    QVERIFY(r.error.contains(", column "));
}

void TestIxmlParser::escapedTextIsWhole_data()
{
    QTest::addColumn<QString>("xmlText");
    QTest::addColumn<QString>("stored");

    QTest::newRow("ampersand") << "A &amp; B"
                               << "A & B";
    QTest::newRow("angle brackets") << "&lt;b&gt;x&lt;/b&gt;"
                                    << "<b>x</b>";
    QTest::newRow("leading entity") << "&amp;x"
                                    << "&x";
    QTest::newRow("quotes") << "&quot;x&apos;"
                            << "\"x'";
    QTest::newRow("character references")
        << "caf&#233; &#x2605;" << QString::fromUtf8("caf\xc3\xa9 \xe2\x98\x85");
    QTest::newRow("carriage return reference") << "a&#13;&#10;b"
                                               << "a\r\nb";
    QTest::newRow("cdata") << "x<![CDATA[ <&> ]]>y"
                           << "x <&> y";
    QTest::newRow("comment inside text") << "A<!-- c -->B"
                                         << "AB";
    QTest::newRow("percent") << "50% %1"
                             << "50% %1";
    QTest::newRow("blank entity text") << "&#32;"
                                       << "";
}

void TestIxmlParser::escapedTextIsWhole()
{
    QFETCH(QString, xmlText);
    QFETCH(QString, stored);
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap("<NOTE>" + xmlText + "</NOTE>")).ok);
    QCOMPARE(info.ixml.NOTE, stored);
}

void TestIxmlParser::textAfterChildNotAttributedToIt()
{
    AudioFileInfo info;
    const ParseResult r =
        parseInto(info, wrap("<PROJECT>P</PROJECT>stray<SPEED><NOTE>N</NOTE>more</SPEED>"
                             "<SCENE>1<X/>after</SCENE>"));
    QVERIFY(r.ok);
    QCOMPARE(info.ixml.PROJECT, QStringLiteral("P"));
    QCOMPARE(info.ixml.SPEED_NOTE, QStringLiteral("N"));
    QCOMPARE(info.ixml.SCENE, QStringLiteral("1"));
}

void TestIxmlParser::paddingAfterRootIsIgnored()
{
    AudioFileInfo info;
    QString doc = wrap("<SCENE>1</SCENE>") + QString(100, QLatin1Char(' '));
    doc += QChar(0);
    doc += QStringLiteral("<PROJECT>junk</PROJECT>");
    const ParseResult r = parseInto(info, doc);
    QVERIFY(r.ok);
    QVERIFY(r.error.isEmpty());
    QCOMPARE(info.ixml.SCENE, QStringLiteral("1"));
    QCOMPARE(info.ixml.PROJECT, QString());
}

void TestIxmlParser::attributesAreIgnored()
{
    AudioFileInfo info;
    QVERIFY(parseInto(info, "<BWFXML version=\"1.5\"><SCENE PROJECT=\"x\" a='b'>4</SCENE>"
                            "<TRACK_LIST n=\"1\"><TRACK NAME=\"attr\"><NAME>Boom</NAME>"
                            "</TRACK></TRACK_LIST></BWFXML>")
                .ok);
    QCOMPARE(info.ixml.SCENE, QStringLiteral("4"));
    QCOMPARE(info.ixml.PROJECT, QString());
    QCOMPARE(info.ixml.tracks.size(), 1);
    QCOMPARE(info.ixml.tracks[0].name, QStringLiteral("Boom"));
}

void TestIxmlParser::deepNesting()
{
    const int depth = 200000;
    QString doc = QStringLiteral("<BWFXML><PROJECT>P</PROJECT>");
    doc.reserve(depth * 8 + 200);
    for (int i = 0; i < depth; ++i)
        doc += QStringLiteral("<A>");
    doc += QStringLiteral("<SCENE>inner</SCENE>");
    for (int i = 0; i < depth; ++i)
        doc += QStringLiteral("</A>");
    doc += QStringLiteral("<TAKE>7</TAKE></BWFXML>");

    AudioFileInfo info;
    QElapsedTimer t;
    t.start();
    QVERIFY(parseInto(info, doc).ok);
    QVERIFY(t.elapsed() < 20000);
    QCOMPARE(info.ixml.PROJECT, QStringLiteral("P"));
    QCOMPARE(info.ixml.SCENE, QString());
    QCOMPARE(info.ixml.TAKE, QStringLiteral("7"));
}

void TestIxmlParser::hugeText()
{
    // Many small character tokens (one per entity) make up one element text.
    const int pieces = 300000;
    QString text;
    text.reserve(pieces * 6);
    for (int i = 0; i < pieces; ++i)
        text += QStringLiteral("a&amp;");
    AudioFileInfo info;
    QElapsedTimer t;
    t.start();
    QVERIFY(parseInto(info, wrap("<NOTE>" + text + "</NOTE>")).ok);
    QVERIFY(t.elapsed() < 20000);
    QCOMPARE(info.ixml.NOTE.size(), qsizetype(pieces) * 2);
    QVERIFY(info.ixml.NOTE.startsWith("a&a&"));
}

void TestIxmlParser::manyTracks()
{
    QString body = QStringLiteral("<TRACK_LIST>");
    for (int i = 1; i <= 5000; ++i)
        body += QStringLiteral("<TRACK><CHANNEL_INDEX>%1</CHANNEL_INDEX></TRACK>").arg(i);
    body += QStringLiteral("</TRACK_LIST>");
    AudioFileInfo info;
    QVERIFY(parseInto(info, wrap(body)).ok);
    QCOMPARE(info.ixml.trackCount, 5000);
    QCOMPARE(info.ixml.tracks.last().channelIndex, 5000);
}

QTEST_GUILESS_MAIN(TestIxmlParser)
#include "tst_ixmlparser.moc"
