#include "IxmlParser.h"

#include <QtTest>

using namespace SoundDefs;

namespace
{

QString wrap(const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BWFXML>\r\n") + body +
           QStringLiteral("\r\n</BWFXML>\r\n");
}

// Parses doc into info and returns what it stored: every non-empty text field
// as "PATH=value", then one line per track and per sync point, and "failed"
// when the parse failed (error: the parser's message).
QStringList parse(AudioFileInfo& info, const QString& doc, QString* error = nullptr)
{
    IxmlParser parser(info);
    parser.initParser();
    const bool ok = parser.parse(doc);
    if (error)
        *error = parser.lastError();
    QStringList out;
    const AudioIxmlData& x = info.ixml;
    for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
        if (!x.Text(i).isEmpty())
            out << QString::fromLatin1(AudioIxmlData::Fields()[i].path) + '=' + x.Text(i);
    for (const AudioChannelInfo& t : x.tracks)
        out << QStringLiteral("track %1/%2 %3|%4")
                   .arg(t.channelIndex)
                   .arg(t.interleaveIndex)
                   .arg(t.name, t.function);
    for (const AudioSyncPoint& s : x.syncPoints)
        out << QStringLiteral("sync %1|%2|%3|%4|%5|%6")
                   .arg(s.type, s.function, s.low, s.high, s.eventDuration, s.eventDurationCopy);
    if (x.trackCount != x.tracks.size() || x.syncPointCount != x.syncPoints.size())
        out << QStringLiteral("counts %1 %2").arg(x.trackCount).arg(x.syncPointCount);
    if (!ok)
        out << QStringLiteral("failed");
    return out;
}

} // namespace

class TestIxmlParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("doc");
        QTest::addColumn<QString>("expected"); // what was stored, joined by ", "
        // Bodies inside the BWFXML root.
        const char* const wrapped[][3] = {
            {"note under two parents", "<NOTE>take</NOTE><SPEED><NOTE>speed</NOTE></SPEED>",
             "NOTE=take, SPEED/NOTE=speed"},
            // Elements are only recognised under the parent the table gives them.
            {"known element in wrong parent", "<SPEED><PROJECT>P</PROJECT></SPEED>", ""},
            {"known elements below unknown",
             "<X><PROJECT>P</PROJECT><SPEED><NOTE>N</NOTE></SPEED></X>", ""},
            {"leaf nested in a leaf", "<SCENE><PROJECT>P</PROJECT></SCENE>", ""},
            {"track outside track list", "<TRACK><NAME>Boom</NAME></TRACK>", ""},
            {"case-sensitive names", "<project>P</project><Scene>1</Scene>", ""},
            // TRACK_COUNT and SYNC_POINT_COUNT are read but not used; a track starts
            // empty, a sync point keeps what the previous one had.
            {"tracks",
             "<TRACK_LIST><TRACK_COUNT>5</TRACK_COUNT><TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX>"
             "<INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>Boom</NAME><FUNCTION>LEFT</FUNCTION>"
             "</TRACK><TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX></TRACK></TRACK_LIST>",
             "track 1/1 Boom|LEFT, track 2/0 |"},
            {"track index not a number",
             "<TRACK_LIST><TRACK><CHANNEL_INDEX>two</CHANNEL_INDEX>"
             "<INTERLEAVE_INDEX>99999999999</INTERLEAVE_INDEX></TRACK></TRACK_LIST>",
             "track 0/0 |"},
            {"sync points",
             "<SYNC_POINT_LIST><SYNC_POINT_COUNT>9</SYNC_POINT_COUNT><SYNC_POINT>"
             "<SYNC_POINT_TYPE>RELATIVE</SYNC_POINT_TYPE><SYNC_POINT_FUNCTION>SLATE_GENERIC"
             "</SYNC_POINT_FUNCTION><SYNC_POINT_LOW>100</SYNC_POINT_LOW><SYNC_POINT_HIGH>0"
             "</SYNC_POINT_HIGH><SYNC_POINT_EVENT_DURATION>4800</SYNC_POINT_EVENT_DURATION>"
             "</SYNC_POINT><SYNC_POINT><SYNC_POINT_LOW>200</SYNC_POINT_LOW></SYNC_POINT>"
             "</SYNC_POINT_LIST>",
             "sync RELATIVE|SLATE_GENERIC|100|0|4800|4800, sync "
             "RELATIVE|SLATE_GENERIC|200|0|4800|4800"},
            {"attributes ignored",
             "<SCENE PROJECT=\"x\" a='b'>4</SCENE><TRACK_LIST n=\"1\"><TRACK NAME=\"attr\">"
             "<NAME>Boom</NAME></TRACK></TRACK_LIST>",
             "SCENE=4, track 0/0 Boom|"},
            // Text is stored as it came, blanks included; blank-only text is not.
            {"blanks",
             "<SCENE> 12A </SCENE>\r\n\t<TAPE> \t\r\n </TAPE><NOTE>\tline1\nline2 </NOTE>",
             "SCENE= 12A , NOTE=\tline1\nline2 "},
            {"blank entity text", "<NOTE>&#32;</NOTE>", ""},
            {"last value wins", "<SCENE>1</SCENE><SCENE>2</SCENE>", "SCENE=2"},
            {"text after a child not given to it",
             "<PROJECT>P</PROJECT>stray<SPEED><NOTE>N</NOTE>more</SPEED><SCENE>1<X/>after</SCENE>",
             "PROJECT=P, SCENE=1, SPEED/NOTE=N"},
            // An escaped or split text is stored whole.
            {"entity", "<NOTE>A &amp; B</NOTE>", "NOTE=A & B"},
            {"cdata", "<NOTE>x<![CDATA[ <&> ]]>y</NOTE>", "NOTE=x <&> y"},
            {"comment", "<NOTE>A<!-- c -->B</NOTE>", "NOTE=AB"},
            {"percent signs", "<NOTE>50% %1</NOTE>", "NOTE=50% %1"},
            // The fast scanner gives up at the CDATA section after reporting the
            // track: the full reader starts over, and the track is stored once.
            {"full reader after a partial scan",
             "<SCENE>1</SCENE><TRACK_LIST><TRACK><NAME>Boom</NAME></TRACK></TRACK_LIST>"
             "<SYNC_POINT_LIST><SYNC_POINT><SYNC_POINT_LOW>5</SYNC_POINT_LOW></SYNC_POINT>"
             "</SYNC_POINT_LIST><NOTE><![CDATA[x]]></NOTE>",
             "SCENE=1, NOTE=x, track 0/0 Boom|, sync ||5|||"},
        };
        for (const auto& c : wrapped)
            QTest::newRow(c[0]) << wrap(c[1]) << QString(c[2]);
        const QString decl = QStringLiteral("<?xml version=\"1.0\"?>");
        QTest::newRow("BWFXML not at the root")
            << decl + "<OTHER><BWFXML><PROJECT>P</PROJECT></BWFXML></OTHER>" << QString();
        QTest::newRow("prefixed name")
            << decl + "<x:BWFXML xmlns:x=\"urn:x\"><PROJECT>P</PROJECT></x:BWFXML>" << QString();
        QTest::newRow("padding after the root")
            << wrap("<SCENE>1</SCENE>") + QString(100, ' ') + QChar(0) + "<PROJECT>junk</PROJECT>"
            << "SCENE=1";
        // Malformed XML stops the parse; what came before the error stays.
        const QString head = decl + "\n<BWFXML>\n<PROJECT>P</PROJECT>\n<SCENE>12A</SCENE>\n";
        const QString kept = "PROJECT=P, SCENE=12A, failed";
        QTest::newRow("truncated") << head + "<TAKE>3</TA" << kept;
        QTest::newRow("raw ampersand") << head + "<TAKE>3 & 4</TAKE></BWFXML>" << kept;
        QTest::newRow("unclosed root") << head << kept;
        QTest::newRow("control character") << head + "<TAKE>3\x01</TAKE></BWFXML>" << kept;
    }

    void parse()
    {
        QFETCH(QString, doc);
        QFETCH(QString, expected);
        AudioFileInfo info;
        QString error;
        const QStringList got = ::parse(info, doc, &error);
        QCOMPARE(got.join(", "), expected);
        QVERIFY(info.channelList.isEmpty()); // the reader's, not the parser's
        if (!got.endsWith("failed"))
            QVERIFY(error.isEmpty());
        else
            QVERIFY2(QRegularExpression("^SAX Parser: Parse error at line \\d+, column \\d+: ")
                         .match(error)
                         .hasMatch(),
                     qPrintable(error));
    }

    void initParserKeepsTextsClearsCollections()
    {
        AudioFileInfo info;
        info.ixml.SCENE = "old";
        info.ixml.trackCount = 4;
        info.ixml.tracks.resize(4);
        info.ixml.syncPointCount = 1;
        info.ixml.syncPoints.resize(1);
        QCOMPARE(::parse(info, wrap("<TAKE>2</TAKE>")), (QStringList{"SCENE=old", "TAKE=2"}));
        QCOMPARE(info.ixml.trackCount + info.ixml.syncPointCount, 0);
    }

    // Neither deep nesting nor a text of many pieces (one per entity) exhausts the stack.
    void largeDocuments()
    {
        const int depth = 200000;
        const QString nested = "<BWFXML><PROJECT>P</PROJECT>" + QString("<A>").repeated(depth) +
                               "<SCENE>inner</SCENE>" + QString("</A>").repeated(depth) +
                               "<TAKE>7</TAKE></BWFXML>";
        AudioFileInfo info;
        QCOMPARE(::parse(info, nested), (QStringList{"PROJECT=P", "TAKE=7"}));
        const int pieces = 300000;
        AudioFileInfo text;
        ::parse(text, wrap("<NOTE>" + QString("a&amp;").repeated(pieces) + "</NOTE>"));
        QCOMPARE(text.ixml.NOTE, QString("a&").repeated(pieces));
    }
};

QTEST_GUILESS_MAIN(TestIxmlParser)
#include "tst_ixmlparser.moc"
