#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class AudioFileModel;
class ReportSettings;

namespace ReportTestKit
{
// Adds a take-list row from "name|label|circled|wild|scene|take|tape|rate|notes"
// (later fields may be left out; circled and wild default to " ") with one
// track per name in tracks; other cells stay empty.
void addTake(AudioFileModel& model, const QString& fields, const QStringList& tracks = {});
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
