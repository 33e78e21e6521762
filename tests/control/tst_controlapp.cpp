#include <QTest>
class TestControlApp : public QObject { Q_OBJECT };
QTEST_MAIN(TestControlApp)
#include "tst_controlapp.moc"
