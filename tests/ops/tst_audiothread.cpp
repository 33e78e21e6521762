#include "AudioThread.h"
#include "OpsTestKit.h"
#include "SafeFileOps.h"
#include "TestUtil.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

// The update (in place and full rewrite) and copy operations of AudioThread,
// with the failures a take must survive: unwritable takes, stale backups,
// writes that fail part-way, cancellation, links and the 4 GiB limit.
class TestAudioThread : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_take;     // a 4-channel take, rewritten for every test
    QByteArray m_audio; // its samples
    std::unique_ptr<AudioThread> m_thread;
    QString m_target, m_backup; // as the last update left them
    int m_signals = 0;          // progress signals of the last run

    QString path(const QString& name) const { return m_tmp.filePath(name); }
    QString error() const { return m_thread->m_errorMsg; }

    // Updates the take opened at `open` with a note of noteLength characters
    // (and a new sample rate), in place or to renameTo; returns the final
    // state, -1 when the update was refused before it started.
    int update(int noteLength, const QString& renameTo = QString(), bool rate = false,
               const QString& open = QString())
    {
        AudioFile f;
        if (!f.Open(open.isEmpty() ? m_take : open))
            return -2;
        if (rate)
            f.SetSampleRate("96000");
        f.SetNotes(QString(noteLength, QLatin1Char('n')));
        m_target = renameTo.isEmpty() ? f.fileName() : path(renameTo);
        m_backup =
            renameTo.isEmpty() ? QString(m_target).replace(".WAV", "_updatebackup.WAV") : m_take;
        QSignalSpy spy(m_thread.get(), &AudioThread::progressUpdate);
        if (!m_thread->Update(m_target, m_backup, &f))
            return -1;
        const int state = OpsTestKit::finalState(spy);
        m_signals = int(spy.size());
        return state;
    }

    int copy(const QString& dst, const QString& from = QString())
    {
        QSignalSpy spy(m_thread.get(), &AudioThread::progressUpdate);
        QString d = dst, s = from.isEmpty() ? m_take : from;
        if (!m_thread->Copy(d, s))
            return -1;
        const int state = OpsTestKit::finalState(spy);
        m_signals = int(spy.size());
        return state;
    }

    void writeTake(int channels, int frames, int bits = 24)
    {
        TestTake shape;
        shape.channels = channels;
        shape.frames = frames;
        shape.bits = bits;
        m_audio = TestUtil::writeTake(m_take, shape);
    }

    void lock(const QString& p) { QFile::setPermissions(p, QFile::ReadOwner | QFile::ExeOwner); }
    void unlock(const QString& p)
    {
        QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

    // In place the take keeps its size and no backup is made; a rewrite
    // leaves the backup to its caller. The audio never changes.
    void updateKeepsTheAudio_data()
    {
        QTest::addColumn<int>("noteLength");
        QTest::newRow("in place") << 100;
        QTest::newRow("full rewrite") << 10000;
    }

    void updateKeepsTheAudio()
    {
        QFETCH(int, noteLength);
        const qint64 size = QFileInfo(m_take).size();
        QCOMPARE(update(noteLength), int(AudioThread::STATE_DONE));
        QCOMPARE(TestUtil::audioOf(m_take), m_audio);
        const bool rewritten = noteLength > 8192;
        QCOMPARE(QFileInfo(m_take).size() == size, !rewritten);
        QCOMPARE(TestUtil::audioOf(m_backup), rewritten ? m_audio : QByteArray());
        QVERIFY(TestUtil::ixmlIsWellFormed(m_take));
        AudioFile back;
        QVERIFY(back.Open(m_take));
        QCOMPARE(back.GetNotes(), QString(noteLength, QLatin1Char('n')));
        QString scene; // the bext description survives
        QVERIFY(back.m_bext.GetDescriptionValue("SCENE", scene, false));
        QCOMPARE(scene, QStringLiteral("12A"));
    }

    // Every update that cannot or must not go ahead leaves every file of the
    // folder byte for byte as it was, with no backup or partial file.
    void refusedUpdateChangesNothing_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("noteLength");
        QTest::addColumn<QString>("renameTo");
        QTest::addColumn<QString>("reason");
        // A backup beside the take is a save in progress or the only intact
        // copy left by one cut short: no edit goes ahead.
        const QString backup = "T001_updatebackup.WAV exists: an earlier save did not finish; "
                               "check it and remove or restore it";
        QTest::newRow("backup, in place") << "backup" << 10 << "" << backup;
        QTest::newRow("backup, rewrite") << "backup" << 10000 << "" << backup;
        QTest::newRow("backup, rename in place") << "backup" << 10 << "12AT3.WAV" << backup;
        QTest::newRow("backup, rename by rewrite") << "backup" << 10000 << "12AT3.WAV" << backup;
        QTest::newRow("rename onto a file") << "target" << 10 << "12AT3.WAV"
                                            << "12AT3.WAV";
        QTest::newRow("read-only file, fits") << "ro file" << 10 << ""
                                              << "read-only";
        QTest::newRow("read-only file, rewrite") << "ro file" << 10000 << ""
                                                 << "read-only";
        QTest::newRow("read-only folder, rewrite") << "ro folder" << 10000 << ""
                                                   << "not writable";
        QTest::newRow("file-size limit in the rewrite") << "size limit" << 10000 << ""
                                                        << "File too large";
        QTest::newRow("hard link, rewrite")
            << "hard link" << 10000 << ""
            << "T001.WAV has 2 names (hard links); a full rewrite would split them. Shorten the "
               "new metadata so that it fits in place, or make the take a single file first.";
    }

    void refusedUpdateChangesNothing()
    {
        QFETCH(QString, setup);
        QFETCH(int, noteLength);
        QFETCH(QString, renameTo);
        QFETCH(QString, reason);
        if (setup == "backup")
            QVERIFY(TestUtil::writeFile(path("T001_updatebackup.WAV"), "the only intact copy"));
        if (setup == "target")
            QVERIFY(TestUtil::writeFile(path("12AT3.WAV"), "another take"));
        if (setup == "hard link")
            QCOMPARE(::link(QFile::encodeName(m_take).constData(),
                            QFile::encodeName(path("H.WAV")).constData()),
                     0);
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        const QString locked = setup == "ro file" ? m_take : m_tmp.path();
        if (setup.startsWith("ro"))
            lock(locked);
        int state = 0;
        {
            FileSizeLimit limit(setup == "size limit" ? quint64(before.value("T001.WAV").size() / 2)
                                                      : RLIM_INFINITY);
            state = update(noteLength, renameTo, true);
        }
        unlock(locked);
        QVERIFY(state != AudioThread::STATE_DONE);
        QVERIFY2(error().contains(reason), qPrintable(error()));
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }

    // In place needs no new file: a read-only folder does not stop it, nor
    // a second name of the take, which sees the edit.
    void inPlaceNeedsNoNewFile_data()
    {
        QTest::addColumn<bool>("hardLink");
        QTest::newRow("read-only folder") << false;
        QTest::newRow("hard link") << true;
    }

    void inPlaceNeedsNoNewFile()
    {
        QFETCH(bool, hardLink);
        const QString other = path("H.WAV");
        if (hardLink)
            QCOMPARE(
                ::link(QFile::encodeName(m_take).constData(), QFile::encodeName(other).constData()),
                0);
        else
            lock(m_tmp.path());
        const int state = update(10);
        unlock(m_tmp.path());
        QCOMPARE(state, int(AudioThread::STATE_DONE));
        if (hardLink) {
            QVERIFY(SafeFileOps::samePath(m_take, other));
            QCOMPARE(TestUtil::audioOf(other), m_audio);
        }
    }

    void cancelledRewriteRestoresTheTake()
    {
        writeTake(8, 200000); // 4.8 MB: three chunks
        const QByteArray before = TestUtil::readFile(m_take);
        AudioFile f;
        QVERIFY(f.Open(m_take));
        f.SetNotes(QString(10000, QLatin1Char('n')));
        QSignalSpy spy(m_thread.get(), &AudioThread::progressUpdate);
        QString take = m_take, backup = path("T001_updatebackup.WAV");
        QVERIFY(m_thread->Update(take, backup, &f));
        m_thread->CleanUp();
        const int state = OpsTestKit::finalState(spy);
        QVERIFY(state == AudioThread::STATE_ERROR || state == AudioThread::STATE_DONE);
        if (state == AudioThread::STATE_ERROR) {
            QCOMPARE(TestUtil::readFile(m_take), before);
            QVERIFY(!QFile::exists(backup));
        } else {
            QCOMPARE(TestUtil::audioOf(m_take), m_audio);
        }
    }

    // A full rewrite makes a new file; it keeps what the file was: who owns
    // it, who may read it, what other programs noted on it.
    void rewriteKeepsTheFilesIdentity_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("private mode") << "mode";
        QTest::newRow("another owner") << "owner";
        QTest::newRow("user attribute") << "xattr";
    }

    void rewriteKeepsTheFilesIdentity()
    {
        QFETCH(QString, kind);
        const QByteArray native = QFile::encodeName(m_take);
        if (kind == "mode")
            QCOMPARE(::chmod(native.constData(), 0600), 0);
        if (kind == "owner") {
            if (::geteuid() != 0)
                QSKIP("giving a file to another user needs root");
            QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
        }
        if (kind == "xattr" &&
            ::setxattr(native.constData(), "user.velmora.test", "kept", 4, 0) != 0)
            QSKIP("this file system has no user attributes");
        struct stat before;
        QCOMPARE(::stat(native.constData(), &before), 0);
        QCOMPARE(update(10000), int(AudioThread::STATE_DONE));
        QCOMPARE(TestUtil::audioOf(m_take), m_audio);
        struct stat after;
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
        QTest::addColumn<int>("progressSignals");
        QTest::addColumn<bool>("otherFileSystem"); // no kernel copy: through the buffer
        // 4 channels of 16 bits: 8 bytes per frame, 202400 frames per chunk.
        QTest::newRow("empty data") << 0 << 0 << false;
        QTest::newRow("exactly one chunk") << 202400 << 0 << false;
        QTest::newRow("three chunks") << 3 * 202400 << 2 << false;
        QTest::newRow("three chunks, from another file system") << 3 * 202400 << 2 << true;
    }

    void copyKeepsTheAudio()
    {
        QFETCH(int, frames);
        QFETCH(int, progressSignals);
        QFETCH(bool, otherFileSystem);
        QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-ops-XXXXXX"));
        if (otherFileSystem) {
            if (!shm.isValid())
                QSKIP("no /dev/shm");
            m_take = shm.filePath("T.WAV");
        }
        writeTake(4, frames, 16);
        QCOMPARE(copy(path("copy.WAV")), int(AudioThread::STATE_DONE));
        QCOMPARE(m_signals - 1, progressSignals);
        QCOMPARE(TestUtil::audioOf(path("copy.WAV")), m_audio);
        QVERIFY(TestUtil::ixmlIsWellFormed(path("copy.WAV")));
        QVERIFY(TestUtil::filesContaining(m_tmp.path(), "partial").isEmpty());
    }

    // A copy that fails leaves the folder as it was: an existing destination
    // keeps its bytes, and no partial file stays.
    void failedCopyChangesNothing_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("dst");
        QTest::addColumn<QString>("reason");
        QTest::newRow("its own source") << ""
                                        << "./T001.WAV" << AudioThread::kMsgSameSource;
        QTest::newRow("file-size limit over an existing file") << "size limit"
                                                               << "copy.WAV"
                                                               << "write failed";
        QTest::newRow("file-size limit from another file system") << "shm"
                                                                  << "copy.WAV"
                                                                  << "File too large";
        QTest::newRow("read-only folder") << "ro folder"
                                          << "dst/T001.WAV"
                                          << "";
        QTest::newRow("read-only destination") << "ro file"
                                               << "dst/T001.WAV"
                                               << "";
    }

    void failedCopyChangesNothing()
    {
        QFETCH(QString, setup);
        QFETCH(QString, dst);
        QFETCH(QString, reason);
        QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-ops-XXXXXX"));
        if (setup == "shm") {
            if (!shm.isValid())
                QSKIP("no /dev/shm");
            m_take = shm.filePath("T.WAV");
            writeTake(4, 300000); // 3.6 MB: three chunks
        }
        QDir().mkpath(path("dst"));
        if (!setup.isEmpty() && setup != "ro folder")
            QVERIFY(TestUtil::writeFile(path(dst), "an older file"));
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        const QString locked = setup == "ro file" ? path(dst) : path("dst");
        if (setup.startsWith("ro"))
            lock(locked);
        int state = 0;
        {
            FileSizeLimit limit(setup == "size limit" ? 4096
                                : setup == "shm"      ? 2000000
                                                      : RLIM_INFINITY);
            state = copy(path(dst));
        }
        unlock(locked);
        QCOMPARE(state, int(AudioThread::STATE_ERROR));
        QVERIFY2(error().contains(reason), qPrintable(error()));
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }

    void newEntryStopsTheRunningOperation()
    {
        writeTake(8, 200000);
        QSignalSpy spy(m_thread.get(), &AudioThread::progressUpdate);
        QString a = path("a.WAV"), b = path("b.WAV"), s = m_take;
        QVERIFY(m_thread->Copy(a, s));
        QVERIFY(m_thread->Copy(b, s));
        int finals = 0;
        for (int i = 0; i < 600 && finals < 2; ++i) {
            spy.wait(100);
            finals = 0;
            for (const auto& args : spy)
                finals += args.at(0).toInt() != AudioThread::STATE_PROGRESS;
        }
        QCOMPARE(finals, 2);
        QCOMPARE(TestUtil::audioOf(b), m_audio);
        // The first copy either finished or left nothing behind.
        QVERIFY(!QFile::exists(a) || TestUtil::audioOf(a) == m_audio);
        QVERIFY(TestUtil::filesContaining(m_tmp.path(), "partial").isEmpty());
    }

    // A result of 4 GiB or more is refused before anything is written: a
    // sparse take just below the limit whose rewrite or copy (with the new
    // iXML padding) would pass it.
    void sizeLimitIsRefusedBeforeWriting()
    {
        const QByteArray ixml("<BWFXML><SCENE>1</SCENE></BWFXML>");
        const quint64 dataSize = 4294967295ull - 44 - 8 - quint64(ixml.size()) - 2000;
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(2, 48000, 24));
        b.chunk("iXML", ixml);
        b.rawChunk("data", quint32(dataSize), QByteArray());
        const QByteArray head = b.build(qint64(4 + 24 + 8 + ixml.size() + 8 + dataSize));
        QVERIFY(TestUtil::writeFile(m_take, head));
        QVERIFY(QFile::resize(m_take, qint64(head.size() + dataSize)));
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
    // side of the audio; the extensible fmt keeps its
    // form and mask; an iXML that did not parse travels unchanged through a
    // copy, which edits nothing.
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
