#include "SplitCombineFiles.h"
#include "SplitCombineTestKit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace SplitCombineTestKit;

// The Split/Combine window on the offscreen platform: its grids, its take
// lists following the take list, and runs started by Process whose outputs
// are read back and compared sample for sample.
class TestSplitCombineFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_in;
    QString m_out;
    std::unique_ptr<TakeSession> m_session;
    std::unique_ptr<SplitCombineFiles> m_window;

    template <typename T> T* child(const char* name) const
    {
        T* w = m_window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QTableWidget* grid(const char* name) const { return child<QTableWidget>(name); }
    static void select(QTableWidget* g, const QList<QPoint>& cells) // x = row, y = column
    {
        g->clearSelection();
        for (const QPoint& p : cells)
            g->selectionModel()->select(g->model()->index(p.x(), p.y()),
                                        QItemSelectionModel::Select);
    }
    static QList<QPoint> selected(const QTableWidget* g)
    {
        QList<QPoint> cells;
        for (const QModelIndex& i : g->selectionModel()->selectedIndexes())
            cells << QPoint(i.row(), i.column());
        std::sort(cells.begin(), cells.end(), [](const QPoint& a, const QPoint& b) {
            return std::pair(a.x(), a.y()) < std::pair(b.x(), b.y());
        });
        return cells;
    }
    QString process()
    {
        QStringList messages;
        m_window->setMessageSink([&](QMessageBox::Icon, const QString& t) { messages << t; });
        QSignalSpy finished(m_window->batch(), &SplitCombineBatch::finished);
        child<QPushButton>("pushButtonProcess")->click();
        if (messages.isEmpty())
            finalMessage(finished);
        return messages.join('|');
    }
    QStringList outFiles() const { return QDir(m_out).entryList(QDir::Files | QDir::Hidden); }

private slots:
    void init()
    {
        m_in = m_tmp.filePath("in");
        m_out = m_tmp.filePath("out");
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_in);
        QDir().mkpath(m_out);
        m_session = std::make_unique<TakeSession>();
        m_window = std::make_unique<SplitCombineFiles>(nullptr, m_session.get());
        m_window->setDestination(m_out);
        m_window->resize(455, 406);
        m_window->show();
    }
    void cleanup()
    {
        m_window.reset();
        m_session.reset();
    }

    void combineGridOneCellPerRowAndColumn_data()
    {
        QTest::addColumn<QList<QPoint>>("clicks");
        QTest::addColumn<QList<QPoint>>("left");
        QTest::newRow("second cell in a row drops the first")
            << QList<QPoint>{{0, 0}, {0, 3}} << QList<QPoint>{{0, 3}};
        QTest::newRow("second cell in a column drops the first")
            << QList<QPoint>{{0, 2}, {1, 2}} << QList<QPoint>{{1, 2}};
        QTest::newRow("other rows and columns stay")
            << QList<QPoint>{{0, 1}, {1, 0}, {2, 2}} << QList<QPoint>{{0, 1}, {1, 0}, {2, 2}};
        QTest::newRow("a click on a selected cell clears it")
            << QList<QPoint>{{1, 1}, {1, 1}} << QList<QPoint>{};
    }
    void combineGridOneCellPerRowAndColumn()
    {
        QFETCH(QList<QPoint>, clicks);
        QFETCH(QList<QPoint>, left);
        QTableWidget* g = grid("tableWidgetCombineRules");
        QCOMPARE(selected(g).size(), SplitCombineFiles::kGridSize); // the diagonal
        child<QPushButton>("pushButtonClear")->click();
        for (const QPoint& p : clicks) {
            const QModelIndex i = g->model()->index(p.x(), p.y());
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(i).center());
        }
        QCOMPARE(selected(g), left);
    }

    // Manual mode lists the mono files of the take list as its rows change,
    // and combines the picked files in output track order into NAME.wav.
    void manualCombineFollowsTakeList()
    {
        writeMono(m_in, "A", {24, 24});
        const QList<QByteArray> b = writeMono(m_in, "B", {24, 24, 24});
        QVERIFY(importAll(*m_session, {m_in}));
        child<QRadioButton>("radioButton_Manual")->click();
        QVERIFY(child<QLineEdit>("lineEdit_DestinationFileName")->isVisible());
        QTableWidget* g = grid("tableWidgetCombineRules");
        QCOMPARE(g->item(4, 0)->text(), "B_3.WAV");
        QCOMPARE(m_window->manualFiles().size(), 5);

        m_session->removeTakes({0});
        QTRY_COMPARE(m_window->manualFiles().size(), 3);
        QCOMPARE(g->item(0, 0)->text(), "B_1.WAV");
        select(g, {{0, 2}, {2, 1}});
        child<QLineEdit>("lineEdit_DestinationFileName")->setText("Mix");
        QCOMPARE(process(), "Done.");
        QCOMPARE(outFiles(), QStringList{"Mix.wav"});
        QVERIFY(holdsChannels(m_out + "/Mix.wav", {b.at(2), b.at(0)}, 3));

        child<QRadioButton>("radioButton_Batch")->click();
        QVERIFY(!child<QLineEdit>("lineEdit_DestinationFileName")->isVisible());
    }
};

QTEST_MAIN(TestSplitCombineFiles)
#include "tst_splitcombinefiles.moc"
