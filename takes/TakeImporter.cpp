#include "TakeImporter.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeFileStamp.h"
#include "TakeFolderCache.h"
#include "TakeFolderIndex.h"
#include "TakeParallel.h"
#include "TakePool.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <vector>

TakeImporter::TakeImporter(QObject* parent) : QObject(parent) {}

TakeImporter::~TakeImporter()
{
    if (m_shared)
        m_shared->progress.cancel = true;
    stopWorker();
}

void TakeImporter::stopWorker()
{
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
}

bool TakeImporter::start(const Request& request)
{
    if (isRunning())
        return false;
    m_shared = std::make_shared<Shared>();
    m_result.clear();
    m_rejected = 0;
    m_cancelled = false;
    std::shared_ptr<Shared> shared = m_shared;
    m_thread.reset(
        QThread::create([shared, request] { shared->outcome = read(request, &shared->progress); }));
    // finished() is emitted by the worker thread; the importer lives on its
    // owner's thread, so the slot runs there, after the worker's last write.
    connect(m_thread.get(), &QThread::finished, this, &TakeImporter::onWorkerFinished);
    m_thread->start();
    return true;
}

bool TakeImporter::isRunning() const
{
    return m_thread != nullptr;
}

void TakeImporter::cancel()
{
    if (m_shared)
        m_shared->progress.cancel = true;
}

QVector<StagedTake> TakeImporter::takeResult()
{
    QVector<StagedTake> result;
    result.swap(m_result);
    return result;
}

void TakeImporter::onWorkerFinished()
{
    if (!m_thread)
        return;
    stopWorker();
    Outcome& outcome = m_shared->outcome;
    m_cancelled = outcome.cancelled || m_shared->progress.cancel.load();
    m_rejected = int(outcome.rejected.size());
    if (!m_cancelled)
        m_result = std::move(outcome.takes);
    outcome = Outcome();
    emit finished();
}

QStringList TakeImporter::expand(const Request& request, QVector<ImportRejection>* rejected)
{
    auto reject = [rejected](const QString& path, ImportRejection::Reason reason) {
        if (rejected)
            rejected->append({path, reason, QString(), 0});
    };
    QStringList files;
    for (const QString& path : request.paths) {
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (request.origin == Origin::CommandLine && !info.exists()) {
            reject(path, ImportRejection::Reason::Missing);
        } else if (info.isDir()) {
            if (request.origin == Origin::Dialog)
                continue;
            const QString folder = KQHelper::absolutePath(path);
            const QDir dir(folder);
            for (const QString& name : KQHelper::takeFileNames(folder))
                files << dir.filePath(name);
        } else if (request.origin != Origin::Drop && !KQHelper::hasTakeSuffix(path)) {
            if (request.origin == Origin::CommandLine)
                reject(path, ImportRejection::Reason::NotTakeName);
        } else {
            // A missing file is kept: opening it fails and rejects it.
            files << KQHelper::absolutePath(path);
        }
    }
    return files;
}

namespace
{

// Texts packed into one string, each after its length (two characters), so
// that the row and side tables a file keeps until its take is staged cost one
// allocation of their size instead of some fifty small ones. Built in two
// passes over the same calls: one to size the string, one to fill it.
class PackedTexts
{
public:
    // Calls fill(packer) twice; fill adds the texts with number() and text().
    template <typename Fill> void pack(Fill fill)
    {
        m_size = 0;
        m_out = nullptr;
        fill(*this);
        m_text.resize(m_size);
        m_out = reinterpret_cast<char16_t*>(m_text.data());
        fill(*this);
        m_out = nullptr;
    }
    void number(quint32 n)
    {
        if (m_out) {
            *m_out++ = char16_t(n & 0xFFFF);
            *m_out++ = char16_t(n >> 16);
        } else {
            m_size += 2;
        }
    }
    void text(const QString& t)
    {
        number(quint32(t.size()));
        if (m_out) {
            std::memcpy(m_out, t.constData(), size_t(t.size()) * sizeof(char16_t));
            m_out += t.size();
        } else {
            m_size += t.size();
        }
    }
    void list(const QStringList& l)
    {
        number(quint32(l.size()));
        for (const QString& t : l)
            text(t);
    }
    void table(const QList<QStringList>& t)
    {
        number(quint32(t.size()));
        for (const QStringList& l : t)
            list(l);
    }
    bool isEmpty() const { return m_text.isEmpty(); }

