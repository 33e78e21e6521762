#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class AudioFile;

// A second take grouping, the plain way, with no index or cache: every call
// lists the folder and opens every file. Tests compare the grouping of the
// take library against it on generated folders.
namespace LiteralGrouping
{

struct Take {
    QString name;
    QString label;
    QString path; // the file the take was found through
    QStringList files;
};

// The takes an import of files adds, in order (duplicates by case-insensitive
// name and label skipped), each with its take files. A run of files from one
// folder shares one listing, whose files join one take at most.
QList<Take> importTakes(const QList<AudioFile*>& files);

// Groups file with its folder as listed afresh (as the operations do).
void takeFiles(const AudioFile* file, QStringList& takeFiles, QString& name);

} // namespace LiteralGrouping
