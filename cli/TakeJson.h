#pragma once

#include "JsonWriter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>

class AudioFile;

// JSON shapes shared by the CLI commands that print takes.
namespace TakeJson {

// {title: cell} for the 31 take-list titles.
void writeColumns(JsonWriter& w, const QStringList& cells);
// One object per row, keyed by headers.
void writeTable(JsonWriter& w, const QList<QStringList>& rows, const QStringList& headers);
void writeRecord(JsonWriter& w, const QStringList& values, const QStringList& headers);

// The whole description of one opened take file as "info --json" prints it.
// Non-const: the wild flag is worked out (and recorded in memory) on reading.
void writeFile(JsonWriter& w, AudioFile& file, const QString& pathAsGiven);
// The object for a path that could not be read.
void writeError(JsonWriter& w, const QString& pathAsGiven, const QString& error);

// QJsonObject forms of the writers above, for callers that assemble trees.
QJsonObject columns(const QStringList& cells);
QJsonArray table(const QList<QStringList>& rows, const QStringList& headers);
QJsonObject record(const QStringList& values, const QStringList& headers);

} // namespace TakeJson
