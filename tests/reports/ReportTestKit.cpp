#include "ReportTestKit.h"

#include "AudioFileModel.h"
#include "ReportSettings.h"
#include "TakeColumns.h"
#include "TestUtil.h"

#include <QStandardPaths>

#include <csignal>

namespace ReportTestKit
{

void addTake(AudioFileModel& model, const ReportTake& t)
{
    using namespace TakeColumns;
    QStringList cells(Count);
    cells[FileName] = t.name;
    cells[Channels] = t.label;
    cells[Circled] = t.circled;
    cells[Wild] = t.wild;
    cells[Scene] = t.scene;
    cells[Take] = t.take;
    cells[Tape] = t.tape;
    cells[SampleRate] = t.sampleRate;
    cells[Notes] = t.notes;
    const int row = model.rowCount();
    model.insertRow(row, QModelIndex(), cells);
    QList<QStringList> tracks;
    for (int i = 0; i < t.tracks.size(); ++i)
        tracks << QStringList{QString::number(i + 1), QString::number(i + 1), t.tracks.at(i), ""};
    model.setTrackInfo(row, tracks);
}

void addTakes(AudioFileModel& model, int count)
{
    for (int i = 1; i <= count; ++i)
        addTake(model, {QString("T%1.WAV").arg(i, 4, 10, QLatin1Char('0')),
                        "2(POLY)",
                        " ",
                        " ",
                        "12",
                        QString::number(i),
                        "",
                        "48000",
                        "",
                        {"Boom", "Lav"}});
}

void setColumns(ReportSettings& s, const QString& titles)
{
    for (int c = 0; c < ReportSettings::ColumnCount; ++c)
        s.setColumnDirect(c, titles.split(',').contains(ReportSettings::reportInfoList().at(c)));
}

QList<QStringList> readCsv(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QList<QStringList> records;
    QStringList record;
    QString cell;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == '"' && text.mid(i + 1, 1) == "\"") {
            cell += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (quoted || (c != ',' && c != '\r')) {
            cell += c;
        } else {
            record << cell;
            cell.clear();
            if (c == '\r') {
                records << record;
                record.clear();
            }
        }
    }
    return records;
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

QStringList pdfPages(const QString& path)
{
    QByteArray out;
    if (TestUtil::run("pdftotext", {path, "-"}, &out) != 0)
        return {};
    QStringList pages = QString::fromUtf8(out).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace ReportTestKit

ReportFileSizeLimit::ReportFileSizeLimit(quint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_saved);
    struct rlimit l = m_saved;
    l.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &l);
}

ReportFileSizeLimit::~ReportFileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
}
