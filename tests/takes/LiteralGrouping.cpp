#include "LiteralGrouping.h"

#include "AudioFile.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace LiteralGrouping
{

namespace
{

using Listing = std::vector<std::unique_ptr<AudioFile>>;

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

// The folder's take files (QDir name filters, QDir::Name order), each opened.
Listing filesInDirectory(const QString& folder)
{
    Listing out;
    const QStringList filters{"*.WAV", "*.wav", "*.bwf", "*.BWF"};
    for (const QFileInfo& fi : QDir(folder).entryInfoList(filters, QDir::Files, QDir::Name)) {
        auto f = std::make_unique<AudioFile>();
        if (f->Open(fi.absoluteFilePath()))
            out.push_back(std::move(f));
    }
    return out;
}

bool joins(const AudioFile& c, const AudioFile& given)
{
    return stemOf(QFileInfo(c.fileName()).fileName()) ==
               stemOf(QFileInfo(given.fileName()).fileName()) &&
           c.GetTotalSamples() == given.GetTotalSamples() &&
           c.GetSampleRate() == given.GetSampleRate() &&
           c.GetSamplesSinceMidnight() == given.GetSamplesSinceMidnight() && c.GetChannels() == 1;
}

// Places the unclaimed files of list that join given into the 64 slots and
// claims them; returns the take's files in slot order.
QStringList place(const Listing& list, std::vector<bool>& claimed, const AudioFile& given)
{
    QString slot[64];
    for (size_t i = 0; i < list.size(); ++i) {
        int k = list[i]->GetChanelIndex();
        if (claimed[i] || !joins(*list[i], given) || k > 63 || k < 0)
            continue;
        while (k < 64 && !slot[k].isEmpty())
            ++k;
        if (k == 64)
            continue;
        slot[k] = list[i]->fileName();
        claimed[i] = true;
    }
    QStringList files;
    for (const QString& s : slot) {
        if (!s.isEmpty())
            files << s;
    }
    return files;
}

// file's take among list; nothing when file's own entry is claimed already.
QStringList group(const Listing& list, std::vector<bool>& claimed, const AudioFile& file,
                  bool ownMustBeFree, QString& name)
{
    name = QFileInfo(file.fileName()).fileName();
    if (file.GetChannels() > 1)
        return {file.fileName()};
    const QString own = QFileInfo(file.fileName()).absoluteFilePath();
    bool ownFree = !ownMustBeFree;
    for (size_t i = 0; i < list.size(); ++i)
        ownFree = ownFree || (!claimed[i] && list[i]->fileName() == own);
    if (!ownFree)
        return {};
    const QStringList found = place(list, claimed, file);
    if (found.size() > 1)
        name = xName(name);
    return found;
}

} // namespace

void takeFiles(const AudioFile* file, QStringList& takeFiles, QString& name)
{
    const Listing list = filesInDirectory(QFileInfo(file->fileName()).absolutePath());
    std::vector<bool> claimed(list.size(), false);
    takeFiles << group(list, claimed, *file, false, name);
}

QList<Take> importTakes(const QList<AudioFile*>& files)
{
    QList<Take> takes;
    QString lastFolder;
    Listing list;
    std::vector<bool> claimed;
    for (const AudioFile* f : files) {
        const QString folder = QFileInfo(f->fileName()).absolutePath();
        if (folder != lastFolder) {
            list = filesInDirectory(folder);
            claimed.assign(list.size(), false);
            lastFolder = folder;
        }
        QString name;
        const QStringList found = group(list, claimed, *f, true, name);
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
    return takes;
}

} // namespace LiteralGrouping
