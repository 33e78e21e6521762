// Split and combine: the two operations of AudioThread that rewrite the
// sample layout. Samples move as opaque groups of bytes (no conversion).

#include "AudioThread.h"

#include "OpsLog.h"
#include "PartialOutput.h"
#include "SafeFileOps.h"
#include "SampleInterleaver.h"

#include <QFileInfo>

#include <memory>
#include <vector>

using namespace SoundDefs;

namespace
{

constexpr quint64 kFileSizeLimit = quint64(1) << 32;

quint32 fullMask(int channels)
{
    return channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1u;
}

QString bareName(const QString& path)
{
    return QFileInfo(path).fileName();
}

// The layouts split and combine can move: whole samples of equal size.
bool plainLayout(const AudioFileInfo& i)
{
    return i.fileType == kFileTypeWave && i.channels > 0 && i.blockAlign > 0 &&
           i.blockAlign % i.channels == 0;
}

} // namespace

// Points m_uidGen at the family of x, generating a family identifier when x
// has none. A fresh generator each time: presets adopted from an earlier
// operation's family must not leak into this one.
void AudioThread::adoptFamily(AudioIxmlData& x)
{
    m_uidGen = cUidGen();
    if (x.FAMILY_UID.isEmpty()) {
        m_uidGen.GenUid();
        x.FAMILY_UID = m_uidGen.uid + QStringLiteral("00");
    }
    // The members' identifiers share the family's serial, time and record
    // number, also for a family generated just now.
    m_uidGen.SetUid(x.FAMILY_UID);
}

// Moves the finished outputs of a split or combine into place together
// (PartialOutput::commitAll), or, after a failure or a cancel, removes them:
// either way no file that was there before the run is lost. Once every output
// is in place the run counts as done, even if a cancel came meanwhile.
void AudioThread::commitOutputs(const std::vector<PartialOutput*>& outputs)
{
    QString why;
    bool placed = false;
    if (m_contOp && !outputs.empty()) {
        placed = PartialOutput::commitAll(outputs, &why);
        if (placed)
            m_contOp = true;
        else
            fail(why);
    }
    if (!placed) {
        for (auto it = outputs.rbegin(); it != outputs.rend(); ++it)
            (*it)->discard();
    }
}

QString AudioThread::damagedMessage(const QString& path, const QString& damage)
{
    return QStringLiteral("%1 is damaged: %2. Run velmora-cli repair on it first.")
        .arg(path, damage);
}

