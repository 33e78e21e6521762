#include "IxmlParser.h"

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

// What a parse stored: every non-empty text field as "PATH=value", then one
// line per track and per sync point, and "failed" when the parse failed.
QStringList stored(const AudioFileInfo& info, bool ok)
{
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
        QTest::addColumn<QStringList>("expected");
        const QStringList nothing;
        const QString decl = QStringLiteral("<?xml version=\"1.0\"?>");

        QTest::newRow("note under two parents")
            << wrap("<NOTE>take</NOTE><SPEED><NOTE>speed</NOTE></SPEED>")
            << QStringList{"NOTE=take", "SPEED/NOTE=speed"};

        // Elements are only recognised under the parent the table gives them.
        const char* const ignored[][2] = {
            {"known element in wrong parent", "<SPEED><PROJECT>P</PROJECT></SPEED>"},
            {"known elements below unknown",
             "<X><PROJECT>P</PROJECT><SPEED><NOTE>N</NOTE></SPEED></X>"},
            {"leaf nested in a leaf", "<SCENE><PROJECT>P</PROJECT></SCENE>"},
            {"track outside track list", "<TRACK><NAME>Boom</NAME></TRACK>"},
            {"case-sensitive names", "<project>P</project><Scene>1</Scene>"},
            {"blank entity text", "<NOTE>&#32;</NOTE>"},
        };
        for (const auto& c : ignored)
            QTest::newRow(c[0]) << wrap(c[1]) << nothing;
        QTest::newRow("BWFXML not at the root")
            << decl + "<OTHER><BWFXML><PROJECT>P</PROJECT></BWFXML></OTHER>" << nothing;
        QTest::newRow("prefixed name")
            << decl + "<x:BWFXML xmlns:x=\"urn:x\"><PROJECT>P</PROJECT></x:BWFXML>" << nothing;

        // TRACK_COUNT and SYNC_POINT_COUNT are read but not used; a track starts
        // empty, a sync point keeps what the previous one had.
        QTest::newRow("tracks")
            << wrap(
                   "<TRACK_LIST><TRACK_COUNT>5</TRACK_COUNT><TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX>"
                   "<INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>Boom</NAME><FUNCTION>LEFT</"
                   "FUNCTION>"
                   "</TRACK><TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX></TRACK></TRACK_LIST>")
            << QStringList{"track 1/1 Boom|LEFT", "track 2/0 |"};
        QTest::newRow("track index not a number")
            << wrap("<TRACK_LIST><TRACK><CHANNEL_INDEX>two</CHANNEL_INDEX>"
                    "<INTERLEAVE_INDEX>99999999999</INTERLEAVE_INDEX></TRACK></TRACK_LIST>")
            << QStringList{"track 0/0 |"};
        QTest::newRow("sync points")
            << wrap("<SYNC_POINT_LIST><SYNC_POINT_COUNT>9</SYNC_POINT_COUNT><SYNC_POINT>"
                    "<SYNC_POINT_TYPE>RELATIVE</SYNC_POINT_TYPE>"
                    "<SYNC_POINT_FUNCTION>SLATE_GENERIC</SYNC_POINT_FUNCTION>"
                    "<SYNC_POINT_LOW>100</SYNC_POINT_LOW><SYNC_POINT_HIGH>0</SYNC_POINT_HIGH>"
                    "<SYNC_POINT_EVENT_DURATION>4800</SYNC_POINT_EVENT_DURATION></SYNC_POINT>"
                    "<SYNC_POINT><SYNC_POINT_LOW>200</SYNC_POINT_LOW></SYNC_POINT></"
                    "SYNC_POINT_LIST>")
            << QStringList{"sync RELATIVE|SLATE_GENERIC|100|0|4800|4800",
                           "sync RELATIVE|SLATE_GENERIC|200|0|4800|4800"};
        QTest::newRow("attributes ignored")
            << "<BWFXML version=\"1.5\"><SCENE PROJECT=\"x\" a='b'>4</SCENE><TRACK_LIST n=\"1\">"
               "<TRACK NAME=\"attr\"><NAME>Boom</NAME></TRACK></TRACK_LIST></BWFXML>"
            << QStringList{"SCENE=4", "track 0/0 Boom|"};

        // Text is stored as it came, blanks included; blank-only text is not.
        QTest::newRow("blanks") << wrap("<SCENE> 12A </SCENE>\r\n\t<TAPE> \t\r\n </TAPE>"
                                        "<NOTE>\tline1\nline2 </NOTE>")
                                << QStringList{"SCENE= 12A ", "NOTE=\tline1\nline2 "};
        QTest::newRow("last value wins")
            << wrap("<SCENE>1</SCENE><SCENE>2</SCENE>") << QStringList{"SCENE=2"};
        QTest::newRow("text after a child not given to it")
            << wrap("<PROJECT>P</PROJECT>stray<SPEED><NOTE>N</NOTE>more</SPEED>"
                    "<SCENE>1<X/>after</SCENE>")
            << QStringList{"PROJECT=P", "SCENE=1", "SPEED/NOTE=N"};
        QTest::newRow("padding after the root")
            << wrap("<SCENE>1</SCENE>") + QString(100, ' ') + QChar(0) + "<PROJECT>junk</PROJECT>"
            << QStringList{"SCENE=1"};

        // An escaped or split text is stored whole.
        const QList<QPair<QString, QString>> texts = {
            {"A &amp; B", "A & B"},
            {"x<![CDATA[ <&> ]]>y", "x <&> y"},
            {"A<!-- c -->B", "AB"},
            {"50% %1", "50% %1"},
        };
        for (const auto& t : texts)
            QTest::newRow(qPrintable("text " + t.first))
                << wrap("<NOTE>" + t.first + "</NOTE>") << QStringList{"NOTE=" + t.second};
        // The fast scanner gives up at the CDATA section after reporting the
        // track: the full reader starts over, and the track is stored once.
        QTest::newRow("full reader after a partial scan")
            << wrap("<SCENE>1</SCENE><TRACK_LIST><TRACK><NAME>Boom</NAME></TRACK></TRACK_LIST>"
                    "<SYNC_POINT_LIST><SYNC_POINT><SYNC_POINT_LOW>5</SYNC_POINT_LOW></SYNC_POINT>"
                    "</SYNC_POINT_LIST><NOTE><![CDATA[x]]></NOTE>")
            << QStringList{"SCENE=1", "NOTE=x", "track 0/0 Boom|", "sync ||5|||"};

        // Malformed XML stops the parse; what came before the error stays.
        const QString head =
            QStringLiteral("<?xml version=\"1.0\"?>\n<BWFXML>\n<PROJECT>P</PROJECT>\n"
                           "<SCENE>12A</SCENE>\n");
        const QStringList kept{"PROJECT=P", "SCENE=12A", "failed"};
        QTest::newRow("truncated") << head + "<TAKE>3</TA" << kept;
        QTest::newRow("raw ampersand") << head + "<TAKE>3 & 4</TAKE></BWFXML>" << kept;
        QTest::newRow("unclosed root") << head << kept;
        QTest::newRow("control character") << head + "<TAKE>3\x01</TAKE></BWFXML>" << kept;
    }

    void parse()
    {
        QFETCH(QString, doc);
        QFETCH(QStringList, expected);
        AudioFileInfo info;
        const ParseResult r = parseInto(info, doc);
        QCOMPARE(stored(info, r.ok), expected);
        QVERIFY(info.channelList.isEmpty()); // the reader's, not the parser's
        if (r.ok)
            QVERIFY(r.error.isEmpty());
        else
            QVERIFY2(QRegularExpression("^SAX Parser: Parse error at line \\d+, column \\d+: ")
                         .match(r.error)
                         .hasMatch(),
                     qPrintable(r.error));
    }

    void initParserKeepsTextsClearsCollections()
    {
        AudioFileInfo info;
        info.ixml.SCENE = "old";
        info.ixml.trackCount = 4;
        info.ixml.tracks.resize(4);
        info.ixml.syncPointCount = 1;
        info.ixml.syncPoints.resize(1);
        const ParseResult r = parseInto(info, wrap("<TAKE>2</TAKE>"));
        QCOMPARE(stored(info, r.ok), (QStringList{"SCENE=old", "TAKE=2"}));
        QCOMPARE(info.ixml.trackCount + info.ixml.syncPointCount, 0);
    }

    // Neither deep nesting nor a text of many pieces exhausts the stack.
    void deepNesting()
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
        const ParseResult r = parseInto(info, doc);
        QCOMPARE(stored(info, r.ok), (QStringList{"PROJECT=P", "TAKE=7"}));
    }

    void hugeText()
    {
        // Many small character tokens (one per entity) make up one element text.
        const int pieces = 300000;
        QString text;
        text.reserve(pieces * 6);
        for (int i = 0; i < pieces; ++i)
            text += QStringLiteral("a&amp;");
        AudioFileInfo info;
        QVERIFY(parseInto(info, wrap("<NOTE>" + text + "</NOTE>")).ok);
        QCOMPARE(info.ixml.NOTE.size(), qsizetype(pieces) * 2);
        QVERIFY(info.ixml.NOTE.startsWith("a&a&"));
    }
};

QTEST_GUILESS_MAIN(TestIxmlParser)
#include "tst_ixmlparser.moc"
