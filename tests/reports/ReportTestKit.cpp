#include "ReportTestKit.h"

#include "AudioFileModel.h"
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
    for (int i = 1; i <= count; ++i) {
        ReportTake t;
        t.name = QStringLiteral("T%1.WAV").arg(i, 4, 10, QLatin1Char('0'));
        t.take = QString::number(i);
        t.tracks = QStringList{"Boom", "Lav"};
        addTake(model, t);
    }
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
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text.at(i + 1) == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record << cell;
            cell.clear();
        } else if (c == '\r') {
            record << cell;
            records << record;
            record.clear();
            cell.clear();
        } else {
            cell += c;
        }
    }
    return records;
}

QStringList lines(const QByteArray& bytes)
{
    QStringList l = QString::fromUtf8(bytes).split('\r');
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

QString pdfText(const QString& path)
{
    QByteArray out;
    if (TestUtil::run("pdftotext", {path, "-"}, &out) != 0)
        return QString();
    return QString::fromUtf8(out);
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
