#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>

class AudioFile;

// JSON shapes shared by the CLI commands that print takes.
namespace TakeJson {

// {title: cell} for the 31 take-list titles.
QJsonObject columns(const QStringList& cells);
// One object per row, keyed by headers.
QJsonArray table(const QList<QStringList>& rows, const QStringList& headers);
QJsonObject record(const QStringList& values, const QStringList& headers);

// The whole description of one opened take file as "info --json" prints it.
// Non-const: the wild flag is worked out (and recorded) on reading.
QJsonObject fileObject(AudioFile& file, const QString& pathAsGiven);
// The object for a path that could not be read.
QJsonObject errorObject(const QString& pathAsGiven, const QString& error);

} // namespace TakeJson
