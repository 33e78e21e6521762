#include "cUidGen.h"

#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace
{

// "USQRX" + 12 digits + HHmmss + "0" and 4 digits + 2 digits.
const QRegularExpression
    kUidPattern(QStringLiteral("^USQRX\\d{12}([01]\\d|2[0-3])[0-5]\\d[0-5]\\d0\\d{4}\\d{2}$"));

} // namespace

class TestUidGen : public QObject
{
    Q_OBJECT

private slots:
    void setUid_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("adopted");
        QTest::newRow("family id") << "USQRX123456789012235959012345600" << true;
        QTest::newRow("lower-case prefix") << "usqrx123456789012101010012340001" << true;
        QTest::newRow("longer text") << "USQRX123456789012101010012349901extra" << true;
        QTest::newRow("31 characters") << "USQRX12345678901223595901234560" << false;
        QTest::newRow("no prefix") << "ABCDE123456789012235959012345600" << false;
        QTest::newRow("empty") << "" << false;
    }

    // An identifier of the file set is adopted (characters 5..27) for the
    // file identifiers; anything else is refused and a fresh one made.
    void setUid()
    {
        QFETCH(QString, source);
        QFETCH(bool, adopted);
        cUidGen gen;
        QCOMPARE(gen.SetUid(source), adopted);
        if (!adopted) {
            QVERIFY(gen.serial.isEmpty() && gen.timeText.isEmpty() && gen.recNum.isEmpty());
            QVERIFY2(kUidPattern.match(gen.uid).hasMatch(), qPrintable(gen.uid));
            QVERIFY(gen.uid.mid(5, 12) != source.mid(5, 12));
            return;
        }
        for (int n = 1; n <= 3; ++n) {
            const QString id = gen.GetFileUID(n);
            QCOMPARE(id.size(), 32);
            QCOMPARE(id.left(5) + id.mid(5, 23), "USQRX" + source.mid(5, 23));
            QVERIFY(QRegularExpression("^\\d\\d0" + QString::number(n) + "$")
                        .match(id.right(4))
                        .hasMatch());
        }
    }

    // Made back to back within the same millisecond, identifiers still differ.
    void tightLoopDiffers()
    {
        QSet<QString> seen;
        for (int i = 0; i < 2000; ++i) {
            cUidGen gen;
            seen.insert(gen.uid);
            seen.insert(gen.GetFileUID(1));
        }
        QCOMPARE(seen.size(), 4000);
    }
};

QTEST_GUILESS_MAIN(TestUidGen)
#include "tst_uidgen.moc"
