#include "IxmlParser.h"
#include "cXmlFastScanner.h"

#include <QtTest>

// Records every callback the parser makes, as text lines, so that two
// readers can be compared event for event.
class XmlTrace : public cDefaultHandler
{
public:
    QStringList lines;

    bool startElement(QStringView qName, const QVector<Attribute>& attributes) override
    {
        QString line = QStringLiteral("start ") + qName.toString();
        for (const Attribute& a : attributes)
            line += QStringLiteral(" %1=%2").arg(a.name, a.value);
        lines << line;
        return true;
    }
    bool characters(QStringView text) override
    {
        lines << QStringLiteral("text ") + text.toString();
        return true;
    }
    bool endElement(QStringView qName) override
    {
        lines << QStringLiteral("end ") + qName.toString();
        return true;
    }
    void startOver() override { lines.clear(); }
    bool endDocument() override
    {
        lines << QStringLiteral("enddoc");
        return true;
    }

    static QStringList run(const QString& doc, ReaderChoice choice, bool* ok = nullptr)
    {
        XmlTrace t;
        const bool result = t.parse(doc, choice);
        if (ok)
            *ok = result;
        t.lines << QStringLiteral("result %1").arg(result) << t.lastError();
        return t.lines;
    }
};

// The fast scanner must make exactly the callbacks QXmlStreamReader makes,
// and must hand every document it does not fully understand to that reader.
class TestXmlScanner : public QObject
{
    Q_OBJECT

private slots:
    void sameCallbacksAsTheFullReader_data()
    {
        QTest::addColumn<QString>("doc");
        QTest::addColumn<bool>("fast"); // taken by the scanner itself
        const QString decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
        QTest::newRow("typical") << decl + "<BWFXML>\r\n<SCENE>12A</SCENE>\r\n<SPEED>\r\n"
                                           "<NOTE>x</NOTE>\r\n</SPEED>\r\n</BWFXML>        "
                                 << true;
        QTest::newRow("single quotes decl, junk after the root")
            << "<?xml version='1.0'?><A>b</A>garbage<<<" << true;
        QTest::newRow("references and line ends")
            << "<A>Tom &amp; Jerry &lt;3&gt; &quot;q&quot; &apos; &#233; &#x2713; &#13;\r\n"
               "two\rthree\n</A>"
            << true;
        QTest::newRow("comments, attributes, blanks")
            << "<!-- c --><A k=\"v\" m='w'>x<!--y-->z<B/>  <C> </C>\t</A>" << true;
        QTest::newRow("self-closing root") << "<BWFXML/>" << true;
        QTest::newRow("prefixed names") << "<x:A><x:B>1</x:B></x:A>" << false;
        QTest::newRow("cdata") << "<A><![CDATA[a<b]]></A>" << false;
        QTest::newRow("doctype") << "<!DOCTYPE A><A>1</A>" << false;
        QTest::newRow("processing instruction") << "<A><?pi x?>1</A>" << false;
        QTest::newRow("unknown entity") << "<A>&nbsp;</A>" << false;
        QTest::newRow("bad char ref") << "<A>&#1;</A>" << false;
        QTest::newRow("mismatched tags") << "<A><B>1</A></B>" << false;
        QTest::newRow("end tag longer than the open name") << "<A><B>1</BC></A>" << false;
        QTest::newRow("end tag shorter than the open name") << "<A><BC>1</B></BC></A>" << false;
        QTest::newRow("unclosed root") << "<A><B>1</B>" << false;
        QTest::newRow("text before root") << "x<A/>" << false;
        QTest::newRow("duplicate attribute") << "<A k=\"1\" k=\"2\"/>" << false;
        QTest::newRow("attribute with reference") << "<A k=\"&amp;\"/>" << false;
        QTest::newRow("control character") << QString("<A>a") + QChar(1) + "</A>" << false;
        QTest::newRow("double hyphen comment") << "<A><!-- a -- b --></A>" << false;
        QTest::newRow("cdata end in text") << "<A>]]></A>" << false;
        QTest::newRow("non-ascii name") << "<A><É>1</É></A>" << false;
        QTest::newRow("version 1.1") << "<?xml version=\"1.1\"?><A/>" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("surrogate pair")
            << QString("<A>") + QString::fromUcs4(U"\U0001F3AC") + "</A>" << false;
    }

    void sameCallbacksAsTheFullReader()
    {
        QFETCH(QString, doc);
        QFETCH(bool, fast);
        cXmlFastScanner scanner;
        QCOMPARE(scanner.scan(doc), fast);
        QCOMPARE(XmlTrace::run(doc, cDefaultHandler::ReaderChoice::Any),
                 XmlTrace::run(doc, cDefaultHandler::ReaderChoice::FullReader));
    }
};

QTEST_GUILESS_MAIN(TestXmlScanner)
#include "tst_xmlscanner.moc"
