#include "cAudioBext.h"

#include <QtTest>

using SoundDefs::BEXTAudioHdr;
using SoundDefs::cAudioBext;

namespace
{

BEXTAudioHdr headerWithDescription(const QByteArray& description)
{
    BEXTAudioHdr hdr;
    std::memset(&hdr, 0, sizeof(hdr));
    std::memcpy(hdr.Description, description.constData(),
                size_t(qMin<qsizetype>(description.size(), 256)));
    return hdr;
}

QByteArray descriptionBytes(const BEXTAudioHdr& hdr)
{
    return QByteArray(hdr.Description, 256);
}

// A line "key=value\r\n" of exactly n bytes.
QByteArray lineOfLength(const QByteArray& key, int n)
{
    const int valueLength = n - int(key.size()) - 3;
    return key + '=' + QByteArray(valueLength, 'v') + "\r\n";
}

// The parsed entries as "key|value".
QStringList entries(const cAudioBext& bext)
{
    QStringList out;
    for (int i = 0; i < bext.keys.size(); ++i)
        out << bext.keys.at(i) + '|' + bext.values.value(i);
    return out;
}

} // namespace

class TestBext : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("prefix");
        struct Case {
            const char* name;
            QByteArray description;
            QStringList entries;
            QString prefix = "s";
        };
        const QStringList two{"sSCENE|12A", "sTAKE|3"};
        const Case cases[] = {
            {"crlf", "sSCENE=12A\r\nsTAKE=3\r\n", two},
            {"lfcr", "sSCENE=12A\n\rsTAKE=3\n\r", two},
            {"lone cr", "sSCENE=12A\rsTAKE=3\r", two},
            {"lone lf is not a line end", "sSCENE=12A\nsTAKE=3\r\n", {"sSCENE|12A\nsTAKE=3"}},
            {"unclosed last line is dropped", "sSCENE=12A\r\nsTAKE=3", {"sSCENE|12A"}},
            {"value keeps further equal signs", "sNOTE=a=b==\r\n", {"sNOTE|a=b=="}},
            {"line without equal sign is all key", "HELLO\r\nsTAKE=3\r\n", {"HELLO|", "sTAKE|3"}},
            {"nul at line start stops",
             QByteArray("sSCENE=12A\r\n\0sTAKE=3\r\n", 23),
             {"sSCENE|12A"}},
            {"nul inside a line cuts its text",
             QByteArray("sSCENE=1\0xx\r\nsTAKE=3\r\n", 21),
             {"sSCENE|1", "sTAKE|3"}},
            {"empty line is a deleted entry",
             "sSCENE=12A\r\n\r\nsTAKE=3\r\n",
             {"sSCENE|12A", "|", "sTAKE|3"}},
            {"latin-1 bytes", "sNOTE=caf\xe9\r\n", {QString::fromUtf8("sNOTE|caf\xc3\xa9")}},
            // The prefix is the first key letter from b to y other than s.
            {"later key decides the prefix",
             "sSCENE=1\r\neTAKE=2\r\ndA=3\r\n",
             {"sSCENE|1", "eTAKE|2", "dA|3"},
             "e"},
            {"b lowest prefix", "bA=1\r\n", {"bA|1"}, "b"},
            {"y highest prefix", "yA=1\r\n", {"yA|1"}, "y"},
            {"a not a prefix", "aA=1\r\n", {"aA|1"}},
            {"z not a prefix", "zA=1\r\n", {"zA|1"}},
            {"upper case not a prefix", "SCENE=1\r\n", {"SCENE|1"}},
            {"unclosed line does not count", "sA=1\r\ncB=2", {"sA|1"}},
        };
        for (const Case& c : cases)
            QTest::newRow(c.name) << c.description << c.entries << c.prefix;
    }

    void parse()
    {
        QFETCH(QByteArray, description);
        QFETCH(QStringList, entries);
        QFETCH(QString, prefix);
        BEXTAudioHdr hdr = headerWithDescription(description);
        cAudioBext bext;
        bext.Parse(&hdr);
        QCOMPARE(::entries(bext), entries);
        QCOMPARE(bext.prefix, prefix);
        // Parsing never writes into the header.
        QCOMPARE(descriptionBytes(hdr), description.leftJustified(256, '\0', true));
    }

    void parseFullFieldWithoutNul()
    {
        // All 256 bytes used: the last line ends with a carriage return in the
        // very last byte, and the scan must not look beyond it.
        QByteArray d = "sA=1\r\n" + QByteArray(249, 'x') + '\r';
        BEXTAudioHdr hdr = headerWithDescription(d);
        std::memset(hdr.Originator, '\n', sizeof(hdr.Originator));
        cAudioBext bext;
        bext.Parse(&hdr);
        QCOMPARE(entries(bext), (QStringList{"sA|1", QString(249, 'x') + '|'}));

        // Without a final carriage return the unfinished line is dropped.
        hdr.Description[255] = 'x';
        bext.Parse(&hdr);
        QCOMPARE(entries(bext), QStringList{"sA|1"});
    }

    void parseDoesNotLeakOldEntries()
    {
        BEXTAudioHdr first = headerWithDescription("cSCENE=1\r\n");
        BEXTAudioHdr second = headerWithDescription("sTAKE=2\r\n");
        cAudioBext bext;
        bext.Parse(&first);
        bext.Parse(&second);
        QCOMPARE(entries(bext), QStringList{"sTAKE|2"});
        QCOMPARE(bext.prefix, QStringLiteral("s"));
        QCOMPARE(bext.header, &second);
    }

    void setValue_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("entries");
        const QByteArray d = "sSCENE=12A\r\nsTAKE=3\r\n";
        QTest::newRow("matching entry, any letter case")
            << d << "take" << true << QStringList{"sSCENE|12A", "sTAKE|v"};
        // Entries deleted before (here the TRK ones) are skipped.
        QTest::newRow("detected prefix, deleted entries skipped")
            << QByteArray("cTRK1=Boom\r\ncTAKE=3\r\n") << "TRK1" << true
            << QStringList{"|", "cTAKE|3", "cTRK1|v"};
        // An empty key would match the first entry of any list.
        QTest::newRow("empty key") << d << "" << false << QStringList{"sSCENE|12A", "sTAKE|3"};
    }

    void setValue()
    {
        QFETCH(QByteArray, description);
        QFETCH(QString, key);
        QFETCH(bool, ok);
        QFETCH(QStringList, entries);
        BEXTAudioHdr hdr = headerWithDescription(description);
        cAudioBext bext;
        bext.Parse(&hdr);
        bext.DeleteEntry("TRK", true);
        QCOMPARE(bext.SetValue(key, "v"), ok);
        QCOMPARE(::entries(bext), entries);
    }

    void getDescriptionValue_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QString>("value"); // null: not found
        QTest::newRow("substring first match") << QByteArray("TRK") << false << "Boom";
        QTest::newRow("substring is case-sensitive") << QByteArray("take") << false << QString();
        QTest::newRow("exact needs prefix") << QByteArray("TAKE") << true << QString();
        QTest::newRow("exact with prefix") << QByteArray("sTRK2") << true << "Lav";
    }

    void getDescriptionValue()
    {
        QFETCH(QByteArray, key);
        QFETCH(bool, exact);
        QFETCH(QString, value);
        BEXTAudioHdr hdr = headerWithDescription("sTAKE=3\r\nsTRK1=Boom\r\nsTRK2=Lav\r\n");
        cAudioBext bext;
        bext.Parse(&hdr);
        QString out = "before";
        QCOMPARE(bext.GetDescriptionValue(key.constData(), out, exact), !value.isNull());
        QCOMPARE(out, value.isNull() ? QStringLiteral("before") : value);
    }

    void deleteEntry()
    {
        BEXTAudioHdr hdr =
            headerWithDescription("sTAKE=3\r\nsTRK1=Boom\r\nsTRK2=Lav\r\nsTRK10=X\r\n");
        cAudioBext bext;
        bext.Parse(&hdr);
        QVERIFY(!bext.DeleteEntry("TRK1", false)); // exact: the key has its prefix
        QVERIFY(bext.DeleteEntry("sTRK1", false));
        QCOMPARE(bext.keys, (QStringList{"sTAKE", "", "sTRK2", "sTRK10"}));
        QStringList k, v;
        QVERIFY(bext.GetDescriptionValues("TRK", k, v)); // deleted entries are skipped
        QCOMPARE(v, (QStringList{"Lav", "X"}));
        QVERIFY(bext.DeleteEntry("TRK", true));
        QCOMPARE(bext.values.size(), 4);
        QVERIFY(!bext.DeleteEntry("TRK", true)); // deleted entries no longer match

        bext.Compile();
        QCOMPARE(descriptionBytes(hdr), QByteArray("sTAKE=3\r\n").leftJustified(256, '\0'));
        QString out;
        QVERIFY(!bext.GetDescriptionValue("", out, true)); // a deleted entry is never found
    }

    void compileRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QByteArray>("compiled");
        const QByteArray lines = "sSPEED=029.970-DF\r\nsTAKE=12\r\nsTRK1=Boom\r\nsTRK2=Lav 1\r\n";
        QTest::newRow("entries") << lines << lines;
        QTest::newRow("other line endings become CRLF")
            << QByteArray("sA=1\n\rsB=2\r\r") << QByteArray("sA=1\r\nsB=2\r\n");
        // Other writers keep plain sentences here; a save must not wipe them.
        QTest::newRow("free text without a line break")
            << QByteArray("Test Project output") << QByteArray("Test Project output");
        QTest::newRow("a line without = and a trailing sentence")
            << QByteArray("Day 3 wides\r\nsTAKE=2\r\nends here")
            << QByteArray("Day 3 wides\r\nsTAKE=2\r\nends here");
    }

    void compileRoundTrip()
    {
        QFETCH(QByteArray, description);
        QFETCH(QByteArray, compiled);
        BEXTAudioHdr hdr = headerWithDescription(description);
        cAudioBext bext;
        bext.Parse(&hdr);
        bext.Compile();
        QCOMPARE(descriptionBytes(hdr), compiled.leftJustified(256, '\0'));
    }

    void compileLimit_data()
    {
        QTest::addColumn<QList<int>>("lineLengths");
        QTest::addColumn<QList<bool>>("written");
        QTest::newRow("255 bytes fit") << QList<int>{100, 100, 55} << QList<bool>{true, true, true};
        QTest::newRow("exactly 256 keeps the last")
            << QList<int>{100, 100, 56} << QList<bool>{true, true, true};
        QTest::newRow("257 loses the last")
            << QList<int>{100, 100, 57} << QList<bool>{true, true, false};
        QTest::newRow("a later shorter entry still fits")
            << QList<int>{100, 100, 60, 20} << QList<bool>{true, true, false, true};
        QTest::newRow("single line of 256") << QList<int>{256} << QList<bool>{true};
        QTest::newRow("oversized line skipped") << QList<int>{300, 10} << QList<bool>{false, true};
    }

    void compileLimit()
    {
        QFETCH(QList<int>, lineLengths);
        QFETCH(QList<bool>, written);
        BEXTAudioHdr hdr = headerWithDescription(QByteArray());
        cAudioBext bext;
        bext.Parse(&hdr);
        QByteArray expected;
        for (int i = 0; i < lineLengths.size(); ++i) {
            const QByteArray key = "sK" + QByteArray::number(i);
            const QByteArray line = lineOfLength(key, lineLengths[i]);
            bext.keys.append(QString::fromLatin1(key));
            bext.values.append(
                QString::fromLatin1(line.mid(key.size() + 1, line.size() - key.size() - 3)));
            if (written[i])
                expected += line;
        }
        bext.Compile();
        QCOMPARE(descriptionBytes(hdr), expected.leftJustified(256, '\0'));
        // Entries left out of the field stay in the lists.
        QCOMPARE(bext.keys.size(), lineLengths.size());
        // What was written reads back entry for entry, a full field included.
        cAudioBext again;
        again.Parse(&hdr);
        QCOMPARE(again.keys.size(), int(written.count(true)));
    }

    void compileKeepsLineBreaksOutOfValues()
    {
        BEXTAudioHdr hdr = headerWithDescription("sTAKE=3\r\n");
        cAudioBext bext;
        bext.Parse(&hdr);
        bext.SetValue("NOTE", QString::fromLatin1("bad\r\nsTAKE=99\nx\0y", 17));
        bext.Compile();
        cAudioBext again;
        again.Parse(&hdr);
        QCOMPARE(entries(again), (QStringList{"sTAKE|3", "sNOTE|bad  sTAKE=99 x y"}));
    }

    void textFields_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("stored"); // empty: the header is left alone
        QTest::newRow("date cut to width, read without the next field")
            << int(cAudioBext::OriginationDate) << "2024-05-06XYZ" << QByteArray("2024-05-06");
        QTest::newRow("reference full width, no NUL")
            << int(cAudioBext::OriginatorReference) << QString(40, 'r') << QByteArray(32, 'r');
        QTest::newRow("latin-1") << int(cAudioBext::Originator) << QString::fromUtf8("Se\xc3\xb1or")
                                 << QByteArray("Se\xf1or");
        QTest::newRow("description") << int(cAudioBext::Description) << "sA=1\r\n"
                                     << QByteArray("sA=1\r\n");
        QTest::newRow("empty value") << int(cAudioBext::OriginationTime) << "" << QByteArray();
    }

    // Fixed-width text fields: written cut to their width and NUL-filled, read
    // back without running into the next field; nothing else of the header changes.
    void textFields()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QByteArray, stored);
        BEXTAudioHdr hdr;
        std::memset(&hdr, 'Z', sizeof(hdr));
        const int offset = cAudioBext::kFieldOffset[field];
        const int width = cAudioBext::kFieldWidth[field];
        std::memset(reinterpret_cast<char*>(&hdr) + offset, 0, size_t(width));
        QByteArray expected(reinterpret_cast<const char*>(&hdr), sizeof(hdr));
        expected.replace(offset, width, stored.leftJustified(width, '\0'));
        cAudioBext bext;
        bext.SetHeader(&hdr);
        bext.SetBextField(cAudioBext::BEXT_HDR_FIELD(field), value);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&hdr), sizeof(hdr)), expected);
        QString out = "kept";
        bext.GetBextField(cAudioBext::BEXT_HDR_FIELD(field), out);
        QCOMPARE(out, stored.isEmpty() ? QString("kept") : QString::fromLatin1(stored));
    }

    void numberFields()
    {
        BEXTAudioHdr hdr = headerWithDescription("sTAKE=1\r\n");
        const quint8 numbers[10] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x00, 0x00, 2, 255};
        std::memcpy(&hdr.TimeReferenceLow, numbers, 10);
        cAudioBext bext;
        bext.Parse(&hdr);
        QStringList got;
        for (int field : {5, 6, 7, 9}) { // time reference low and high, version, no such field
            QString out = "kept";
            bext.GetBextField(cAudioBext::BEXT_HDR_FIELD(field), out);
            got << out;
        }
        QCOMPARE(got, (QStringList{"4294967295", "513", "2255", "kept"}));
    }
};

QTEST_GUILESS_MAIN(TestBext)
#include "tst_bext.moc"
