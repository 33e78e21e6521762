#include "TakeFileRemover.h"

#include "AudioFile.h"
#include "KQHelper.h"
#include "TakeLabel.h"

#include <QFile>

QStringList TakeFileRemover::filesOf(TakeFolderCache& cache, const QString& path,
                                     const QString& label, Outcome* outcome)
{
    Outcome result = Outcome::NotOpened;
    QStringList files;
    AudioFile file;
    if (file.Open(path)) {
        QString name;
        KQHelper::getTakeFiles(cache, &file, files, name);
        const QString self = KQHelper::absolutePath(path);
        bool containsSelf = false;
        for (const QString& f : files)
            containsSelf = containsSelf || KQHelper::absolutePath(f) == self;
        if (files.size() == TakeLabel::parse(label).fileCount() && containsSelf) {
            result = Outcome::Deleted;
        } else {
            result = Outcome::Changed;
            files.clear();
        }
    }
    if (outcome)
        *outcome = result;
    return files;
}

TakeFileRemover::Result TakeFileRemover::remove(TakeFolderCache& cache, const QString& path,
                                                const QString& label)
{
    Result result;
    const QStringList files = filesOf(cache, path, label, &result.outcome);
    for (const QString& f : files) {
        if (QFile::remove(f))
            result.deleted << f;
        else
            result.failed << f;
    }
    if (!result.failed.isEmpty())
        result.outcome = Outcome::Failed;
    return result;
}
