#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

class AudioFileModel;

// One take-list row as the report tests need it; other cells stay empty.
struct ReportTake {
    QString name = "T0001.WAV";
    QString label = "2(POLY)";
    QString circled = " ";
    QString wild = " ";
    QString scene = "12";
    QString take = "1";
    QString tape;
    QString sampleRate = "48000";
    QString notes;
    QStringList tracks; // track names, one track each
};

namespace ReportTestKit
{
void addTake(AudioFileModel& model, const ReportTake& take);
// count takes T0001.WAV ... with two named tracks each.
void addTakes(AudioFileModel& model, int count);
// The records of a CSV text whose lines end with CR; quoted cells may hold
// commas, doubled quotes and line breaks.
QList<QStringList> readCsv(const QByteArray& utf8);
// The CR-ended lines of a file, as written (no CSV parsing).
QStringList lines(const QByteArray& bytes);
bool havePoppler();
// pdftotext output (form feed between pages); empty when it failed.
QString pdfText(const QString& path);
} // namespace ReportTestKit

// Limits the size of files this process writes while in scope; writes past
// it fail with EFBIG instead of raising SIGXFSZ.
class ReportFileSizeLimit
{
public:
    explicit ReportFileSizeLimit(quint64 bytes);
    ~ReportFileSizeLimit();

private:
    struct rlimit m_saved;
};
