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

} // namespace

class TestBext : public QObject
{
    Q_OBJECT

private slots:
    void parseLines_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("values");

        const QStringList twoKeys{"sSCENE", "sTAKE"};
        const QStringList twoValues{"12A", "3"};
        QTest::newRow("crlf") << QByteArray("sSCENE=12A\r\nsTAKE=3\r\n") << twoKeys << twoValues;
        QTest::newRow("lfcr") << QByteArray("sSCENE=12A\n\rsTAKE=3\n\r") << twoKeys << twoValues;
        QTest::newRow("lone cr") << QByteArray("sSCENE=12A\rsTAKE=3\r") << twoKeys << twoValues;
        QTest::newRow("lone lf is not a line end")
            << QByteArray("sSCENE=12A\nsTAKE=3\r\n") << QStringList{"sSCENE"}
            << QStringList{"12A\nsTAKE=3"};
        QTest::newRow("unclosed last line is dropped")
            << QByteArray("sSCENE=12A\r\nsTAKE=3") << QStringList{"sSCENE"} << QStringList{"12A"};
        QTest::newRow("no carriage return at all")
            << QByteArray("sSCENE=12A\nsTAKE=3\n") << QStringList{} << QStringList{};
        QTest::newRow("empty") << QByteArray() << QStringList{} << QStringList{};
        QTest::newRow("value keeps further equal signs")
            << QByteArray("sNOTE=a=b==\r\n") << QStringList{"sNOTE"} << QStringList{"a=b=="};
        QTest::newRow("line without equal sign is all key")
            << QByteArray("HELLO\r\nsTAKE=3\r\n") << QStringList{"HELLO", "sTAKE"}
            << QStringList{"", "3"};
        QTest::newRow("nul at line start stops") << QByteArray("sSCENE=12A\r\n\0sTAKE=3\r\n", 23)
                                                 << QStringList{"sSCENE"} << QStringList{"12A"};
        QTest::newRow("nul inside a line cuts its text")
            << QByteArray("sSCENE=1\0xx\r\nsTAKE=3\r\n", 21) << twoKeys << QStringList{"1", "3"};
        QTest::newRow("empty line is a deleted entry")
            << QByteArray("sSCENE=12A\r\n\r\nsTAKE=3\r\n") << QStringList{"sSCENE", "", "sTAKE"}
            << QStringList{"12A", "", "3"};
        QTest::newRow("latin-1 bytes") << QByteArray("sNOTE=caf\xe9\r\n") << QStringList{"sNOTE"}
                                       << QStringList{QString::fromUtf8("caf\xc3\xa9")};
    }

    void parseLines()
    {
        QFETCH(QByteArray, description);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, values);

        BEXTAudioHdr hdr = headerWithDescription(description);
        cAudioBext bext;
        bext.Parse(&hdr);
        QCOMPARE(bext.header, &hdr);
        QCOMPARE(bext.keys, keys);
        QCOMPARE(bext.values, values);
        // Parsing never writes into the header.
        QCOMPARE(descriptionBytes(hdr), description.leftJustified(256, '\0', true));
    }

    void parseFullFieldWithoutNul()
    {
        // All 256 bytes used: the last line ends with a carriage return in the
        // very last byte, and the scan must not look beyond it.
        QByteArray d = "sA=1\r\n" + QByteArray(249, 'x') + '\r';
        QCOMPARE(d.size(), 256);
        BEXTAudioHdr hdr = headerWithDescription(d);
        std::memset(hdr.Originator, '\n', sizeof(hdr.Originator));
        cAudioBext bext;
        bext.Parse(&hdr);
        QCOMPARE(bext.keys, (QStringList{"sA", QString(249, 'x')}));
        QCOMPARE(bext.values, (QStringList{"1", ""}));

        // Without a final carriage return the unfinished line is dropped.
        d[255] = 'x';
        hdr = headerWithDescription(d);
        bext.Parse(&hdr);
        QCOMPARE(bext.keys, QStringList{"sA"});
    }

    void parseDoesNotLeakOldEntries()
    {
        BEXTAudioHdr first = headerWithDescription("cSCENE=1\r\n");
        BEXTAudioHdr second = headerWithDescription("sTAKE=2\r\n");
        cAudioBext bext;
        bext.Parse(&first);
        QCOMPARE(bext.prefix, QStringLiteral("c"));
        bext.Parse(&second);
        QCOMPARE(bext.keys, QStringList{"sTAKE"});
        QCOMPARE(bext.prefix, QStringLiteral("s"));
        QCOMPARE(bext.header, &second);
    }

    void prefixDetection_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("prefix");

        QTest::newRow("c keys") << QByteArray("cSCENE=1\r\ncTAKE=2\r\n") << "c";
        QTest::newRow("later key decides when earlier are s")
            << QByteArray("sSCENE=1\r\neTAKE=2\r\n") << "e";
        QTest::newRow("first non-s letter wins") << QByteArray("dA=1\r\nfB=2\r\n") << "d";
        QTest::newRow("b lowest") << QByteArray("bA=1\r\n") << "b";
        QTest::newRow("y highest") << QByteArray("yA=1\r\n") << "y";
        QTest::newRow("a not a prefix") << QByteArray("aA=1\r\n") << "s";
        QTest::newRow("z not a prefix") << QByteArray("zA=1\r\n") << "s";
        QTest::newRow("upper case not a prefix") << QByteArray("SCENE=1\r\n") << "s";
        QTest::newRow("unclosed line does not count") << QByteArray("sA=1\r\ncB=2") << "s";
    }

    void prefixDetection()
    {
        QFETCH(QByteArray, description);
        QFETCH(QString, prefix);
        BEXTAudioHdr hdr = headerWithDescription(description);
        cAudioBext bext;
        bext.Parse(&hdr);
        QCOMPARE(bext.prefix, prefix);
    }

    void setValue_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QByteArray>("deletedFirst"); // entries containing it are deleted first
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("values");
        const QByteArray d = "sSCENE=12A\r\nsTAKE=3\r\n";
        QTest::newRow("matching entry, any letter case")
            << d << QByteArray() << "take" << true << QStringList{"sSCENE", "sTAKE"}
            << QStringList{"12A", "v"};
        QTest::newRow("new entry with the prefix")
            << d << QByteArray() << "TAPE" << true << QStringList{"sSCENE", "sTAKE", "sTAPE"}
            << QStringList{"12A", "3", "v"};
        QTest::newRow("first key containing the name")
            << d << QByteArray() << "SCE" << true << QStringList{"sSCENE", "sTAKE"}
            << QStringList{"v", "3"};
        QTest::newRow("detected prefix, deleted entries skipped")
            << QByteArray("cTRK1=Boom\r\ncTAKE=3\r\n") << QByteArray("TRK") << "TRK1" << true
            << QStringList{"", "cTAKE", "cTRK1"} << QStringList{"", "3", "v"};
        // An empty key would match the first entry of any list.
        QTest::newRow("empty key") << d << QByteArray() << "" << false
                                   << QStringList{"sSCENE", "sTAKE"} << QStringList{"12A", "3"};
    }

    void setValue()
    {
        QFETCH(QByteArray, description);
        QFETCH(QByteArray, deletedFirst);
        QFETCH(QString, key);
        QFETCH(bool, ok);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, values);
        BEXTAudioHdr hdr = headerWithDescription(description);
        cAudioBext bext;
        bext.Parse(&hdr);
        if (!deletedFirst.isEmpty())
            QVERIFY(bext.DeleteEntry(deletedFirst.constData(), true));
        QCOMPARE(bext.SetValue(key, "v"), ok);
        QCOMPARE(bext.keys, keys);
        QCOMPARE(bext.values, values);
    }

    void getDescriptionValue_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");

        QTest::newRow("substring") << QByteArray("TAKE") << false << true << "3";
        QTest::newRow("substring first match") << QByteArray("TRK") << false << true << "Boom";
        QTest::newRow("substring is case-sensitive") << QByteArray("take") << false << false << "";
        QTest::newRow("exact needs prefix") << QByteArray("TAKE") << true << false << "";
        QTest::newRow("exact with prefix") << QByteArray("sTAKE") << true << true << "3";
        QTest::newRow("exact second track") << QByteArray("sTRK2") << true << true << "Lav";
        QTest::newRow("absent") << QByteArray("TAPE") << false << false << "";
    }

    void getDescriptionValue()
    {
        QFETCH(QByteArray, key);
        QFETCH(bool, exact);
        QFETCH(bool, found);
        QFETCH(QString, value);

        BEXTAudioHdr hdr = headerWithDescription("sTAKE=3\r\nsTRK1=Boom\r\nsTRK2=Lav\r\n");
        cAudioBext bext;
        bext.Parse(&hdr);
        QString out = "before";
        QCOMPARE(bext.GetDescriptionValue(key.constData(), out, exact), found);
        QCOMPARE(out, found ? value : QStringLiteral("before"));
    }

    void getDescriptionValuesAppendsInOrder()
    {
        BEXTAudioHdr hdr =
            headerWithDescription("sTRK2=Lav\r\nsTAKE=3\r\nsTRK1=Boom\r\nsTRK3=\r\n");
        cAudioBext bext;
        bext.Parse(&hdr);
        bext.DeleteEntry("sTRK3", false);

        QStringList k, v;
        QVERIFY(bext.GetDescriptionValues("TRK", k, v));
        QCOMPARE(k, (QStringList{"sTRK2", "sTRK1"}));
        QCOMPARE(v, (QStringList{"Lav", "Boom"}));

        QStringList k2, v2;
        QVERIFY(!bext.GetDescriptionValues("TAPE", k2, v2));
        QVERIFY(k2.isEmpty());
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
        QVERIFY(bext.DeleteEntry("TRK", true));
        QCOMPARE(bext.keys.size(), 4);
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

        const QByteArray lines = "sSPEED=029.970-DF\r\nsTAKE=12\r\nsUBITS=00000000\r\n"
                                 "sSWVER=1.20\r\nsTRK1=Boom\r\nsTRK2=Lav 1\r\n";
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
        QTest::newRow("single line of 255") << QList<int>{255} << QList<bool>{true};
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
        QCOMPARE(again.keys, (QStringList{"sTAKE", "sNOTE"}));
        QCOMPARE(again.values, (QStringList{"3", "bad  sTAKE=99 x y"}));
    }

    void withoutHeaderNothingHappens()
    {
        cAudioBext bext;
        QVERIFY(bext.header == nullptr);
        QCOMPARE(bext.prefix, QStringLiteral("s"));
        bext.SetValue("TAKE", "1");
        bext.Compile();
        QString out = "kept";
        bext.GetBextField(cAudioBext::Originator, out);
        bext.GetBextField(cAudioBext::TimeReferenceLow, out);
        QCOMPARE(out, QStringLiteral("kept"));
        bext.SetBextField(cAudioBext::Originator, QStringLiteral("x"));
        bext.SetBextField(cAudioBext::TimeReferenceLow, 5u);
    }

    void getFields_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text"); // "kept": the output is left alone
        QTest::newRow("description") << int(cAudioBext::Description) << "sTAKE=1\r\n";
        QTest::newRow("originator") << int(cAudioBext::Originator) << "Quorlan: VL20";
        QTest::newRow("reference, full width, no NUL")
            << int(cAudioBext::OriginatorReference) << QString(32, 'R');
        QTest::newRow("date, full field, next not read")
            << int(cAudioBext::OriginationDate) << "2024-05-06";
        QTest::newRow("reserved, latin-1") << int(cAudioBext::Reserved) << QString(QChar(0xE9));
        QTest::newRow("empty field") << int(cAudioBext::OriginationTime) << "kept";
        QTest::newRow("no such field") << 9 << "kept";
        QTest::newRow("time reference low") << int(cAudioBext::TimeReferenceLow) << "4294967295";
        QTest::newRow("time reference high") << int(cAudioBext::TimeReferenceHigh) << "513";
        QTest::newRow("version") << int(cAudioBext::Version) << "2255";
    }

    void getFields()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        BEXTAudioHdr hdr = headerWithDescription("sTAKE=1\r\n");
        std::memcpy(hdr.Originator, "Quorlan: VL20", 13);
        std::memset(hdr.OriginatorReference, 'R', 32);
        std::memcpy(hdr.OriginationDate, "2024-05-06", 10);
        hdr.Reserved[0] = char(0xE9);
        const quint8 numbers[10] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x00, 0x00, 2, 255};
        std::memcpy(&hdr.TimeReferenceLow, numbers, 4);
        std::memcpy(&hdr.TimeReferenceHigh, numbers + 4, 4);
        std::memcpy(hdr.Version, numbers + 8, 2);
        cAudioBext bext;
        bext.Parse(&hdr);
        QString out = "kept";
        bext.GetBextField(static_cast<cAudioBext::BEXT_HDR_FIELD>(field), out);
        QCOMPARE(out, text);
    }

    void setTextFields_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("stored");

        QTest::newRow("originator") << int(cAudioBext::Originator) << "Quorlan: VL20 S#1"
                                    << QByteArray("Quorlan: VL20 S#1");
        QTest::newRow("date cut to width")
            << int(cAudioBext::OriginationDate) << "2024-05-06XYZ" << QByteArray("2024-05-06");
        QTest::newRow("time") << int(cAudioBext::OriginationTime) << "01:02:03"
                              << QByteArray("01:02:03");
        QTest::newRow("reference full width")
            << int(cAudioBext::OriginatorReference) << QString(40, 'r') << QByteArray(32, 'r');
        QTest::newRow("latin-1") << int(cAudioBext::Originator) << QString::fromUtf8("Se\xc3\xb1or")
                                 << QByteArray("Se\xf1or");
        QTest::newRow("reserved") << int(cAudioBext::Reserved) << "UMID" << QByteArray("UMID");
        QTest::newRow("description") << int(cAudioBext::Description) << "sA=1\r\n"
                                     << QByteArray("sA=1\r\n");
    }

    void setTextFields()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QByteArray, stored);

        BEXTAudioHdr hdr;
        std::memset(&hdr, 'Z', sizeof(hdr));
        const BEXTAudioHdr before = hdr;
        cAudioBext bext;
        bext.SetHeader(&hdr);
        const int offset = cAudioBext::kFieldOffset[field];
        const int width = cAudioBext::kFieldWidth[field];

        bext.SetBextField(cAudioBext::BEXT_HDR_FIELD(field), value);
        const QByteArray all(reinterpret_cast<const char*>(&hdr), sizeof(hdr));
        const QByteArray old(reinterpret_cast<const char*>(&before), sizeof(before));
        QCOMPARE(all.mid(offset, width), stored.leftJustified(width, '\0'));
        QCOMPARE(all.left(offset), old.left(offset));
        QCOMPARE(all.mid(offset + width), old.mid(offset + width));

        // An empty value changes nothing.
        const QByteArray afterSet = all;
        bext.SetBextField(cAudioBext::BEXT_HDR_FIELD(field), QString());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&hdr), sizeof(hdr)), afterSet);
    }
};

QTEST_GUILESS_MAIN(TestBext)
#include "tst_bext.moc"
