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

// The folder's take files (QDir name filters, QDir::Name order), each opened.
// The caller owns the result (qDeleteAll).
QList<AudioFile*> filesInDirectory(const QString& folder);

// Groups file with the non-null entries of list, consuming those that join.
// A file whose own entry was consumed already yields nothing.
void takeFiles2(QList<AudioFile*>& list, const AudioFile* file, QStringList& takeFiles,
                QString& name);

// Groups file with its folder as listed afresh.
void takeFiles(const AudioFile* file, QStringList& takeFiles, QString& name);

// The takes an import of files adds, in order (duplicates by case-insensitive
// name and label skipped), each with its take files.
QList<Take> importTakes(const QList<AudioFile*>& files);

} // namespace LiteralGrouping
