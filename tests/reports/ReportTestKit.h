#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

class AudioFileModel;
class ReportSettings;

// One take-list row as the report tests need it; other cells stay empty.
struct ReportTake {
    QString name = "T0001.WAV", label = "2(POLY)", circled = " ", wild = " ";
    QString scene = "12", take = "1", tape = "", sampleRate = "48000", notes = "";
    QStringList tracks = {}; // track names, one track each
};

namespace ReportTestKit
{
void addTake(AudioFileModel& model, const ReportTake& take);
// count takes T0001.WAV ... with two named tracks each.
void addTakes(AudioFileModel& model, int count);
// Checks exactly the report columns whose titles are in the comma list.
void setColumns(ReportSettings& settings, const QString& titles);
// The records of a CSV text whose lines end with CR; quoted cells may hold
// commas, doubled quotes and line breaks.
QList<QStringList> readCsv(const QByteArray& utf8);
bool havePoppler();
// pdftotext output, one entry per page; empty when it failed.
QStringList pdfPages(const QString& path);
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