    // Reads the texts back in the order they were added.
    class Reader
    {
    public:
        explicit Reader(const QString& text)
            : m_at(reinterpret_cast<const char16_t*>(text.constData())), m_end(m_at + text.size())
        {
        }
        quint32 number()
        {
            if (m_end - m_at < 2)
                return 0;
            const quint32 n = quint32(m_at[0]) | (quint32(m_at[1]) << 16);
            m_at += 2;
            return n;
        }
        QString text()
        {
            const qsizetype n = std::min<qsizetype>(qsizetype(number()), m_end - m_at);
            const QString t(reinterpret_cast<const QChar*>(m_at), n);
            m_at += n;
            return t;
        }
        QStringList list()
        {
            const int n = int(number());
            QStringList l;
            l.reserve(n);
            for (int i = 0; i < n; ++i)
                l << text();
            return l;
        }
        QList<QStringList> table()
        {
            const int n = int(number());
            QList<QStringList> t;
            t.reserve(n);
            for (int i = 0; i < n; ++i)
                t << list();
            return t;
        }

    private:
        const char16_t* m_at;
        const char16_t* m_end;
    };
    Reader reader() const { return Reader(m_text); }

private:
    QString m_text;
    qsizetype m_size = 0;      // first pass: characters needed
    char16_t* m_out = nullptr; // second pass: where the next character goes
};

// What an import keeps of one file once its record is closed. Every file
// keeps its grouping values, tracks and damage (a few hundred bytes); the
// row and side tables (about a KiB, packed) are kept only by a file that may
// lead its take: a polyphonic file, or the first file of its name stem in a
// folder. Any other file that turns out to lead a take is read again. So an
// import holds no open record beyond the few being read, and about one packed
// row per take.
struct FileRead {
    bool opened = false;
    QString error;       // why it did not open
    TakeFileEntry entry; // grouping values and tracks (TakeFolderIndex::entryOf)
    QString damage;      // AudioFile::m_info.damage
    // When kept: TakeColumns::cells as the take of this file alone, the
    // "current name" value as read, the sync points, file set and history.
    PackedTexts row;
};

// What a take leader brings besides its tracks.
struct LeaderRow {
    QStringList cells;
    QString currentName;
    QList<QStringList> syncPoints;
    QStringList fileSet;
    QStringList history;
};

LeaderRow unpack(const PackedTexts& row)
{
    PackedTexts::Reader r = row.reader();
    LeaderRow l;
    l.cells = r.list();
    l.currentName = r.text();
    l.syncPoints = r.table();
    l.fileSet = r.list();
    l.history = r.list();
    return l;
}

// mayLead: keep the row and side tables even of a mono file.
FileRead readFile(const QString& path, bool mayLead)
{
    FileRead r;
    AudioFile file;
    if (!file.Open(path)) {
        r.error = file.errorText();
        return r;
    }
    r.opened = true;
    r.entry = TakeFolderIndex::entryOf(file);
    r.damage = file.m_info.damage;
    if (mayLead || r.entry.key.channels != 1) {
        const QStringList cells = TakeColumns::cells(file, QString(), 1);
        const QString current = file.GetFileName();
        const QList<QStringList> syncPoints = file.GetSyncPointsInfo();
        const QStringList fileSet = file.GetFileSetInfo();
        const QStringList history = file.GetHistoryInfo();
        r.row.pack([&](PackedTexts& p) {
            p.list(cells);
            p.text(current);
            p.table(syncPoints);
            p.list(fileSet);
            p.list(history);
        });
    }
    return r;
}

// The take list keeps side tables of the expected widths only.
bool ofWidth(const QList<QStringList>& records, int width)
{
    for (const QStringList& r : records) {
        if (r.size() != width)
            return false;
    }
    return !records.isEmpty();
}

QList<QStringList> widthChecked(QList<QStringList> records, const QStringList& headers)
{
    return ofWidth(records, int(headers.size())) ? records : QList<QStringList>();
}

QStringList widthChecked(QStringList values, const QStringList& headers)
{
    return values.size() == headers.size() ? values : QStringList();
}

// Positions of files that may lead their take: the first file of each name
// stem in each folder, in the order given.
std::vector<bool> firstOfStem(const QStringList& files)
{
    std::vector<bool> first(size_t(files.size()), false);
    QSet<QString> seen;
    for (int i = 0; i < files.size(); ++i) {
        const QString& path = files.at(i);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString stem = KQHelper::nameStem(path.mid(slash + 1));
        // The folder part keeps stems of different folders apart.
        const QString key = path.left(slash + 1) + stem;
        if (!seen.contains(key)) {
            seen.insert(key);
            first[size_t(i)] = true;
        }
    }
    return first;
}

} // namespace

