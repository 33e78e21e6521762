#include "AudioThread.h"
#include "OpsTestKit.h"
#include "SafeFileOps.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace
{
void lock(const QString& p)
{
    QFile::setPermissions(p, QFile::ReadOwner | QFile::ExeOwner);
}
void unlock(const QString& p)
{
    QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
bool hardLink(const QString& from, const QString& to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A write that must fail: what is prepared beside the take, the note's
// length (past 8192 the update is a full rewrite), and what the reason says.
struct Failure {
    const char* name;
    bool copy;
    QString setup;
    int noteLength;
    QString to;    // an update's new name; a copy's destination
    quint64 limit; // of the file size this process may write; 0: none
    QString reason;
};
} // namespace
Q_DECLARE_METATYPE(Failure)

// The update (in place and full rewrite) and copy operations of AudioThread,
// with the failures a take must survive: unwritable takes, stale backups,
// writes that fail part-way, links and the 4 GiB limit.
class TestAudioThread : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_take;     // a 4-channel take, rewritten for every test
    QByteArray m_audio; // its samples
    std::unique_ptr<AudioThread> m_thread;
    QString m_target, m_backup; // as the last update left them

    QString path(const QString& name) const { return m_tmp.filePath(name); }
    QString error() const { return m_thread->m_errorMsg; }

    // Updates the take opened at `open` with a note of noteLength characters
    // (and a new sample rate), in place or to renameTo; the final state.
    int update(int noteLength, const QString& renameTo = QString(), bool rate = false,
               const QString& open = QString())
    {
        AudioFile f;
        if (!f.Open(open.isEmpty() ? m_take : open))
            return -3;
        if (rate)
            f.SetSampleRate("96000");
        f.SetNotes(QString(noteLength, QLatin1Char('n')));
        m_target = renameTo.isEmpty() ? f.fileName() : path(renameTo);
        m_backup =
            renameTo.isEmpty() ? QString(m_target).replace(".WAV", "_updatebackup.WAV") : m_take;
        return OpsTestKit::finish(*m_thread,
                                  [&] { return m_thread->Update(m_target, m_backup, &f); });
    }

    int copy(const QString& dst)
    {
        QString d = dst, s = m_take;
        return OpsTestKit::finish(*m_thread, [&] { return m_thread->Copy(d, s); });
    }

    void writeTake(int channels, int frames, int bits = 24)
    {
        TestTake shape;
        shape.channels = channels;
        shape.frames = frames;
        shape.bits = bits;
        m_audio = TestUtil::writeTake(m_take, shape);
    }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
        m_take = path("T001.WAV");
        writeTake(4, 20000);
        QVERIFY(!m_audio.isEmpty());
        m_thread = std::make_unique<AudioThread>();
    }

    // In place the take keeps its size and no backup is made, so neither a
    // read-only folder nor a second name stops it (the other name sees the
    // edit); a rewrite leaves the backup to its caller. The audio never
    // changes, nor the bext description.
    void updateKeepsTheAudio_data()
    {
        QTest::addColumn<int>("noteLength");
        QTest::addColumn<QString>("setup");
        QTest::newRow("in place") << 100 << "";
        QTest::newRow("full rewrite") << 10000 << "";
        QTest::newRow("in place, read-only folder") << 10 << "ro folder";
        QTest::newRow("in place, hard link") << 10 << "hard link";
    }

    void updateKeepsTheAudio()
    {
        QFETCH(int, noteLength);
        QFETCH(QString, setup);
        const qint64 size = QFileInfo(m_take).size();
        if (setup == "hard link")
            QVERIFY(hardLink(m_take, path("H.WAV")));
        if (setup == "ro folder")
            lock(m_tmp.path());
        const int state = update(noteLength);
        unlock(m_tmp.path());
        QCOMPARE(state, int(AudioThread::STATE_DONE));
        QCOMPARE(TestUtil::audioOf(m_take), m_audio);
        const bool rewritten = noteLength > 8192;
        QCOMPARE(QFileInfo(m_take).size() == size, !rewritten);
        QCOMPARE(TestUtil::audioOf(m_backup), rewritten ? m_audio : QByteArray());
        if (setup == "hard link")
            QVERIFY(SafeFileOps::samePath(m_take, path("H.WAV")));
        AudioFile back;
        QVERIFY(back.Open(m_take));
        QVERIFY(back.m_info.ixmlError.isEmpty());
        QCOMPARE(back.GetNotes(), QString(noteLength, QLatin1Char('n')));
        QCOMPARE(back.GetSceneName(), QStringLiteral("12A"));
    }

    // Every update or copy that cannot or must not go ahead leaves every file
    // of the folder byte for byte as it was, with no backup or partial file.
    // A backup beside the take is a save in progress or the only intact copy
    // left by one cut short.
    void failedWriteChangesNothing_data()
    {
        QTest::addColumn<Failure>("f");
        const QString backup = "T001_updatebackup.WAV exists: an earlier save did not finish";
        const QString links = "T001.WAV has 2 names (hard links); a full rewrite would split them";
        const Failure cases[] = {
            {"update: backup, in place", false, "backup", 10, "", 0, backup},
            {"update: backup, rename by rewrite", false, "backup", 10000, "12AT3.WAV", 0, backup},
            {"update: rename onto a file", false, "existing", 10, "12AT3.WAV", 0, "12AT3.WAV"},
            {"update: read-only take, fits", false, "ro take", 10, "", 0, "read-only"},
            {"update: read-only take, rewrite", false, "ro take", 10000, "", 0, "read-only"},
            {"update: read-only folder, rewrite", false, "ro folder", 10000, "", 0, "not writable"},
            {"update: file-size limit", false, "", 10000, "", 120000, "File too large"},
            {"update: hard link, rewrite", false, "hard link", 10000, "", 0, links},
            {"copy: its own source", true, "", 0, "./T001.WAV", 0, AudioThread::kMsgSameSource},
            {"copy: file-size limit, existing file", true, "existing", 0, "copy.WAV", 4096,
             "write failed: File too large"},
            {"copy: file-size limit, from another file system", true, "shm", 0, "copy.WAV", 2000000,
             "File too large"},
            {"copy: read-only folder", true, "ro folder", 0, "dst/T001.WAV", 0, ""},
            {"copy: read-only destination", true, "ro dest", 0, "dst/T001.WAV", 0, ""},
        };
        for (const Failure& c : cases)
            QTest::newRow(c.name) << c;
    }

    void failedWriteChangesNothing()
    {
        QFETCH(Failure, f);
        QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-ops-XXXXXX"));
        if (f.setup == "shm" && !shm.isValid())
            QSKIP("no /dev/shm");
        if (f.setup == "shm") {
            m_take = shm.filePath("T.WAV");
            writeTake(4, 300000); // 3.6 MB: three chunks
        }
        const QString to = path(f.to);
        QDir().mkpath(path("dst"));
        if (f.setup == "backup")
            QVERIFY(TestUtil::writeFile(path("T001_updatebackup.WAV"), "the only intact copy"));
        if (f.setup == "hard link")
            QVERIFY(hardLink(m_take, path("H.WAV")));
        if (f.setup == "existing" || f.setup == "shm" || f.setup == "ro dest")
            QVERIFY(TestUtil::writeFile(to, "an older file"));
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        const QString locked = f.setup == "ro take"   ? m_take
                               : f.setup == "ro dest" ? to
                                                      : QFileInfo(f.copy ? to : m_take).path();
        if (f.setup.startsWith("ro"))
            lock(locked);
        int state = 0;
        {
            FileSizeLimit limit(f.limit ? f.limit : RLIM_INFINITY);
            state = f.copy ? copy(to) : update(f.noteLength, f.to, true);
        }
        unlock(locked);
        QVERIFY(state != AudioThread::STATE_DONE);
        QVERIFY2(error().contains(f.reason), qPrintable(error()));
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }

    // A full rewrite makes a new file; it keeps what the file was: who owns
    // it, who may read it, what other programs noted on it.
    void rewriteKeepsTheFilesIdentity_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"mode", "owner", "xattr"})
            QTest::newRow(kind) << QString(kind);
    }

    void rewriteKeepsTheFilesIdentity()
    {
        QFETCH(QString, kind);
        const QByteArray native = QFile::encodeName(m_take);
        if (kind == "mode")
            QCOMPARE(::chmod(native.constData(), 0600), 0);
        if (kind == "owner" && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        if (kind == "owner")
            QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
        if (kind == "xattr" &&
            ::setxattr(native.constData(), "user.velmora.test", "kept", 4, 0) != 0)
            QSKIP("this file system has no user attributes");
        struct stat before, after;
        QCOMPARE(::stat(native.constData(), &before), 0);
        QCOMPARE(update(10000), int(AudioThread::STATE_DONE));
        QCOMPARE(TestUtil::audioOf(m_take), m_audio);
        QCOMPARE(::stat(native.constData(), &after), 0);
        QVERIFY(after.st_ino != before.st_ino); // rewritten indeed
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        char value[16] = {};
        const ssize_t n = ::getxattr(native.constData(), "user.velmora.test", value, sizeof value);
        QCOMPARE(n > 0 ? QByteArray(value, int(n)) : QByteArray(),
                 kind == "xattr" ? QByteArray("kept") : QByteArray());
    }

    // A save through a symbolic link edits the file it leads to; the link
    // stays a link to it.
    void aLinkedTakeIsEditedAtItsTarget()
    {
        const QString link = path("L.WAV");
        QVERIFY(QFile::link(m_take, link));
        QCOMPARE(update(10000, QString(), false, link), int(AudioThread::STATE_DONE));
        QCOMPARE(m_target, m_take);
        QCOMPARE(m_backup, path("T001_updatebackup.WAV"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), m_take);
        QCOMPARE(TestUtil::audioOf(m_take), m_audio);
        AudioFile back;
        QVERIFY(back.Open(m_take));
        QCOMPARE(back.GetNotes().size(), 10000);
    }

    void copyKeepsTheAudio_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("otherFileSystem"); // no kernel copy: through the buffer
        // 4 channels of 16 bits: 8 bytes per frame, 202400 frames per chunk.
        QTest::newRow("empty data") << 0 << false;
        QTest::newRow("three chunks") << 3 * 202400 << false;
        QTest::newRow("three chunks, from another file system") << 3 * 202400 << true;
    }

    void copyKeepsTheAudio()
    {
        QFETCH(int, frames);
        QFETCH(bool, otherFileSystem);
        QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-ops-XXXXXX"));
        if (otherFileSystem && !shm.isValid())
            QSKIP("no /dev/shm");
        if (otherFileSystem)
            m_take = shm.filePath("T.WAV");
        writeTake(4, frames, 16);
        QCOMPARE(copy(path("copy.WAV")), int(AudioThread::STATE_DONE));
        QCOMPARE(TestUtil::audioOf(path("copy.WAV")), m_audio);
        AudioFile back;
        QVERIFY(back.Open(path("copy.WAV")) && back.m_info.ixmlError.isEmpty());
        QVERIFY(QDir(m_tmp.path()).entryList({"*partial*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // A result of 4 GiB or more is refused before anything is written: a
    // sparse take just below the limit whose rewrite or copy (with the new
    // iXML padding) would pass it.
    void sizeLimitIsRefusedBeforeWriting()
    {
        const QByteArray ixml("<BWFXML><SCENE>1</SCENE></BWFXML>");
        const quint64 dataSize = 4294967295ull - 44 - 8 - quint64(ixml.size()) - 2000;
        const QByteArray head = OpsTestKit::writeSparse(m_take, 2, dataSize, ixml);
        QVERIFY(!head.isEmpty());
        QCOMPARE(update(10), -1);
        QCOMPARE(error(), AudioThread::kMsgSizeLimit);
        QFile check(m_take);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.read(head.size()), head);
        QCOMPARE(check.size(), qint64(head.size() + dataSize));
        QCOMPARE(copy(path("copy.WAV")), int(AudioThread::STATE_ERROR));
        QCOMPARE(error(), AudioThread::kMsgSizeLimit);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{"T001.WAV"});
    }

    // Chunks the writer does not render (odd sizes with their pad byte, one
    // before fmt) travel through a rewrite and a copy byte for byte, on their
    // side of the audio; the extensible fmt keeps its form and mask; an iXML
    // that did not parse travels unchanged through a copy, which edits
    // nothing.
    void rewriteAndCopyCarryOtherChunks_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QByteArray>("ixml");
        const QByteArray ixml = "<BWFXML><SCENE>4</SCENE><LOCATION>Pier</LOCATION></BWFXML>";
        QTest::newRow("rewrite") << false << ixml;
        QTest::newRow("copy") << true << ixml;
        QTest::newRow("copy, iXML that does not parse")
            << true
            << QByteArray("<BWFXML><NOTE>Tom & Jerry</NOTE><LOCATION>Pier</LOCATION></BWFXML>");
    }

    void rewriteAndCopyCarryOtherChunks()
    {
        QFETCH(bool, copy);
        QFETCH(QByteArray, ixml);
        QByteArray fmt = WavBuilder::fmtBody(2, 48000, 24, 0xFFFE);
        fmt.append(QByteArray::fromHex("16001800030000000100000000001000800000aa00389b71"));
        m_audio = TestUtil::pcm(2001, 2, 24, 3);
        const QByteArray cue =
            QByteArray::fromHex("010000000100000000000000") + "data" + QByteArray(12, '\0');
        const QByteArray list =
            QByteArray("INFOINAM") + QByteArray::fromHex("05000000") + QByteArray("Take\0\0", 6);
        const QByteArray source = WavBuilder()
                                      .chunk("JUNK", "odd, no fmt yet")
                                      .chunk("fmt ", fmt)
                                      .chunk("bext", WavBuilder::bextBody("sSCENE=4\r\n"))
                                      .chunk("iXML", ixml)
                                      .chunk("cue ", cue)
                                      .chunk("LIST", list)
                                      .chunk("data", m_audio)
                                      .chunk("ACME", "vendor!")
                                      .build();
        QVERIFY(TestUtil::writeFile(m_take, source));
        const QString out = copy ? path("copy.WAV") : m_take;
        QCOMPARE(copy ? this->copy(out) : update(3000), int(AudioThread::STATE_DONE));
        const QByteArray file = TestUtil::readFile(out);
        QCOMPARE(TestUtil::audioOf(out), m_audio);
        const qsizetype dataAt = file.indexOf(TestUtil::chunkOf(file, "data"));
        for (const QByteArray id : {"JUNK", "fmt ", "cue ", "LIST", "ACME"}) {
            QCOMPARE(TestUtil::chunkOf(file, id), TestUtil::chunkOf(source, id));
            QCOMPARE(file.indexOf(TestUtil::chunkOf(file, id)) < dataAt, id != "ACME");
        }
        QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 4), quint32(file.size() - 8));
        if (ixml.contains('&')) {
            QCOMPARE(TestUtil::chunkOf(file, "iXML"), TestUtil::chunkOf(source, "iXML"));
            return;
        }
        AudioFile back;
        QVERIFY(back.Open(out));
        QVERIFY(back.m_info.ixmlDocument.contains("<LOCATION>Pier</LOCATION>"));
    }
};

QTEST_GUILESS_MAIN(TestAudioThread)
#include "tst_audiothread.moc"
