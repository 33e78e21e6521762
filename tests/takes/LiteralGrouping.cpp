#include "LiteralGrouping.h"

#include "AudioFile.h"

#include <QDir>
#include <QFileInfo>

namespace LiteralGrouping
{

namespace
{

const QStringList kFilters{"*.WAV", "*.wav", "*.bwf", "*.BWF"};

QString stemOf(const QString& name)
{
    int p = name.lastIndexOf('_');
    if (p < 0)
        p = name.lastIndexOf('.');
    return p < 0 ? name : name.left(p);
}

// The "_X" rule as written for take names.
QString xName(const QString& name)
{
    const int p = name.lastIndexOf('_');
    if (p < 0)
        return name;
    const int d = name.indexOf('.');
    QString n = name;
    if (d > p)
        n.remove(p, d - p);
    n.insert(p, "_X");
    return n;
}

bool joins(const AudioFile& c, const AudioFile& given)
{
    return stemOf(QFileInfo(c.fileName()).fileName()) ==
               stemOf(QFileInfo(given.fileName()).fileName()) &&
           c.GetTotalSamples() == given.GetTotalSamples() &&
           c.GetSampleRate() == given.GetSampleRate() &&
           c.GetSamplesSinceMidnight() == given.GetSamplesSinceMidnight() && c.GetChannels() == 1;
}

// Places candidates into the 64 slots; returns which were placed.
QList<int> place(const QList<const AudioFile*>& candidates, const AudioFile& given,
                 QStringList& takeFiles)
{
    QString slot[64];
    QList<int> placed;
    for (int i = 0; i < candidates.size(); ++i) {
        const AudioFile* c = candidates.at(i);
        if (!joins(*c, given))
            continue;
        int k = c->GetChanelIndex();
        if (k > 63 || k < 0)
            continue;
        while (k < 64 && !slot[k].isEmpty())
            ++k;
        if (k == 64)
            continue;
        slot[k] = c->fileName();
        placed << i;
    }
    for (const QString& s : slot) {
        if (!s.isEmpty())
            takeFiles << s;
    }
    return placed;
}

} // namespace

QList<AudioFile*> filesInDirectory(const QString& folder)
{
    QList<AudioFile*> out;
    QDir dir(folder);
    if (!dir.exists())
        return out;
    for (const QFileInfo& fi : dir.entryInfoList(kFilters, QDir::Files, QDir::Name)) {
        auto* f = new AudioFile;
        if (f->Open(fi.absoluteFilePath()))
            out << f;
        else
            delete f;
    }
    return out;
}

void takeFiles2(QList<AudioFile*>& list, const AudioFile* file, QStringList& takeFiles,
                QString& name)
{
    name = QFileInfo(file->fileName()).fileName();
    if (file->GetChannels() > 1) {
        takeFiles << file->fileName();
        return;
    }
    const QString own = QFileInfo(file->fileName()).absoluteFilePath();
    bool ownListed = false;
    QList<const AudioFile*> candidates;
    QList<int> positions;
    for (int i = 0; i < list.size(); ++i) {
        if (!list.at(i))
            continue;
        ownListed = ownListed || list.at(i)->fileName() == own;
        candidates << list.at(i);
        positions << i;
    }
    if (!ownListed)
        return; // claimed by an earlier take
    QStringList found;
    for (int i : place(candidates, *file, found)) {
        delete list[positions.at(i)];
        list[positions.at(i)] = nullptr;
    }
    takeFiles << found;
    if (takeFiles.size() > 1)
        name = xName(name);
}

void takeFiles(const AudioFile* file, QStringList& takeFiles, QString& name)
{
    QList<AudioFile*> list = filesInDirectory(QFileInfo(file->fileName()).absolutePath());
    name = QFileInfo(file->fileName()).fileName();
    if (file->GetChannels() > 1) {
        takeFiles << file->fileName();
    } else {
        QList<const AudioFile*> candidates(list.begin(), list.end());
        place(candidates, *file, takeFiles);
        if (takeFiles.size() > 1)
            name = xName(name);
    }
    qDeleteAll(list);
}

QList<Take> importTakes(const QList<AudioFile*>& files)
{
    QList<Take> takes;
    QString lastFolder;
    QList<AudioFile*> list;
    for (const AudioFile* f : files) {
        const QString folder = QFileInfo(f->fileName()).absolutePath();
        if (folder != lastFolder) {
            qDeleteAll(list);
            list = filesInDirectory(folder);
            lastFolder = folder;
        }
        QStringList found;
        QString name;
        takeFiles2(list, f, found, name);
        if (found.isEmpty())
            continue;
        const QString label = f->GetChannels() == 1 ? QString("%1(MONO)").arg(found.size())
                                                    : QString("%1(POLY)").arg(f->GetChannels());
        bool listed = false;
        for (const Take& t : takes) {
            listed = listed || (t.name.compare(name, Qt::CaseInsensitive) == 0 &&
                                t.label.compare(label, Qt::CaseInsensitive) == 0);
        }
        if (!listed)
            takes << Take{name, label, f->fileName(), found};
    }
    qDeleteAll(list);
    return takes;
}

} // namespace LiteralGrouping