TakeImporter::Outcome TakeImporter::read(const Request& request, Progress* progress,
                                         const TakeSink& sink)
{
    Outcome outcome;
    const QStringList files = expand(request, &outcome.rejected);
    const int count = int(files.size());
    if (progress)
        progress->total = count;
    auto cancelled = [progress] { return progress && progress->cancel.load(); };

    // Headers are read several at a time; each read is independent, and each
    // record is closed as soon as what the import needs is kept.
    const std::vector<bool> mayLead = firstOfStem(files);
    std::vector<FileRead> reads(static_cast<size_t>(count));
    TakeParallel::forEach(count, [&](int i) {
        if (cancelled())
            return;
        reads[size_t(i)] = readFile(files.at(i), mayLead[size_t(i)]);
        if (progress)
            ++progress->read;
    });
    if (cancelled()) {
        outcome.cancelled = true;
        outcome.rejected.clear();
        return outcome;
    }

    // The files just read stand for themselves in the folder indexes, by
    // folder, so that grouping does not read them again.
    const qint64 opStartNs = TakeFileStamp::nowNs();
    QHash<QString, QList<TakeFileEntry>> readByFolder;
    QHash<QString, QString> damageOf; // by absolute path
    std::vector<int> readable;
    readable.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const FileRead& r = reads[size_t(i)];
        if (!r.opened) {
            outcome.rejected.append({files.at(i), ImportRejection::Reason::NotOpened, r.error, 0});
            continue;
        }
        readable.push_back(i);
        readByFolder[KQHelper::folderOf(files.at(i))].append(r.entry);
        if (!r.damage.isEmpty())
            damageOf.insert(KQHelper::absolutePath(files.at(i)), r.damage);
    }

    // Grouping: a run of files from one folder shares one pool, so that each
    // take is added once however many of its files were given. Each take is
    // planned with its files and tracks; the rows are set when it is staged.
    std::shared_ptr<TakeFolderCache> cache = request.cache;
    if (!cache)
        cache = std::make_shared<TakeFolderCache>();
    struct Planned {
        int file = 0; // position of the leading file
        QStringList files;
        QString name;
        QList<QStringList> tracks;
    };
    std::vector<Planned> plan;
    std::vector<int> again; // plans whose leading file kept no row
    QString lastFolder;
    TakePool pool;
    bool havePool = false;
    QSet<QString> adoptedFolders;
    for (int i : readable) {
        FileRead& r = reads[size_t(i)];
        const QString& path = files.at(i);
        const QString folder = KQHelper::folderOf(path);
        if (!havePool || folder != lastFolder) {
            QList<TakeFileEntry> read;
            if (!adoptedFolders.contains(folder)) {
                read = readByFolder.take(folder);
                adoptedFolders.insert(folder);
            }
            pool = TakePool(cache->snapshot(folder, read, opStartNs));
            lastFolder = folder;
            havePool = true;
        }
        const bool claimed = pool.isClaimed(KQHelper::absolutePath(path));
        Planned take;
        take.file = i;
        KQHelper::getTakeFiles2(pool, r.entry.key, take.files, take.name);
        if (take.files.isEmpty()) {
            if (!claimed)
                outcome.rejected.append({path, ImportRejection::Reason::NotGrouped, QString(),
                                         r.entry.key.channelIndex});
            r = FileRead();
            continue;
        }
        for (const QString& p : take.files) {
            QList<QStringList> fileTracks;
            if (pool.tracksOf(p, fileTracks))
                take.tracks.append(fileTracks);
            else if (KQHelper::absolutePath(p) == KQHelper::absolutePath(path))
                take.tracks.append(r.entry.tracks);
            else
                take.tracks.append(AudioFileModel::getTracks(QStringList{p}));
        }
        if (r.row.isEmpty())
            again.push_back(int(plan.size()));
        plan.push_back(std::move(take));
    }

    // Mono files leading a second take of their stem kept no row: read again,
    // several at a time.
    TakeParallel::forEach(int(again.size()), [&](int k) {
        const int file = plan[size_t(again[size_t(k)])].file;
        FileRead& r = reads[size_t(file)];
        FileRead reread = readFile(files.at(file), true);
        if (reread.opened)
            r.row = std::move(reread.row);
        else
            r.error = reread.error;
    });

    // Staging, in import order; a take already staged (same name and label,
    // any letter case) is not staged again.
    QSet<QString> staged; // AudioFileModel::takeKey of each staged take
    for (Planned& take : plan) {
        FileRead& r = reads[size_t(take.file)];
        if (r.row.isEmpty()) {
            outcome.rejected.append(
                {files.at(take.file), ImportRejection::Reason::NotOpened, r.error, 0});
            r = FileRead();
            continue;
        }
        LeaderRow lead = unpack(r.row);
        QStringList cells = std::move(lead.cells);
        TakeColumns::setTakeCells(cells, take.name, lead.currentName,
                                  int(r.entry.key.channels), int(take.files.size()));
        if (cells.size() == TakeColumns::Count) {
            const QString key = AudioFileModel::takeKey(cells.at(TakeColumns::FileName),
                                                        cells.at(TakeColumns::Channels));
            if (!staged.contains(key)) {
                staged.insert(key);
                StagedTake t;
                t.tracks = widthChecked(take.tracks, TakeColumns::trackHeadersList());
                t.syncPoints = widthChecked(lead.syncPoints, TakeColumns::syncPointsHeadersList());
                t.fileSet = widthChecked(lead.fileSet, TakeColumns::fileSetHeadersList());
                t.history = widthChecked(lead.history, TakeColumns::historyHeadersList());
                t.damage = KQHelper::takeDamage(damageOf, take.files);
                t.cells = std::move(cells);
                t.files = std::move(take.files);
                if (sink)
                    sink(std::move(t));
                else
                    outcome.takes.append(std::move(t));
            }
        }
        r = FileRead();
        take = Planned();
    }
    return outcome;
}

int TakeImporter::addTo(AudioFileModel& model, const QVector<StagedTake>& takes)
{
    int added = 0;
    for (const StagedTake& t : takes)
        added += addTo(model, t) ? 1 : 0;
    return added;
}

bool TakeImporter::addTo(AudioFileModel& model, const StagedTake& t)
{
    if (t.cells.size() != TakeColumns::Count)
        return false;
    if (!model.isValidToAdd(t.cells.at(TakeColumns::FileName), t.cells.at(TakeColumns::Channels)))
        return false;
    // A take whose file went away while the import ran is not listed.
    if (!QFileInfo::exists(t.cells.at(TakeColumns::Path)))
        return false;
    const int row = model.rowCount();
    if (!model.insertRow(row, QModelIndex(), t.cells))
        return false;
    model.setTrackInfo(row, t.tracks);
    model.setSyncPointInfo(row, t.syncPoints);
    model.setFileSetInfo(row, t.fileSet);
    model.setHistoryInfo(row, t.history);
    model.setDamage(row, t.damage);
    return true;
}
