#include "PdfReport.h"

#include "AudioFileModel.h"
#include "ReportSettings.h"
#include "ReportTakes.h"

#include <QFont>
#include <QFontMetrics>
#include <QObject>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace PdfReport
{

namespace
{
// The writer draws at 1200 dpi; distances are laid out in units of 1/120
// inch (kUnit dots), which keeps the margin inside the printable area of
// common printers while 54 rows still fit on a page.
constexpr int kResolution = 1200;
constexpr int kUnit = 10;
constexpr int kMargin = 20 * kUnit;
constexpr int kColumnGap = 6 * kUnit;
constexpr int kCellGap = 4 * kUnit;
constexpr int kRuleWidth = 3 * kUnit;

QFont reportFont(int points, bool bold, int stretch = 100)
{
    QFont f;
    // Liberation Sans has the metrics the column widths are made for; the
    // others give their glyphs to scripts it lacks (Cyrillic and Greek come
    // from DejaVu, Chinese and Japanese from WenQuanYi).
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("WenQuanYi Micro Hei")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(points);
    f.setBold(bold);
    if (stretch != 100)
        f.setStretch(stretch);
    return f;
}

// The sample a wide column is measured by, or the title itself.
QString widthSample(const QString& title)
{
    if (title == QLatin1String("Notes"))
        return QString(17, QLatin1Char('Q'));
    if (title == QLatin1String("File Name"))
        return QString(9, QLatin1Char('Q'));
    if (title == QLatin1String("Scene"))
        return QString(7, QLatin1Char('Q'));
    if (title == QLatin1String("Dur."))
        return QString(4, QLatin1Char('Q'));
    return title;
}

// Draws the pages of one plan on one painter.
class Printer
{
public:
    Printer(const Plan& plan, const ReportSettings& settings, QPainter& painter,
            QPaintDevice& device)
        : m_plan(plan), m_settings(settings), m_p(painter), m_device(device)
    {
    }

    void printPage(int page, const QRect& pageRect)
    {
        QRect area = pageRect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
        if (page == 1) {
            printFirstPage(area);
        } else {
            printDataHeaders(area);
            printItems(kPageRows, area);
        }
        const QFont f = reportFont(9, false);
        m_p.setFont(f);
        const QString number = QString::number(page);
        const QFontMetrics fm(f, &m_device);
        m_p.drawText(area.right() - fm.horizontalAdvance(number), area.bottom(), number);
    }

private:
    void printFirstPage(QRect& area)
    {
        m_p.setBrush(Qt::black);
        const QFont title = reportFont(24, true);
        const QString text = QStringLiteral("Sound Report");
        const int height = QFontMetrics(title, &m_device).boundingRect(text).height();
        m_p.setFont(title);
        m_p.drawText(QRect(area.left(), area.top() + 10 * kUnit, area.width(), height),
                     Qt::AlignCenter, text);
        area.setTop(area.top() + height + 40 * kUnit);
        printReportInfo(area);
        area.setTop(area.top() + 10 * kUnit);
        printDataHeaders(area);
        m_printed = 0;
        printItems(kFirstPageRows, area);
    }

    void printReportInfo(QRect& area)
    {
        const QStringList pairs = m_settings.headerPairs();
        const int count = int(pairs.size() / 2);
        const QFont bold = reportFont(11, true);
        const QFont normal = reportFont(11, false);
        const QFontMetrics fmBold(bold, &m_device);
        const QFontMetrics fmNormal(normal, &m_device);
        const QString spaces = QStringLiteral("   ");
        const int spacesWidth = fmNormal.horizontalAdvance(spaces);
        const int columnWidth = area.width() / 3;
        const int line = fmBold.lineSpacing();
        int y = area.top();
        for (int l = 0; l <= count / 3; ++l) {
            for (int i = 0; i < 3 && l * 3 + i < count; ++i) {
                const int p = l * 3 + i;
                const QString& label = pairs.at(2 * p);
                const int x = area.left() + i * columnWidth;
                const int labelWidth = fmBold.horizontalAdvance(label);
                m_p.setFont(bold);
                m_p.drawText(QRect(x, y, labelWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                             label);
                const int end =
                    i < 2 ? area.left() + (i + 1) * columnWidth - 2 * kUnit : area.right();
                const int width = qMax(0, end - (x + labelWidth) - spacesWidth);
                m_p.setFont(normal);
                m_p.drawText(
                    QRect(x + labelWidth, y, width, line), Qt::AlignLeft | Qt::AlignVCenter,
                    fmNormal.elidedText(spaces + pairs.at(2 * p + 1), Qt::ElideRight, width));
            }
            y += line;
        }
        area.setTop(y + line);
    }

    // The titles stand below the area's top (not on it), so that they are
    // whole on the pages where the area starts at the margin.
    void printDataHeaders(QRect& area)
    {
        const QFont bold = reportFont(11, true);
        const QFontMetrics fm(bold, &m_device);
        m_p.setFont(bold);
        const int baseline = area.top() + fm.ascent();
        int x = area.left();
        m_colX = {double(x)};
        for (const QString& title : m_plan.titles) {
            m_p.drawText(x, baseline, title);
            x += fm.horizontalAdvance(widthSample(title)) + kColumnGap;
            m_colX << double(x);
        }
        if (m_plan.trackCount > 0) {
            const double step = double(area.right() + 1 - x) / m_plan.trackCount;
            double tx = x;
            for (int t = 1; t <= m_plan.trackCount; ++t) {
                const QString label = QStringLiteral("T%1 ").arg(t);
                m_p.drawText(QPointF(tx, baseline),
                             fm.elidedText(label, Qt::ElideRight, int(step)));
                tx += step;
                m_colX << tx;
            }
        }
        const int lineY = baseline + 10 * kUnit;
        m_p.setPen(QPen(Qt::black, kRuleWidth, Qt::SolidLine));
        m_p.drawLine(area.left(), lineY, area.right(), lineY);
        area.setTop(lineY + 5 * kUnit);
    }

    void printItems(int rows, QRect& area)
    {
        const QFont f = reportFont(9, false, 87);
        const QFontMetrics fm(f, &m_device);
        m_p.setFont(f);
        const int line = fm.lineSpacing();
        const int end = qMin(int(m_plan.items.size()), m_printed + rows);
        int y = area.top();
        for (; m_printed < end; ++m_printed) {
            const QStringList& item = m_plan.items.at(m_printed);
            if (isShaded(item))
                m_p.fillRect(QRect(area.left(), y, area.width(), line), Qt::lightGray);
            for (int j = 1; j < item.size(); ++j) {
                const double left = m_colX.value(j - 1, area.right());
                const bool last = j + 1 == item.size() || j >= m_colX.size();
                const double right = last ? area.right() : m_colX.at(j) - kCellGap;
                const int width = qMax(0, int(right - left));
                if (width == 0 || item.at(j).isEmpty())
                    continue;
                m_p.drawText(QRectF(left, y, width, line), Qt::AlignLeft | Qt::AlignVCenter,
                             fm.elidedText(item.at(j), Qt::ElideRight, width));
            }
            y += line;
        }
        area.setTop(y);
    }

    const Plan& m_plan;
    const ReportSettings& m_settings;
    QPainter& m_p;
    QPaintDevice& m_device;
    QList<double> m_colX;
    int m_printed = 0;
};
} // namespace

QString failedMessage()
{
    return QObject::tr("Failed to create pdf file.");
}

QString shortTitle(int reportColumn)
{
    switch (reportColumn) {
    case ReportSettings::SampleRate:
        return QStringLiteral("SR/Hz");
    case ReportSettings::BitDepth:
        return QStringLiteral("Bits");
    case ReportSettings::Circled:
        return QStringLiteral("Circ");
    case ReportSettings::Channels:
        return QStringLiteral("Ch.");
    case ReportSettings::Wild:
        return QStringLiteral("WT");
    case ReportSettings::Length:
        return QStringLiteral("Dur.");
    case ReportSettings::StartTC:
        return QStringLiteral("Start TC  ");
    case ReportSettings::EndTC:
        return QStringLiteral("End TC    ");
    case ReportSettings::Tape:
        return QStringLiteral("Tape    ");
    case ReportSettings::FrameRate:
        return QStringLiteral("FPS     ");
    default:
        return ReportSettings::reportInfoList().value(reportColumn);
    }
}

int pageCount(int items)
{
    if (items <= kFirstPageRows)
        return 1;
    return 1 + (items - kFirstPageRows + kPageRows - 1) / kPageRows;
}

bool isShaded(const QStringList& item)
{
    return !item.isEmpty() && item.first().toInt() % 2 == 1;
}

QList<QStringList> prepareItemList(const AudioFileModel& model, const QList<int>& rows,
                                   const ReportSettings& settings, int trackCount,
                                   const QList<int>& dataColumns)
{
    QList<QStringList> items;
    for (int k = 0; k < rows.size(); ++k) {
        const int r = rows.at(k);
        const QString number = QString::number(k);
        const QStringList names = ReportTakes::trackNames(model, r);

        QStringList data{number};
        for (int c : dataColumns) {
            QString value = ReportTakes::cell(model, r, c);
            if (c == ReportSettings::FileName)
                value = value.section(QLatin1Char('.'), 0, 0);
            else if (c == ReportSettings::Channels)
                value = value.section(QLatin1Char('('), 0, 0);
            data << value;
        }
        if (settings.trackNames && !settings.trackNamesRows) {
            for (int t = 0; t < trackCount; ++t)
                data << (t < names.size() ? names.at(t) : QStringLiteral(" "));
        }
        if (data.size() > 1)
            items << data;

        if (settings.trackNamesRows) {
            const QString sep = QStringLiteral(", ");
            if (names.size() > kTracksPerRow) {
                items << QStringList{number, QStringLiteral("Tracks: ") +
                                                 names.mid(0, kTracksPerRow).join(sep) + sep};
                items << QStringList{number, QString(), names.mid(kTracksPerRow).join(sep)};
            } else {
                items << QStringList{number, QStringLiteral("Tracks: ") + names.join(sep)};
            }
        }
        if (settings.notesRows && !settings.column(ReportSettings::Notes))
            items << QStringList{number, QStringLiteral("NOTES: ") + ReportTakes::notes(model, r)};
    }
    return items;
}

Plan plan(const AudioFileModel& model, const QList<int>& rows, const ReportSettings& settings)
{
    Plan p;
    p.trackCount = ReportTakes::trackCount(model, settings);
    const int included = settings.shownColumns();
    const int printColumns = qMin(included + p.trackCount, kMaxPrintColumns);
    const int dataColumns = qMax(0, printColumns - p.trackCount);
    for (int c = 0; c < ReportSettings::ColumnCount && p.dataColumns.size() < dataColumns; ++c) {
        if (settings.column(c)) {
            p.dataColumns << c;
            p.titles << shortTitle(c);
        }
    }
    p.items = prepareItemList(model, rows, settings, p.trackCount, p.dataColumns);
    p.pages = pageCount(int(p.items.size()));
    return p;
}

bool createPDFFile(const QString& path, const AudioFileModel& model, const QList<int>& viewRows,
                   const ReportSettings& settings, QString* message, const Progress& progress,
                   bool* cancelled)
{
    auto fail = [message](const QString& text) {
        if (message)
            *message = text;
        return false;
    };
    if (cancelled)
        *cancelled = false;
    QList<int> rows;
    const QString problem = ReportTakes::rowsForReport(path, model, viewRows, settings, rows);
    if (!problem.isEmpty())
        return fail(problem);
    const Plan p = plan(model, rows, settings);

    // Written beside the target and renamed over it once complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(failedMessage());
    {
        QPdfWriter writer(&file);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QStringLiteral("Sound Report"));
        writer.setCreator(QStringLiteral("Velmora"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return fail(failedMessage());
        }
        const QRect pageRect(0, 0, writer.width(), writer.height());
        Printer printer(p, settings, painter, writer);
        bool stopped = false;
        for (int page = 1; page <= p.pages && !stopped; ++page) {
            // Asked before the sheet is started, so a stop adds no blank page.
            stopped = progress && !progress(page - 1, p.pages);
            if (stopped)
                break;
            if (page > 1)
                writer.newPage();
            printer.printPage(page, pageRect);
        }
        painter.end();
        if (cancelled)
            *cancelled = stopped;
        if (progress && !stopped)
            progress(p.pages, p.pages);
    }
    if (file.error() != QFileDevice::NoError || !file.commit()) {
        file.cancelWriting();
        return fail(failedMessage());
    }
    return true;
}

} // namespace PdfReport
