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
    void addressCountsOnlyWhenHost();
    void roundTripEveryLength();
    void singleByteDamageIsDetected();
    void verifyUsesOwnLengthByte();
    void checkBytesNeverZero();
    void tableText_data();
    void tableText();
    void timeTexts_data();
    void timeTexts();
};

static QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

void tst_LinkFrame::checkBytes_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("get transport") << hex("A5000312") << hex("96AE");
    QTest::newRow("set transport play") << hex("A500041101") << hex("D86B");
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

void tst_LinkFrame::addressCountsOnlyWhenHost()
{
    auto sums = [](uchar address) {
        const uchar p[] = {0xA5, address, 0x04, 0x11, 0x01};
        uchar c0 = 0, c1 = 0;
        LinkFrame::checkBytes(p, &c0, &c1);
        return QPair<int, int>(c0, c1);
    };
    QCOMPARE(sums(0x00), sums(0x01));
    QCOMPARE(sums(0x00), sums(0x7F));
    QVERIFY(sums(0x00) != sums(0xFE));
}

// Replies (address 0xFE) made with addCheckBytes verify for every L, however
// many payload bytes, with random contents.
void tst_LinkFrame::roundTripEveryLength()
{
    QRandomGenerator rng(7);
    for (int length = 2; length <= 255; ++length) {
        uchar p[LinkFrame::kMaxPacket] = {};
        p[0] = LinkFrame::kSync;
        p[1] = LinkFrame::kHostAddress;
        p[2] = uchar(length);
        for (int i = 3; i <= length; ++i)
            p[i] = uchar(rng.bounded(256));
        LinkFrame::addCheckBytes(p);
        QVERIFY2(LinkFrame::verify(p), qPrintable(QString::number(length)));
        // A request to the recorder (address 0) verifies the same way.
        p[1] = 0;
        LinkFrame::addCheckBytes(p);
        QVERIFY2(LinkFrame::verify(p), qPrintable(QString::number(length)));
    }
}

void tst_LinkFrame::singleByteDamageIsDetected()
{
    QRandomGenerator rng(11);
    for (int length : {3, 4, 27, 127, 128, 200, 255}) {
        uchar p[LinkFrame::kMaxPacket] = {};
        p[0] = LinkFrame::kSync;
        p[1] = LinkFrame::kHostAddress;
        p[2] = uchar(length);
        for (int i = 3; i <= length; ++i)
            p[i] = uchar(rng.bounded(256));
        LinkFrame::addCheckBytes(p);
        for (int at = 3; at <= length + 2; ++at) {
            const uchar keep = p[at];
            p[at] = uchar(keep ^ (1 << rng.bounded(8)));
            QVERIFY2(!LinkFrame::verify(p),
                     qPrintable(QStringLiteral("L %1 byte %2").arg(length).arg(at)));
            p[at] = keep;
        }
        QVERIFY(LinkFrame::verify(p));
    }
}

// The verified range comes from the packet's own length byte read unsigned:
// a long packet (L >= 128) is checked over all of its bytes.
void tst_LinkFrame::verifyUsesOwnLengthByte()
{
    uchar p[LinkFrame::kMaxPacket] = {};
    p[0] = LinkFrame::kSync;
    p[1] = LinkFrame::kHostAddress;
    p[2] = 200;
    for (int i = 3; i <= 200; ++i)
        p[i] = uchar(i);
    LinkFrame::addCheckBytes(p);
    QVERIFY(LinkFrame::verify(p));
    p[199] ^= 0x10; // near the end, past any signed-byte misreading
    QVERIFY(!LinkFrame::verify(p));
}

void tst_LinkFrame::checkBytesNeverZero()
{
    for (int v = 0; v < 256; ++v) {
        const uchar p[] = {0xA5, 0x00, 0x04, 0x0A, uchar(v)};
        uchar c0 = 0, c1 = 0;
        LinkFrame::checkBytes(p, &c0, &c1);
        QVERIFY(c0 >= 1);
        QVERIFY(c1 >= 1);
    }
}

void tst_LinkFrame::tableText_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first rate") << "sample" << 0 << "32k";
    QTest::newRow("last rate") << "sample" << 12 << "192k";
    QTest::newRow("rate past the end") << "sample" << 13 << "?13";
    QTest::newRow("rate far past") << "sample" << 65535 << "?65535";
    QTest::newRow("negative") << "sample" << -1 << "?-1";
    QTest::newRow("bit depth") << "bits" << 2 << "16 no dither";
    QTest::newRow("bit depth past") << "bits" << 3 << "?3";
    QTest::newRow("frame rate") << "frames" << 4 << "29.97 DF";
    QTest::newRow("frame rate past") << "frames" << 7 << "?7";
    QTest::newRow("track label") << "tracks" << 11 << "X2";
}

void tst_LinkFrame::tableText()
{
    QFETCH(QString, table);
    QFETCH(int, code);
    QFETCH(QString, expected);
    using namespace constantsR9K;
    QString got;
    if (table == "sample")
        got = textFor(sampleRateText, code);
    else if (table == "bits")
        got = textFor(bitDepthText, code);
    else if (table == "frames")
        got = textFor(frameRateText, code);
    else
        got = textFor(trackLabelText, code);
    QCOMPARE(got, expected);
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
