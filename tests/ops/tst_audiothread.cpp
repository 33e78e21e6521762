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
// writes that fail part-way, cancellation and the 4 GiB limit.
class TestAudioThread : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_take;     // a 4-channel take, rewritten for every test
    QByteArray m_audio; // its samples

    QString path(const QString& name) const { return m_tmp.filePath(name); }

    // Opens the take, sets a note of noteLength characters and runs Update.
    bool update(AudioThread& t, QString& backup, int noteLength, const QString& at = QString())
    {
        AudioFile f;
        if (!f.Open(m_take))
            return false;
        f.SetNotes(QString(noteLength, QLatin1Char('n')));
        QString target = at.isEmpty() ? m_take : at;
        return t.Update(target, backup, &f);
    }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
        m_take = path("T001.WAV");
        OpsTake shape;
        shape.channels = 4;
        shape.frames = 20000;
        m_audio = OpsTestKit::write(m_take, shape);
        QVERIFY(!m_audio.isEmpty());
    }

    void updateInPlaceCompletesBeforeReturning()
    {
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        const qint64 size = QFileInfo(m_take).size();
        QString backup = path("T001_updatebackup.WAV");
        QVERIFY(update(t, backup, 100));
        QCOMPARE(spy.size(), 1); // STATE_DONE arrived inside Update()
        QCOMPARE(spy.at(0).at(0).toInt(), int(AudioThread::STATE_DONE));
        QCOMPARE(QFileInfo(m_take).size(), size);
        QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
        QVERIFY(!QFile::exists(backup));
        AudioFile back;
        QVERIFY(back.Open(m_take));
        QCOMPARE(back.GetNotes(), QString(100, QLatin1Char('n')));
    }

    void fullRewriteKeepsAudioAndMetadata()
    {
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString backup = path("T001_updatebackup.WAV");
        QVERIFY(update(t, backup, 10000));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
        QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
        QCOMPARE(OpsTestKit::audioOf(backup), m_audio); // left for the caller
        QVERIFY(OpsTestKit::ixmlIsWellFormed(m_take));
        AudioFile back;
        QVERIFY(back.Open(m_take));
        QCOMPARE(back.GetNotes().size(), 10000);
        QCOMPARE(back.GetSceneName(), QStringLiteral("12A"));
        QString scene; // the bext description survives the rewrite
        QVERIFY(back.m_bext.GetDescriptionValue("SCENE", scene, false));
        QCOMPARE(scene, QStringLiteral("12A"));
    }

    // A backup beside the take is either a save in progress or the only
    // intact copy left by one that was cut short: no edit of the take, in
    // place, rewritten or renamed, goes ahead, and the backup stays as it is.
    void aBackupBesideTheTakeStopsEveryEdit_data()
    {
        QTest::addColumn<int>("noteLength");
        QTest::addColumn<QString>("renameTo");
        QTest::newRow("save in place") << 10 << QString();
        QTest::newRow("save by rewrite") << 10000 << QString();
        QTest::newRow("rename in place") << 10 << "12AT3.WAV";
        QTest::newRow("rename by rewrite") << 10000 << "12AT3.WAV";
    }

    void aBackupBesideTheTakeStopsEveryEdit()
    {
        QFETCH(int, noteLength);
        QFETCH(QString, renameTo);
        const QString stale = path("T001_updatebackup.WAV");
        QVERIFY(TestUtil::writeFile(stale, "the only intact copy"));
        const QByteArray before = TestUtil::readFile(m_take);
        AudioThread t;
        QString backup = renameTo.isEmpty() ? stale : m_take;
        QVERIFY(!update(t, backup, noteLength, renameTo.isEmpty() ? QString() : path(renameTo)));
        QCOMPARE(t.m_errorMsg, QStringLiteral("T001_updatebackup.WAV exists: an earlier save did "
                                              "not finish; check it and remove or restore it"));
        QCOMPARE(TestUtil::readFile(stale), QByteArray("the only intact copy"));
        QCOMPARE(TestUtil::readFile(m_take), before);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files),
                 (QStringList{"T001.WAV", "T001_updatebackup.WAV"}));
    }

    void renameMovesTheTake_data()
    {
        QTest::addColumn<int>("noteLength");
        QTest::newRow("in place") << 10;
        QTest::newRow("full rewrite") << 10000;
    }

    void renameMovesTheTake()
    {
        QFETCH(int, noteLength);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        AudioFile f;
        QVERIFY(f.Open(m_take));
        f.SetNotes(QString(noteLength, QLatin1Char('n')));
        QString old = m_take, target = path("12AT3.WAV");
        QVERIFY(t.Update(target, old, &f));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
        // A full rewrite writes under a partial name, named so in target, and
        // leaves the take at its old name: the caller renames and deletes.
        const bool rewritten = noteLength > 8192;
        QCOMPARE(target, rewritten ? path("12AT3.WAV.velmora-partial") : path("12AT3.WAV"));
        QCOMPARE(OpsTestKit::audioOf(target), m_audio);
        QCOMPARE(QFile::exists(m_take), rewritten);
    }

    void renameNeverReplacesAFile()
    {
        QVERIFY(TestUtil::writeFile(path("12AT3.WAV"), "another take"));
        AudioThread t;
        QString old = m_take;
        QVERIFY(!update(t, old, 10, path("12AT3.WAV")));
        QCOMPARE(TestUtil::readFile(path("12AT3.WAV")), QByteArray("another take"));
        QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
    }

    void unwritableTakeStaysUnchanged_data()
    {
        QTest::addColumn<bool>("readOnlyFile");
        QTest::addColumn<int>("noteLength");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only file, fits") << true << 10 << "read-only";
        QTest::newRow("read-only file, rewrite") << true << 10000 << "read-only";
        QTest::newRow("read-only folder, rewrite") << false << 10000 << "not writable";
    }

    void unwritableTakeStaysUnchanged()
    {
        QFETCH(bool, readOnlyFile);
        QFETCH(int, noteLength);
        QFETCH(QString, reason);
        const QByteArray before = TestUtil::readFile(m_take);
        const QString target = readOnlyFile ? m_take : m_tmp.path();
        const QFile::Permissions perms = QFile::permissions(target);
        QFile::setPermissions(target, perms & ~(QFile::WriteOwner | QFile::WriteUser |
                                                QFile::WriteGroup | QFile::WriteOther));
        AudioThread t;
        AudioFile f;
        QVERIFY(f.Open(m_take));
        f.SetSampleRate("96000"); // would be patched first by a naive in-place attempt
        f.SetNotes(QString(noteLength, QLatin1Char('n')));
        QString take = m_take, backup = path("T001_updatebackup.WAV");
        const bool started = t.Update(take, backup, &f);
        QFile::setPermissions(target, perms);
        QVERIFY(!started);
        QVERIFY2(t.m_errorMsg.contains(reason), qPrintable(t.m_errorMsg));
        QCOMPARE(TestUtil::readFile(m_take), before);
        QVERIFY(!QFile::exists(backup));
    }

    void readOnlyFolderStillAllowsInPlace()
    {
        const QFile::Permissions perms = QFile::permissions(m_tmp.path());
        QFile::setPermissions(m_tmp.path(), QFile::ReadOwner | QFile::ExeOwner);
        AudioThread t;
        QString backup = path("T001_updatebackup.WAV");
        const bool ok = update(t, backup, 10);
        QFile::setPermissions(m_tmp.path(), perms);
        QVERIFY(ok);
    }

    void flacIsRefused()
    {
        const QString flac = path("T.flac");
        QVERIFY(QFile::copy(
            QStringLiteral(VELMORA_TEST_DATA) + "/extensible-8bit-foreign-metadata.flac", flac));
        const QByteArray before = TestUtil::readFile(flac);
        AudioFile f;
        QVERIFY(f.Open(flac));
        f.SetNotes("x");
        AudioThread t;
        QString p = flac, backup = path("T_updatebackup.flac");
        QVERIFY(!t.Update(p, backup, &f));
        QVERIFY(t.m_errorMsg.contains("FLAC"));
        QCOMPARE(TestUtil::readFile(flac), before);
    }

    // A write that fails part-way (file-size limit): the take comes back
    // under its own name, byte for byte, and no backup or partial file stays.
    void failedRewriteRestoresTheTake()
    {
        const QByteArray before = TestUtil::readFile(m_take);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString backup = path("T001_updatebackup.WAV");
        {
            FileSizeLimit limit(quint64(before.size() / 2));
            QVERIFY(update(t, backup, 10000));
            QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_ERROR));
        }
        QVERIFY2(t.m_errorMsg.contains("File too large"), qPrintable(t.m_errorMsg));
        QCOMPARE(TestUtil::readFile(m_take), before);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{"T001.WAV"});
    }

    void cancelledRewriteRestoresTheTake()
    {
        OpsTake big;
        big.channels = 8;
        big.frames = 200000; // 4.8 MB: three chunks
        m_audio = OpsTestKit::write(m_take, big);
        const QByteArray before = TestUtil::readFile(m_take);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString backup = path("T001_updatebackup.WAV");
        QVERIFY(update(t, backup, 10000));
        t.CleanUp();
        const int state = OpsTestKit::finalState(spy);
        QVERIFY(state == AudioThread::STATE_ERROR || state == AudioThread::STATE_DONE);
        if (state == AudioThread::STATE_ERROR) {
            QCOMPARE(TestUtil::readFile(m_take), before);
            QVERIFY(!QFile::exists(backup));
        } else {
            QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
        }
    }

    // A take whose write would lose audio is refused before anything is
    // written; an iXML the caller agreed to rebuild is written.
    void takesThatMustNotBeWrittenAreRefused_data()
    {
        QTest::addColumn<QByteArray>("ixml");
        QTest::addColumn<int>("chop");
        QTest::addColumn<bool>("rebuild");
        QTest::addColumn<QString>("reason");
        const QByteArray good("<BWFXML><SCENE>5</SCENE></BWFXML>");
        const QByteArray bad("<BWFXML><NOTE>fish & chips</NOTE><SCENE>5</SCENE></BWFXML>");
        QTest::newRow("data runs past the end")
            << good << 1000 << false << "/T001.WAV is damaged: ";
        QTest::newRow("iXML rebuild accepted") << bad << 0 << true << QString();
    }

    void takesThatMustNotBeWrittenAreRefused()
    {
        QFETCH(QByteArray, ixml);
        QFETCH(int, chop);
        QFETCH(bool, rebuild);
        QFETCH(QString, reason);
        OpsTake shape;
        shape.metadata = false;
        shape.ixml = ixml;
        m_audio = OpsTestKit::write(m_take, shape);
        QByteArray before = TestUtil::readFile(m_take);
        before.chop(chop); // the data chunk still claims the full size
        QVERIFY(TestUtil::writeFile(m_take, before));
        AudioFile f;
        QVERIFY(f.Open(m_take));
        f.SetNotes(QString(10000, QLatin1Char('n')));
        f.m_rebuildIxml = rebuild;
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString take = m_take, backup = path("T001_updatebackup.WAV");
        if (!reason.isEmpty()) {
            QVERIFY(!t.Update(take, backup, &f));
            QVERIFY2(t.m_errorMsg.startsWith(m_tmp.path() + reason), qPrintable(t.m_errorMsg));
            QCOMPARE(TestUtil::readFile(m_take), before);
            QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{"T001.WAV"});
        } else {
            QVERIFY(t.Update(take, backup, &f));
            QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
            QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
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
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString backup = path("T001_updatebackup.WAV");
        QVERIFY(update(t, backup, 10000));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
        QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
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
        AudioFile f;
        QVERIFY(f.Open(link));
        f.SetNotes(QString(10000, QLatin1Char('n')));
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString take = link, backup = path("L_updatebackup.WAV");
        QVERIFY(t.Update(take, backup, &f));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
        QCOMPARE(take, m_take);
        QCOMPARE(backup, path("T001_updatebackup.WAV"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), m_take);
        QCOMPARE(OpsTestKit::audioOf(m_take), m_audio);
        AudioFile back;
        QVERIFY(back.Open(m_take));
        QCOMPARE(back.GetNotes().size(), 10000);
    }

    // A take with two names stays one file: in place it is edited under
    // both; a full rewrite, which would split them, is refused.
    void aHardLinkedTakeStaysOneFile_data()
    {
        QTest::addColumn<int>("noteLength");
        QTest::newRow("fits") << 10;
        QTest::newRow("needs a rewrite") << 10000;
    }

    void aHardLinkedTakeStaysOneFile()
    {
        QFETCH(int, noteLength);
        const QString other = path("H.WAV");
        QCOMPARE(
            ::link(QFile::encodeName(m_take).constData(), QFile::encodeName(other).constData()), 0);
        const QByteArray before = TestUtil::readFile(m_take);
        AudioThread t;
        QString backup = path("T001_updatebackup.WAV");
        const bool started = update(t, backup, noteLength);
        QVERIFY(SafeFileOps::samePath(m_take, other));
        if (noteLength < 8192) {
            QVERIFY(started);
            AudioFile back;
            QVERIFY(back.Open(other));
            QCOMPARE(back.GetNotes().size(), noteLength);
        } else {
            QVERIFY(!started);
            QCOMPARE(t.m_errorMsg,
                     QStringLiteral("T001.WAV has 2 names (hard links); a full rewrite would "
                                    "split them. Shorten the new metadata so that it fits in "
                                    "place, or make the take a single file first."));
            QCOMPARE(TestUtil::readFile(other), before);
        }
        QCOMPARE(OpsTestKit::audioOf(other), m_audio);
    }

    void copyKeepsTheAudio_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("progressSignals");
        // 4 channels of 16 bits: 8 bytes per frame, 202400 frames per chunk.
        QTest::newRow("empty data") << 0 << 0;
        QTest::newRow("exactly one chunk") << 202400 << 0;
        QTest::newRow("three chunks") << 3 * 202400 << 2;
    }

    void copyKeepsTheAudio()
    {
        QFETCH(int, frames);
        QFETCH(int, progressSignals);
        OpsTake shape;
        shape.channels = 4;
        shape.bits = 16;
        shape.frames = frames;
        m_audio = OpsTestKit::write(m_take, shape);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString dst = path("copy.WAV"), src = m_take;
        QVERIFY(t.Copy(dst, src));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
        QCOMPARE(spy.size() - 1, progressSignals);
        QCOMPARE(OpsTestKit::audioOf(dst), m_audio);
        QVERIFY(OpsTestKit::ixmlIsWellFormed(dst));
        QVERIFY(!QFile::exists(dst + ".velmora-partial"));
    }

    // Between file systems the kernel copy is refused and the bytes go
    // through the buffer; a write that fails there is reported the same way.
    void copyAcrossFileSystems_data()
    {
        QTest::addColumn<bool>("limited");
        QTest::newRow("complete") << false;
        QTest::newRow("file-size limit") << true;
    }

    void copyAcrossFileSystems()
    {
        QFETCH(bool, limited);
        QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-ops-XXXXXX"));
        if (!shm.isValid())
            QSKIP("no /dev/shm");
        OpsTake shape;
        shape.channels = 4;
        shape.frames = 300000; // 3.6 MB: three chunks
        const QString src = shm.filePath("T.WAV");
        m_audio = OpsTestKit::write(src, shape);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString d = path("copy.WAV"), s = src;
        {
            FileSizeLimit limit(limited ? 2000000 : RLIM_INFINITY);
            QVERIFY(t.Copy(d, s));
            QCOMPARE(OpsTestKit::finalState(spy),
                     int(limited ? AudioThread::STATE_ERROR : AudioThread::STATE_DONE));
        }
        if (limited) {
            QVERIFY2(t.m_errorMsg.contains("File too large"), qPrintable(t.m_errorMsg));
            QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{"T001.WAV"});
        } else {
            QCOMPARE(OpsTestKit::audioOf(d), m_audio);
            QCOMPARE(spy.size(), 3); // 33 %, 66 %, done
        }
    }

    void copyRefusesItsOwnSource()
    {
        const QByteArray before = TestUtil::readFile(m_take);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString dst = m_tmp.path() + "/./T001.WAV", src = m_take;
        QVERIFY(t.Copy(dst, src));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_ERROR));
        QVERIFY(t.m_errorMsg.startsWith(AudioThread::kMsgSameSource));
        QCOMPARE(TestUtil::readFile(m_take), before);
    }

    void failedCopyKeepsAnExistingDestination()
    {
        const QString dst = path("copy.WAV");
        QVERIFY(TestUtil::writeFile(dst, "older file"));
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString d = dst, s = m_take;
        {
            FileSizeLimit limit(4096);
            QVERIFY(t.Copy(d, s));
            QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_ERROR));
        }
        QCOMPARE(TestUtil::readFile(dst), QByteArray("older file"));
        QVERIFY(OpsTestKit::filesContaining(m_tmp.path(), "partial").isEmpty());
    }

    void copyRespectsReadOnlyPlaces_data()
    {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("read-only destination file") << false;
    }

    void copyRespectsReadOnlyPlaces()
    {
        QFETCH(bool, readOnlyFolder);
        const QString folder = path("dst");
        QDir().mkpath(folder);
        const QString dst = folder + "/T001.WAV";
        if (!readOnlyFolder)
            QVERIFY(TestUtil::writeFile(dst, "kept"));
        const QString locked = readOnlyFolder ? folder : dst;
        const QFile::Permissions perms = QFile::permissions(locked);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString d = dst, s = m_take;
        QVERIFY(t.Copy(d, s));
        const int state = OpsTestKit::finalState(spy);
        QFile::setPermissions(locked, perms);
        QCOMPARE(state, int(AudioThread::STATE_ERROR));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 readOnlyFolder ? QStringList() : QStringList{"T001.WAV"});
        if (!readOnlyFolder)
            QCOMPARE(TestUtil::readFile(dst), QByteArray("kept"));
    }

    void newEntryStopsTheRunningOperation()
    {
        OpsTake big;
        big.channels = 8;
        big.frames = 200000;
        m_audio = OpsTestKit::write(m_take, big);
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString a = path("a.WAV"), b = path("b.WAV"), s = m_take;
        QVERIFY(t.Copy(a, s));
        QVERIFY(t.Copy(b, s));
        int finals = 0;
        for (int i = 0; i < 600 && finals < 2; ++i) {
            spy.wait(100);
            finals = 0;
            for (const auto& args : spy)
                finals += args.at(0).toInt() != AudioThread::STATE_PROGRESS;
        }
        QCOMPARE(finals, 2);
        QCOMPARE(OpsTestKit::audioOf(b), m_audio);
        // The first copy either finished or left nothing behind.
        QVERIFY(!QFile::exists(a) || OpsTestKit::audioOf(a) == m_audio);
        QVERIFY(OpsTestKit::filesContaining(m_tmp.path(), "partial").isEmpty());
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
        AudioThread t;
        QString backup = path("T001_updatebackup.WAV");
        QVERIFY(!update(t, backup, 10));
        QCOMPARE(t.m_errorMsg, AudioThread::kMsgSizeLimit);
        QFile check(m_take);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.read(head.size()), head);
        QCOMPARE(check.size(), qint64(head.size() + dataSize));
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString dst = path("copy.WAV"), src = m_take;
        QVERIFY(t.Copy(dst, src));
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_ERROR));
        QCOMPARE(t.m_errorMsg, AudioThread::kMsgSizeLimit);
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{"T001.WAV"});
    }

    // Chunks the writer does not render travel through a rewrite and a copy
    // byte for byte, on their side of the audio; the extensible fmt keeps its
    // form and mask.
    void rewriteAndCopyCarryOtherChunks_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::newRow("rewrite") << false;
        QTest::newRow("copy") << true;
    }

    void rewriteAndCopyCarryOtherChunks()
    {
        QFETCH(bool, copy);
        QByteArray fmt = WavBuilder::fmtBody(2, 48000, 24, 0xFFFE);
        fmt.append(QByteArray::fromHex("16001800030000000100000000001000800000aa00389b71"));
        m_audio = TestUtil::pcm(2001, 2, 24, 3);
        const QByteArray cue =
            QByteArray::fromHex("010000000100000000000000") + "data" + QByteArray(12, '\0');
        const QByteArray list =
            QByteArray("INFOINAM") + QByteArray::fromHex("05000000") + QByteArray("Take\0\0", 6);
        const QByteArray source =
            WavBuilder()
                .chunk("fmt ", fmt)
                .chunk("bext", WavBuilder::bextBody("sSCENE=4\r\n"))
                .chunk("iXML", "<BWFXML><SCENE>4</SCENE><LOCATION>Pier</LOCATION></BWFXML>")
                .chunk("cue ", cue)
                .chunk("LIST", list)
                .chunk("data", m_audio)
                .chunk("ACME", "vendor")
                .build();
        QVERIFY(TestUtil::writeFile(m_take, source));
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        QString out = m_take;
        if (copy) {
            QString src = m_take;
            out = path("copy.WAV");
            QVERIFY(t.Copy(out, src));
        } else {
            QString backup = path("T001_updatebackup.WAV");
            QVERIFY(update(t, backup, 3000));
        }
        QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
        const QByteArray file = TestUtil::readFile(out);
        QCOMPARE(OpsTestKit::audioOf(out), m_audio);
        const qsizetype dataAt = file.indexOf(QByteArray("data") + QByteArray::fromHex("e62e0000"));
        QVERIFY(dataAt > 0);
        for (const QByteArray& id : {QByteArray("cue "), QByteArray("LIST")}) {
            const QByteArray whole =
                source.mid(source.indexOf(id), 8 + (id == "cue " ? cue : list).size());
            QVERIFY2(file.indexOf(whole) > 0 && file.indexOf(whole) < dataAt, id.constData());
        }
        QVERIFY(file.endsWith(QByteArray("ACME") + QByteArray::fromHex("06000000") + "vendor"));
        QVERIFY(file.contains(QByteArray("fmt ") + QByteArray::fromHex("28000000") + fmt));
        QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 4), quint32(file.size() - 8));
        AudioFile back;
        QVERIFY(back.Open(out));
        QVERIFY(back.m_info.ixmlDocument.contains("<LOCATION>Pier</LOCATION>"));
    }

    // An iXML document that does not parse travels unchanged through a copy,
    // which edits nothing; a rewrite refuses it and leaves the take as it was.
    void unparsableIxmlThroughCopyAndRewrite_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::newRow("copy keeps it") << true;
        QTest::newRow("rewrite refuses it") << false;
    }

    void unparsableIxmlThroughCopyAndRewrite()
    {
        QFETCH(bool, copy);
        m_audio = TestUtil::pcm(500, 2, 16, 8);
        const QByteArray ixml =
            "<BWFXML><NOTE>Tom & Jerry</NOTE><LOCATION>Pier</LOCATION></BWFXML>";
        const QByteArray source = WavBuilder()
                                      .chunk("fmt ", WavBuilder::fmtBody(2, 48000, 16))
                                      .chunk("iXML", ixml)
                                      .chunk("data", m_audio)
                                      .build();
        QVERIFY(TestUtil::writeFile(m_take, source));
        AudioThread t;
        QSignalSpy spy(&t, &AudioThread::progressUpdate);
        if (copy) {
            QString src = m_take, dst = path("copy.WAV");
            QVERIFY(t.Copy(dst, src));
            QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_DONE));
            const QByteArray file = TestUtil::readFile(dst);
            QVERIFY(file.contains(QByteArray("iXML") + QByteArray::fromHex("42000000") + ixml));
            QCOMPARE(OpsTestKit::audioOf(dst), m_audio);
        } else {
            QString backup = path("T001_updatebackup.WAV");
            if (update(t, backup, 3000))
                QCOMPARE(OpsTestKit::finalState(spy), int(AudioThread::STATE_ERROR));
            QVERIFY(t.m_errorMsg.contains(QStringLiteral("does not parse")));
        }
        QCOMPARE(TestUtil::readFile(m_take), source);
    }
};

QTEST_GUILESS_MAIN(TestAudioThread)
#include "tst_audiothread.moc"
