#pragma once

#include <QList>
#include <QStringList>
#include <QTextStream>

class AudioFileModel;

// Fills model with the takes of files and folders (a folder contributes its
// take files, one level) exactly as an import builds the take list; every
// file is opened read-only. filesOfRow, when given, gets each row's files in
// channel order. Problems are reported on err; returns 0, or 1 when some
// path could not be used or a file ended up in no take.
int loadTakeList(const QStringList& paths, QTextStream& err, AudioFileModel& model,
                 QList<QStringList>* filesOfRow = nullptr);
