#include "AudioFileModel.h"
#include "ReportManagement.h"
#include "ReportTestKit.h"
#include "TestUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

// The Report Manager window on the offscreen platform: its boxes drive the
// settings, and both formats are written through the save dialog's stand-in.
class TestReportManagement : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Quorlan");
        QCoreApplication::setApplicationName("Velmora");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void boxesDriveBothFormats()
    {
        AudioFileModel model;
        ReportTestKit::addTake(model, "A.WAV|2(POLY)|Y| |12|1|||note A.WAV");
        ReportTestKit::addTake(model, "B.WAV|2(POLY)| | |12|1|||note B.WAV");
        ReportTestKit::addTake(model, "C.WAV|16(POLY)|Y| |12|1|||note C.WAV");
        // The list shows C, B, A.
        ReportManagement w(nullptr, &model, [] { return QList<int>{2, 1, 0}; });
        QStringList messages;
        w.setMessageSink([&messages](QMessageBox::Icon, const QString& t) { messages << t; });
        QTemporaryDir out;
        QStringList asked;
        QString answer;
        w.setFileChooser([&](const QString& caption, const QString& proposed, const QString&) {
            asked << caption << QFileInfo(proposed).fileName();
            return answer;
        });
        QSignalSpy done(&w, &ReportManagement::doneReports);
        w.show();
        auto box = [&w](const char* name) { return w.findChild<QCheckBox*>(name); };
        auto* preview = w.findChild<QTableWidget*>("tableWidget");

        box("checkBox_NonCircled")->click();
        box("checkBox_Notes_2")->click();
        box("checkBox_TrackInfo")->click(); // 7 columns + 16 tracks: refused
        QVERIFY(!box("checkBox_TrackInfo")->isChecked());
        QCOMPARE(messages,
                 QStringList{"Maximum number of columns to be included in Reports reached."});
        box("checkBox_Take")->click();
        QVERIFY(preview->isColumnHidden(4));
        w.findChild<QLineEdit*>("lineEdit_1")->setText("Big Film");

        w.findChild<QComboBox*>("comboBox_Format")->setCurrentIndex(1);
        answer = out.filePath("report"); // no suffix: ".csv" is added
        w.findChild<QPushButton*>("pushButton_Generate")->click();
        QCOMPARE(asked, (QStringList{"Export txt", "SoundReport.csv"}));
        const QStringList lines =
            QString::fromUtf8(TestUtil::readFile(answer + ".csv")).split('\r');
        QCOMPARE(lines.value(1), QString("Project:,\"Big Film\",Sound Mixer:,\"\",Director:,\"\""));
        QCOMPARE(lines.mid(lines.size() - 4),
                 (QStringList{"File Name,Channels,Scene,Length,Start TC,Notes",
                              "\"C.WAV\",16(POLY),\"12\",,,note C.WAV",
                              "\"A.WAV\",2(POLY),\"12\",,,note A.WAV", ""}));
        QCOMPARE(QSettings().value("LastReportSaveDir").toString(), out.path());

        w.findChild<QComboBox*>("comboBox_Format")->setCurrentIndex(0);
        asked.clear();
        answer = out.filePath("report.pdf");
        w.findChild<QPushButton*>("pushButton_Generate")->click();
        QCOMPARE(asked, (QStringList{"Export PDF", "SoundReport.pdf"}));
        QVERIFY(TestUtil::readFile(answer).startsWith("%PDF-"));
        QCOMPARE(done.count(), 2);

        w.hide(); // saves the header rows
        QCOMPARE(QSettings().value("producerInfoList/Project:").toString(), QString("Big Film"));
        QCOMPARE(QSettings().value("producerInfoList/Project:Index").toInt(), 1);
    }
};

QTEST_MAIN(TestReportManagement)
#include "tst_reportmanagement.moc"
