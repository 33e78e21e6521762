// Check bytes and packet rules of the link, and the display helpers of the
// recorder's codes: plain functions, no port.

#include "LinkFrame.h"
#include "constantsR9K.h"

#include <QRandomGenerator>
#include <QTest>

class tst_LinkFrame : public QObject
{
    Q_OBJECT
private slots:
    void checkBytes_data();
    void checkBytes();
    void everyLengthVerifiesAndDamageIsDetected();
    void tableText_data();
    void tableText();
    void timeTexts_data();
    void timeTexts();
};

void tst_LinkFrame::checkBytes_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("get transport")
        << QByteArray::fromHex("A5000312") << QByteArray::fromHex("96AE");
    QTest::newRow("set transport play")
        << QByteArray::fromHex("A500041101") << QByteArray::fromHex("D86B");
    // Only the host address 0xFE enters the sums; any other counts as 0.
    QTest::newRow("address 1") << QByteArray::fromHex("A501041101") << QByteArray::fromHex("D86B");
    QTest::newRow("address 7F") << QByteArray::fromHex("A57F041101") << QByteArray::fromHex("D86B");
    QTest::newRow("host address") << QByteArray::fromHex("A5FE041101")
                                  << QByteArray::fromHex("DD67");
}

void tst_LinkFrame::checkBytes()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    uchar c0 = 0, c1 = 0;
    LinkFrame::checkBytes(reinterpret_cast<const uchar*>(packet.constData()), &c0, &c1);
    QCOMPARE(QByteArray().append(char(c0)).append(char(c1)), expected);
    QByteArray whole = packet + QByteArray(2, '\0');
    LinkFrame::addCheckBytes(reinterpret_cast<uchar*>(whole.data()));
    QCOMPARE(whole.right(2), expected);
}

// Packets made with addCheckBytes verify for every L, whatever the payload and
// the address, and their check bytes are never 0; flipping any one bit after the length byte is
// detected. The range comes from the packet's own length byte read unsigned, so long packets (L >=
// 128) are checked over all of their bytes.
void tst_LinkFrame::everyLengthVerifiesAndDamageIsDetected()
{
    QRandomGenerator rng(7);
    for (int length = 2; length <= 255; ++length) {
        uchar p[LinkFrame::kMaxPacket] = {};
        p[0] = LinkFrame::kSync;
        p[2] = uchar(length);
        for (int i = 3; i <= length; ++i)
            p[i] = uchar(rng.bounded(256));
        for (uchar address : {uchar(0), LinkFrame::kHostAddress}) {
            p[1] = address;
            LinkFrame::addCheckBytes(p);
            QVERIFY2(LinkFrame::verify(p), qPrintable(QString::number(length)));
            QVERIFY(p[length + 1] != 0 && p[length + 2] != 0);
        }
        for (int at = 3; at <= length + 2; ++at) {
            const uchar keep = p[at];
            p[at] = uchar(keep ^ (1 << rng.bounded(8)));
            QVERIFY2(!LinkFrame::verify(p),
                     qPrintable(QStringLiteral("L %1 at %2").arg(length).arg(at)));
            p[at] = keep;
        }
    }
}

void tst_LinkFrame::tableText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first") << 0 << "32k";
    QTest::newRow("last") << 12 << "192k";
    QTest::newRow("past the end") << 13 << "?13";
    QTest::newRow("far past") << 65535 << "?65535";
    QTest::newRow("negative") << -1 << "?-1";
}

void tst_LinkFrame::tableText()
{
    QFETCH(int, code);
    QFETCH(QString, expected);
    QCOMPARE(constantsR9K::textFor(constantsR9K::sampleRateText, code), expected);
}

void tst_LinkFrame::timeTexts_data()
{
    QTest::addColumn<quint32>("packed");
    QTest::addColumn<QString>("timecode");
    QTest::addColumn<QString>("fileTime");
    QTest::newRow("zero") << quint32(0) << "00:00:00:00"
                          << "00:00:00.00";
    QTest::newRow("fields") << quint32(0x0A1B2C03) << "10:27:44:03"
                            << "10:27:44.03";
    QTest::newRow("wide byte") << quint32(0xFF000000) << "255:00:00:00"
                               << "255:00:00.00";
}

void tst_LinkFrame::timeTexts()
{
    QFETCH(quint32, packed);
    QFETCH(QString, timecode);
    QFETCH(QString, fileTime);
    QCOMPARE(constantsR9K::timecodeText(packed), timecode);
    QCOMPARE(constantsR9K::fileTimeText(packed), fileTime);
}

QTEST_APPLESS_MAIN(tst_LinkFrame)
#include "tst_linkframe.moc"