// For the entry functions: a damaged take among paths refuses the operation
// before a thread starts (m_errorMsg says which and why). A take that cannot
// be read is left to the work function, which reports it.
bool AudioThread::refuseDamaged(const QStringList& paths)
{
    for (const QString& p : paths) {
        AudioFile probe;
        if (probe.Open(p) && !probe.m_info.damage.isEmpty()) {
            m_errorMsg = damagedMessage(p, probe.m_info.damage);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- Split

bool AudioThread::fixSplit(const QString& source, const QStringList& outputs,
                           const QVector<unsigned int>& masks)
{
    AudioFile probe(true);
    if (!probe.Open(source))
        return false;
    const quint32 full = fullMask(probe.GetChannels());
    m_fileList.clear();
    m_trackMasks.clear();
    if (outputs.size() != masks.size())
        return false;
    for (int k = 0; k < outputs.size(); ++k) {
        const quint32 m = masks.at(k) & full;
        if (outputs.at(k).isEmpty() || m == 0)
            continue;
        m_fileList.append(outputs.at(k));
        m_trackMasks.append(m);
    }
    return !m_fileList.isEmpty();
}

bool AudioThread::Split(const QString& source, const QStringList& outputs,
                        const QVector<unsigned int>& masks)
{
    CleanUp();
    if (m_op != OP_NONE || refuseDamaged({source}))
        return false;
    if (!fixSplit(source, outputs, masks))
        return false;
    m_path = source;
    InitOp(OP_SPLIT);
    start();
    return true;
}

void AudioThread::Split()
{
    AudioFile src;
    std::vector<std::unique_ptr<PartialOutput>> outs;
    std::vector<std::vector<int>> plans; // source channels (0-based) of each output
    quint64 frames = 0;
    int bps = 0;

    if (!src.Open(m_path)) {
        fail(kMsgCannotOpen + QStringLiteral(" (%1: %2)").arg(m_path, src.errorText()));
    } else if (!src.m_info.damage.isEmpty()) {
        fail(damagedMessage(m_path, src.m_info.damage));
    } else if (src.m_info.fileType == kFileTypeFlac) {
        fail(QStringLiteral("FLAC takes cannot be split"));
    } else if (!plainLayout(src.m_info)) {
        fail(QStringLiteral("%1: unsupported sample layout").arg(m_path));
    } else if (!outputsClash(m_fileList, {m_path})) {
        AudioFileInfo& si = src.m_info;
        // Completes a take without bext or iXML in memory, so that every output
        // carries its family and history.
        src.UpdateFileInfo();
        if (si.hasBext)
            src.m_bext.Compile();
        bps = si.blockAlign / si.channels;
        frames = si.dataSize / si.blockAlign;
        const quint32 full = fullMask(si.channels);

        AudioFile tmpl;
        tmpl = src;
        AudioIxmlData& t = tmpl.m_info.ixml;
        t.PARENT_FILENAME = bareName(m_path);
        t.TOTAL_FILES = QString::number(m_fileList.size());
        adoptFamily(t);
        if (si.ixml.FILE_UID.isEmpty()) {
            m_uidGen.GenUid();
            t.PARENT_UID = m_uidGen.uid + QStringLiteral("00");
        } else {
            t.PARENT_UID = si.ixml.FILE_UID;
        }

        for (int k = 0; k < m_fileList.size() && m_contOp; ++k) {
            const QString& path = m_fileList.at(k);
            const quint32 mask = m_trackMasks.at(k) & full;
            auto out = std::make_unique<PartialOutput>(path);
            out->adopt(tmpl);
            AudioFileInfo& o = out->file().m_info;
            cAudioBext& bext = out->file().m_bext;
            const QString name = bareName(path);
            std::vector<int> plan;
            for (int ch = 0; ch < si.channels; ++ch)
                if (mask & (1u << ch))
                    plan.push_back(ch);
            const int c = int(plan.size());

            o.ixml.FILE_UID = m_uidGen.GetFileUID(k + 1);
            o.channels = quint16(c);
            o.ixml.trackCount = c;
            o.blockAlign = quint16(c * bps);
            o.dataSize = frames * quint64(c) * quint64(bps);
            o.totalSamples = frames;
            o.ixml.ORIGINAL_FILENAME = name;
            o.ixml.CURRENT_FILENAME = name;
            o.ixml.FILE_SET_INDEX = QString::number(k + 1);
            if (o.hasBext) {
                bext.DeleteEntry("TRK", true);
                bext.SetValue(QStringLiteral("FILENAME"), name);
            }
            o.channelList.clear();
            for (int ch : plan) {
                AudioChannelInfo track;
                if (ch < si.channelList.size()) {
                    track = si.channelList.at(ch);
                } else {
                    track.name = QStringLiteral(" ");
                    track.channelIndex = ch + 1;
                }
                track.interleaveIndex = int(o.channelList.size()) + 1;
                o.channelList.append(track);
                if (o.hasBext && o.channelList.size() <= AudioFile::kMaxBextTrackEntries)
                    bext.SetValue(QStringLiteral("TRK%1").arg(track.channelIndex), track.name);
            }
            o.ixml.tracks = o.channelList;
            if (newFileSize(out->file()) >= kFileSizeLimit)
                fail(kMsgSizeLimit);
            outs.push_back(std::move(out));
            plans.push_back(std::move(plan));
        }
    }

    // Nothing is created before every output has been checked.
    for (auto& out : outs) {
        QString why;
        if (!m_contOp)
            break;
        if (!out->begin(&why))
            fail(kMsgCannotOpen + QStringLiteral(" (%1)").arg(why));
    }
    if (m_contOp && !src.cFile::Open(QIODevice::ReadOnly))
        fail(kMsgCannotOpen + QStringLiteral(" (%1: %2)").arg(m_path, src.errorString()));
    if (m_contOp && !src.Seek(src.m_fileDataPos, true))
        fail(QStringLiteral("%1: read failed: %2").arg(m_path, src.errorString()));

    if (m_contOp && frames > 0) {
        const int align = src.m_info.blockAlign;
        src.m_transferBuffer = QByteArray(qsizetype(align) * kTransferFrames, Qt::Uninitialized);
        char* buf = src.m_transferBuffer.data();
        quint64 remaining = frames;
        const quint64 count = frames * align / (quint64(align) * kTransferFrames) + 1;
        QString why;
        for (quint64 i = 0; remaining > 0 && m_contOp; ++i) {
            const qint64 n = qint64(qMin<quint64>(remaining, kTransferFrames));
            const qint64 want = n * align;
            const qint64 got = src.Read(buf, want);
            if (got != want) {
                fail(QStringLiteral("%1: read failed: %2")
                         .arg(m_path,
                              got < 0 ? src.errorString() : QStringLiteral("the file ends early")));
                break;
            }
            for (size_t k = 0; k < outs.size() && m_contOp; ++k) {
                AudioFile& f = outs[k]->file();
                char* dst = f.m_transferBuffer.data();
                const std::vector<int>& plan = plans[k];
                SampleInterleaver::extract(buf, align, bps, plan.data(), int(plan.size()), n, dst);
                if (!outs[k]->write(dst, n * qint64(plan.size()) * bps, &why))
                    fail(why);
            }
            sendProgress(i, count);
            remaining -= quint64(n);
        }
    }
    src.Close();
    std::vector<PartialOutput*> all;
    for (auto& out : outs)
        all.push_back(out.get());
    commitOutputs(all);
    outs.clear();
    finish();
}

// ---------------------------------------------------------------- Combine

bool AudioThread::Combine(const QString& destination, const QStringList& sources)
{
    CleanUp();
    if (m_op != OP_NONE || sources.isEmpty() || refuseDamaged(sources))
        return false;
    m_path = destination;
    m_fileList = sources;
    InitOp(OP_COMBINE);
    start();
    return true;
}

void AudioThread::Combine()
{
    const int n = int(m_fileList.size());
    std::vector<std::unique_ptr<AudioFile>> srcs;
    std::unique_ptr<PartialOutput> out;
    quint64 frames = 0;
    int bps = 0;

    for (int i = 0; i < n && m_contOp; ++i) {
        auto f = std::make_unique<AudioFile>();
        if (!f->Open(m_fileList.at(i))) {
            fail(kMsgCannotOpen +
                 QStringLiteral(" (%1: %2)").arg(m_fileList.at(i), f->errorText()));
        } else if (!f->m_info.damage.isEmpty()) {
            fail(damagedMessage(m_fileList.at(i), f->m_info.damage));
        } else if (f->m_info.fileType == kFileTypeFlac) {
            fail(QStringLiteral("FLAC takes cannot be combined"));
        } else if (quint64(f->m_info.dataSize) * quint64(n) >= kFileSizeLimit) {
            fail(kMsgSizeLimit);
        } else {
            srcs.push_back(std::move(f));
        }
    }
    if (m_contOp) {
        // Mono sources of one sample size and one length: anything else would
        // give a file whose header does not describe its samples.
        const AudioFileInfo& first = srcs.front()->m_info;
        for (const auto& f : srcs) {
            const AudioFileInfo& i = f->m_info;
            if (!plainLayout(i) || i.channels != 1 || i.blockAlign != first.blockAlign ||
                i.bitsPerSample != first.bitsPerSample || i.totalSamples != first.totalSamples) {
                fail(kMsgCannotCombine);
                break;
            }
        }
    }
    if (m_contOp && !outputsClash({m_path}, m_fileList)) {
        AudioFile& s0 = *srcs.front();
        s0.UpdateFileInfo();
        if (s0.m_info.hasBext)
            s0.m_bext.Compile();
        bps = s0.m_info.blockAlign;
        frames = s0.m_info.dataSize / quint64(bps);

        out = std::make_unique<PartialOutput>(m_path);
        out->adopt(s0);
        AudioFileInfo& o = out->file().m_info;
        cAudioBext& bext = out->file().m_bext;
        const QString name = bareName(m_path);
        o.channels = quint16(n);
        o.ixml.trackCount = n;
        o.blockAlign = quint16(bps * n);
        o.dataSize = frames * quint64(bps) * quint64(n);
        o.totalSamples = frames;
        o.ixml.CURRENT_FILENAME = name;
        o.ixml.ORIGINAL_FILENAME = name;
        o.channelList = QVector<AudioChannelInfo>(n);
        if (o.hasBext) {
            bext.DeleteEntry("TRK", true);
            bext.SetValue(QStringLiteral("FILENAME"), name);
        }
        for (int i = 0; i < n; ++i) {
            const AudioFileInfo& si = srcs[size_t(i)]->m_info;
            if (si.channelList.size() != 1)
                continue;
            AudioChannelInfo track = si.channelList.first();
            track.interleaveIndex = i + 1;
            o.channelList[i] = track;
            if (o.hasBext && i < AudioFile::kMaxBextTrackEntries)
                bext.SetValue(QStringLiteral("TRK%1").arg(i + 1), track.name);
        }
        o.ixml.tracks = o.channelList;
        adoptFamily(o.ixml);
        o.ixml.PARENT_UID = o.ixml.FAMILY_UID;
        o.ixml.FILE_UID = m_uidGen.GetFileUID(1);
        o.ixml.TOTAL_FILES = QStringLiteral("1");

        QString why;
        if (newFileSize(out->file()) >= kFileSizeLimit)
            fail(kMsgSizeLimit);
        else if (!out->begin(&why))
            fail(kMsgCannotOpenDst + QStringLiteral(" (%1)").arg(why));
    }
    for (auto& f : srcs) {
        if (!m_contOp)
            break;
        if (!f->cFile::Open(QIODevice::ReadOnly) || !f->Seek(f->m_fileDataPos, true))
            fail(kMsgCannotOpen + QStringLiteral(" (%1: %2)").arg(f->fileName(), f->errorString()));
        else
            f->m_transferBuffer = QByteArray(qsizetype(bps) * kTransferFrames, Qt::Uninitialized);
    }

    if (m_contOp && frames > 0) {
        std::vector<const char*> bufs;
        for (auto& f : srcs)
            bufs.push_back(f->m_transferBuffer.constData());
        char* dst = out->file().m_transferBuffer.data();
        quint64 remaining = frames;
        const quint64 count = frames / kTransferFrames + 1;
        QString why;
        for (quint64 i = 0; remaining > 0 && m_contOp; ++i) {
            const qint64 k = qint64(qMin<quint64>(remaining, kTransferFrames));
            const qint64 want = k * bps;
            for (auto& f : srcs) {
                const qint64 got = f->Read(f->m_transferBuffer.data(), want);
                if (got != want) {
                    fail(QStringLiteral("%1: read failed: %2")
                             .arg(f->fileName(), got < 0 ? f->errorString()
                                                         : QStringLiteral("the file ends early")));
                    break;
                }
                if (!m_contOp)
                    break;
            }
            if (!m_contOp)
                break;
            SampleInterleaver::interleave(bufs.data(), n, bps, k, dst);
            if (!out->write(dst, want * n, &why)) {
                fail(why);
                break;
            }
            sendProgress(i, count);
            remaining -= quint64(k);
        }
    }
    for (auto it = srcs.rbegin(); it != srcs.rend(); ++it)
        (*it)->Close();
    commitOutputs(out ? std::vector<PartialOutput*>{out.get()} : std::vector<PartialOutput*>{});
    out.reset();
    srcs.clear();
    finish();
}
