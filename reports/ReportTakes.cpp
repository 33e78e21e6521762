#include "ReportTakes.h"

#include "AudioFileModel.h"
#include "ReportSettings.h"
#include "TakeColumns.h"

#include <QObject>

namespace ReportTakes
{

QString noTakesMessage()
{
    return QObject::tr("No Takes are present in the Take List to generate Reports.");
}

QString noneIncludedMessage()
{
    return QObject::tr("No Takes were included in Reports.\n Please adjust settings in Reports "
                       "window.");
}

QString invalidNameMessage()
{
    return QObject::tr("Invalid file name.\n Please select valid folder.");
}

QString rowsForReport(const QString& path, const AudioFileModel& model,
                      const QList<int>& viewRows, const ReportSettings& settings,
                      QList<int>& rows)
{
    if (path.isEmpty())
        return invalidNameMessage();
    if (model.rowCount() == 0)
        return noTakesMessage();
    rows = selectTakes(model, viewRows, settings);
    return rows.isEmpty() ? noneIncludedMessage() : QString();
}

QList<int> selectTakes(const AudioFileModel& model, const QList<int>& viewRows,
                       const ReportSettings& settings)
{
    QList<int> rows;
    for (int r : viewRows) {
        if (r < 0 || r >= model.rowCount())
            continue;
        const QString circled = model.data(model.index(r, TakeColumns::Circled)).toString();
        const QString wild = model.data(model.index(r, TakeColumns::Wild)).toString();
        if ((settings.includeCircled && circled == QLatin1String("Y")) ||
            (settings.includeNonCircled && circled == QLatin1String(" ")) ||
            (settings.includeWild && wild == QLatin1String("Y")))
            rows << r;
    }
    return rows;
}

QList<int> allRows(const AudioFileModel& model)
{
    QList<int> rows;
    rows.reserve(model.rowCount());
    for (int r = 0; r < model.rowCount(); ++r)
        rows << r;
    return rows;
}

int widestTake(const AudioFileModel& model)
{
    int widest = 0;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QString label = model.data(model.index(r, TakeColumns::Channels)).toString();
        const qsizetype open = label.indexOf(QLatin1Char('('));
        if (open < 0)
            continue;
        widest = qMax(widest, label.left(open).toInt());
    }
    return widest;
}

int trackCount(const AudioFileModel& model, const ReportSettings& settings)
{
    return settings.trackColumns(widestTake(model));
}

int modelColumn(int reportColumn)
{
    return int(
        TakeColumns::headersList().indexOf(ReportSettings::reportInfoList().value(reportColumn)));
}

QString cell(const AudioFileModel& model, int row, int reportColumn)
{
    return model.data(model.index(row, modelColumn(reportColumn))).toString();
}

QString notes(const AudioFileModel& model, int row)
{
    return model.data(model.index(row, TakeColumns::Notes)).toString();
}

QStringList trackNames(const AudioFileModel& model, int row)
{
    const int nameField = int(TakeColumns::trackHeadersList().indexOf(QLatin1String("Name")));
    QStringList names;
    for (const QStringList& track : model.trackInfo(row)) {
        const QString name = track.value(nameField);
        names << (name.isEmpty() ? QStringLiteral("X") : name);
    }
    return names;
}

} // namespace ReportTakes
