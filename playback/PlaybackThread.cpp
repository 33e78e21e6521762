#include "PlaybackThread.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstring>

Q_LOGGING_CATEGORY(lcPlayback, "velmora.playback", QtWarningMsg)

using namespace Playback;

namespace
{

constexpr int kReaderSleepMs = 40;
constexpr unsigned long kThreadWaitMs = 3000;

void silence(float* out, unsigned long frames, quint32 channels)
{
    std::fill(out, out + frames * channels, 0.0f);
}

// PortAudio's callback thread. Allocates nothing, takes no lock, touches no
// file and writes no log: it plays what the reader has handed over and plays
// silence when the reader is behind.
int paPlaytCallback(const void*, void* output, unsigned long frameCount,
                    const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user)
{
    auto* p = static_cast<PlayBackInfo*>(user);
    auto* out = static_cast<float*>(output);
    if (p->stop.load(std::memory_order_acquire)) {
        silence(out, frameCount, p->outChannels);
        return paComplete;
    }
    if (p->state.load(std::memory_order_acquire) != PlayBackInfo::StatePlaying) {
        silence(out, frameCount, p->outChannels);
        return paContinue;
    }
    MixSettings s;
    for (size_t c = 0; c < size_t(kMixChannels); ++c) {
        s.gain[c] = p->gain[c].load(std::memory_order_relaxed);
        s.route[c] = p->route[c].load(std::memory_order_relaxed);
        s.mute[c] = p->mute[c].load(std::memory_order_relaxed);
    }
    s.outGain = p->outGain;

    unsigned long done = 0;
    bool ended = false;
    while (done < frameCount) {
        PlayBackInfo::Buffer& b = p->bufs[p->readIdx];
        if (!b.ready.load(std::memory_order_acquire))
            break; // the reader is behind: silence for the rest
        bool drop =
            b.epoch != PlayBackInfo::generationOf(p->seekReq.load(std::memory_order_acquire));
        if (!drop) {
            const quint32 n =
                quint32(std::min<unsigned long>(frameCount - done, b.frames - p->readPos));
            if (n > 0) {
                mixBlock(b.data + size_t(p->readPos) * p->bytesPerFrame, int(n), int(p->channels),
                         p->format, s, &p->accum, out + done * p->outChannels, int(p->outChannels));
                done += n;
                p->readPos += n;
                p->framePos.store(b.startFrame + p->readPos, std::memory_order_relaxed);
            }
            ended = p->readPos >= b.frames && b.last;
            drop = p->readPos >= b.frames;
        }
        if (drop) {
            b.ready.store(false, std::memory_order_release);
            p->readIdx = (p->readIdx + 1) % 3;
            p->readPos = 0;
        }
        if (ended)
            break;
    }
    if (done < frameCount)
        silence(out + done * p->outChannels, frameCount - done, p->outChannels);

    if (++p->callbackCount >= p->callbacksPerMeter) {
        p->callbackCount = 0;
        p->meter->Publish(p->accum, p->meterStart);
        p->accum.clear();
        p->meterStart = p->framePos.load(std::memory_order_relaxed);
    }
    p->posOut->store(quint32(p->framePos.load(std::memory_order_relaxed)),
                     std::memory_order_relaxed);
    if (ended) {
        p->ended.store(true, std::memory_order_release);
        p->stop.store(true, std::memory_order_release);
        return paComplete;
    }
    return paContinue;
}

} // namespace

PlayBackInfo::PlayBackInfo()
{
    resetMixer();
}

void PlayBackInfo::resetMixer()
{
    const MixSettings d;
    for (size_t c = 0; c < size_t(kMixChannels); ++c) {
        gain[c].store(d.gain[c]);
        route[c].store(d.route[c]);
        mute[c].store(d.mute[c]);
    }
}

PlaybackThread::PlaybackThread(QObject* parent) : AudioThread(parent) {}

PlaybackThread::~PlaybackThread()
{
    if (operation() == OP_PLAY)
        playFinish();
    else
        playClean();
}

int PlaybackThread::playState() const
{
    return m_play ? m_play->state.load() : 0;
}

quint32 PlaybackThread::sampleRate() const
{
    return m_play ? m_play->sampleRate : 0;
}

quint64 PlaybackThread::totalFrames() const
{
    return m_play ? m_play->totalFrames : 0;
}

int PlaybackThread::channels() const
{
    return m_play ? int(m_play->channels) : 0;
}

int PlaybackThread::outChannels() const
{
    return m_play ? int(m_play->outChannels) : 0;
}

bool PlaybackThread::InitPlayBack(const QString& path, int device)
{
    if (operation() != OP_NONE)
        return false;
    return InitPlayBack(QStringList{path}, device);
}

bool PlaybackThread::InitPlayBack(const QStringList& paths, int device)
{
    playFinish();
    if (operation() != OP_NONE || paths.isEmpty() || isRunning())
        return false;
    m_play = std::make_unique<PlayBackInfo>();
    PlayBackInfo& p = *m_play;
    for (const QString& path : paths) {
        auto f = std::make_unique<AudioFile>();
        if (!QFileInfo(path).isFile() || !f->Open(path) ||
            f->m_info.fileType != SoundDefs::kFileTypeWave) {
            qCDebug(lcPlayback) << "cannot play" << path << f->errorText();
            playClean();
            return false;
        }
        m_playFiles.push_back(std::move(f));
    }
    const SoundDefs::AudioFileInfo& first = m_playFiles.front()->m_info;
    p.format = sampleFormatFor(first.formatTag, first.bitsPerSample);
    const bool group = m_playFiles.size() > 1;
    for (const auto& f : m_playFiles) {
        const SoundDefs::AudioFileInfo& i = f->m_info;
        if (group && (i.channels != 1 || i.sampleRate != first.sampleRate ||
                      sampleFormatFor(i.formatTag, i.bitsPerSample) != p.format)) {
            qCDebug(lcPlayback) << "mono files of one take differ:" << f->fileName();
            playClean();
            return false;
        }
    }
    p.channels = group ? quint32(m_playFiles.size()) : first.channels;
    p.bytesPerSample = quint32(bytesPerSample(p.format));
    p.sampleRate = first.sampleRate;
    if (p.format == SampleFormat::Invalid || p.channels == 0 || p.sampleRate == 0) {
        qCDebug(lcPlayback) << "not a playable format:" << first.formatTag << first.bitsPerSample;
        playClean();
        return false;
    }
    if (p.channels > quint32(kMixChannels))
        qCWarning(lcPlayback) << "the take has" << p.channels << "channels; the first"
                              << kMixChannels << "are played";
    p.bytesPerFrame = p.bytesPerSample * p.channels;
    p.framesPerCallback = 1024;
    while (p.framesPerCallback > 1 && p.bytesPerFrame * p.framesPerCallback >= 6000)
        p.framesPerCallback /= 2;
    p.subBlocks = p.sampleRate / p.framesPerCallback + 1;
    p.bufFrames = p.subBlocks * p.framesPerCallback;
    p.bufBytes = p.bufFrames * p.bytesPerFrame;
    p.callbacksPerMeter = std::max(1u, 50u / std::max(1000u / p.subBlocks, 1u));
    p.totalFrames = first.totalSamples;
    m_meterInfo.SetChannels(int(std::min<quint32>(p.channels, kMixChannels)));
    m_meterInfo.setPeriodFrames(p.callbacksPerMeter * p.framesPerCallback);
    p.meter = &m_meterInfo;
    InitOp(OP_PLAY);
    if (!playInit(device)) {
        playClean();
        return false;
    }
    return true;
}

bool PlaybackThread::playInit(int device)
{
    PlayBackInfo& p = *m_play;
    if (p.state.load() != PlayBackInfo::StateNone)
        return false;
    p.deviceArg = device;
    if (Pa_Initialize() != paNoError)
        return false;
    m_paInitialised = true;
    const PaDeviceIndex dev = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = dev == paNoDevice ? nullptr : Pa_GetDeviceInfo(dev);
    if (!info || info->maxOutputChannels < 1) {
        qCDebug(lcPlayback) << "no output device";
        return false;
    }
    p.outChannels = info->maxOutputChannels == 1 ? 1 : 2;
    PaStreamParameters out;
    std::memset(&out, 0, sizeof out);
    out.device = dev;
    out.channelCount = int(p.outChannels);
    out.sampleFormat = paFloat32;
    out.suggestedLatency = info->defaultLowOutputLatency;
    if (Pa_IsFormatSupported(nullptr, &out, p.sampleRate) != paFormatIsSupported) {
        qCDebug(lcPlayback) << "the device does not take" << p.sampleRate << "Hz";
        return false;
    }
    if (Pa_OpenStream(&p.stream, nullptr, &out, p.sampleRate, p.framesPerCallback, paClipOff,
                      paPlaytCallback, &p) != paNoError) {
        p.stream = nullptr;
        return false;
    }
    m_playPos = 0;
    p.posOut = &m_playPos;
    p.storage.assign(size_t(p.bufBytes) * 3, 0);
    for (size_t i = 0; i < 3; ++i)
        p.bufs[i].data = p.storage.data() + i * p.bufBytes;
    const bool group = m_playFiles.size() > 1;
    for (auto& f : m_playFiles) {
        if (!f->Open(QIODevice::ReadOnly) || !f->Seek(f->m_fileDataPos, true))
            return false;
        if (group)
            m_fileBufs.emplace_back(size_t(p.bufFrames) * p.bytesPerSample);
    }
    p.state = PlayBackInfo::StateReady;
    return true;
}

bool PlaybackThread::PlayBack(PlayBackCmd cmd, int a, unsigned int b)
{
    if (!m_play || operation() != OP_PLAY || cmd < PLAY_INIT || cmd > PLAY_ROUTE)
        return false;
    PlayBackInfo& p = *m_play;
    const bool channelOk = a >= 0 && quint32(a) < p.channels && a < kMixChannels;
    switch (cmd) {
    case PLAY_INIT:
        return playInit(a);
    case PLAY_START:
        return playStart();
    case PLAY_RESUME:
        return playResume();
    case PLAY_STOP:
        return playStop();
    case PLAY_FINISH:
        return playFinish();
    case PLAY_GAIN:
        if (b < 61 && channelOk)
            p.gain[size_t(a)].store(std::pow(10.0f, (float(b) - 48.0f) / 20.0f));
        return true;
    case PLAY_MUTE:
        if (channelOk)
            p.mute[size_t(a)].store(b != 0);
        return true;
    case PLAY_SEEK: {
        const quint64 gen = PlayBackInfo::generationOf(p.seekReq.load()) + 1;
        p.seekReq.store(gen << 8 | quint64(std::clamp(a, 0, 100)), std::memory_order_release);
        return true;
    }
    case PLAY_ROUTE:
        if (b >= 1 && b <= 3 && channelOk)
            p.route[size_t(a)].store(quint8(b));
        return true;
    }
    return false;
}

bool PlaybackThread::playStart()
{
    PlayBackInfo& p = *m_play;
    if (p.state.load() != PlayBackInfo::StateReady)
        return false;
    p.stop = false;
    p.state = PlayBackInfo::StatePlaying;
    start();
    // Give the reader a moment to fill the first buffer; the callback plays
    // silence until it has.
    for (int i = 0; i < 10 && !p.bufs[0].ready.load(); ++i)
        msleep(5);
    if (Pa_StartStream(p.stream) != paNoError) {
        playClean();
        return false;
    }
    return true;
}

bool PlaybackThread::playStop()
{
    PlayBackInfo& p = *m_play;
    if (p.state.load() != PlayBackInfo::StatePlaying)
        return false;
    // The callback stops taking data at once; the device drains what it
    // already has, so a resume continues with the next frame.
    p.state = PlayBackInfo::StatePaused;
    if (Pa_IsStreamStopped(p.stream) == 0)
        return Pa_StopStream(p.stream) == paNoError;
    return true;
}

bool PlaybackThread::playResume()
{
    PlayBackInfo& p = *m_play;
    if (p.state.load() != PlayBackInfo::StatePaused)
        return false;
    p.state = PlayBackInfo::StatePlaying;
    if (Pa_IsStreamStopped(p.stream) == 1)
        return Pa_StartStream(p.stream) == paNoError;
    return true;
}

bool PlaybackThread::playFinish()
{
    if (operation() != OP_PLAY)
        return false;
    if (m_play && m_play->state.load() > PlayBackInfo::StateNone) {
        m_play->stop = true;
        playStop();
        if (!wait(kThreadWaitMs))
            wait();
    }
    playClean();
    return true;
}

void PlaybackThread::playClean()
{
    if (m_play) {
        m_play->stop = true;
        if (m_play->stream && Pa_IsStreamStopped(m_play->stream) == 0)
            Pa_AbortStream(m_play->stream);
        if (!wait(kThreadWaitMs)) {
            qCWarning(lcPlayback) << "the playback reader is slow to end";
            wait();
        }
        if (m_play->stream)
            Pa_CloseStream(m_play->stream);
        m_play->stream = nullptr;
        m_play->readerDone.load(std::memory_order_acquire);
    }
    if (m_paInitialised)
        Pa_Terminate();
    m_paInitialised = false;
    for (auto& f : m_playFiles)
        f->Close();
    m_playFiles.clear();
    m_fileBufs.clear();
    m_play.reset();
    if (operation() == OP_PLAY)
        InitOp(OP_NONE);
}

bool PlaybackThread::seekFiles(quint64 frame)
{
    bool ok = true;
    const bool group = m_playFiles.size() > 1;
    for (auto& f : m_playFiles) {
        const quint64 step = group ? m_play->bytesPerSample : m_play->bytesPerFrame;
        ok = f->Seek(f->m_fileDataPos + step * frame, true) && ok;
    }
    return ok;
}

bool PlaybackThread::readInto(PlayBackInfo::Buffer& b, quint32 frames, quint32& got)
{
    PlayBackInfo& p = *m_play;
    got = 0;
    if (frames == 0)
        return true;
    if (m_playFiles.size() == 1) {
        const qint64 n = m_playFiles.front()->Read(b.data, qint64(frames) * p.bytesPerFrame);
        got = n > 0 ? quint32(n / p.bytesPerFrame) : 0;
        return n >= 0;
    }
    quint32 least = frames;
    for (size_t i = 0; i < m_playFiles.size(); ++i) {
        const qint64 n =
            m_playFiles[i]->Read(m_fileBufs[i].data(), qint64(frames) * p.bytesPerSample);
        least = std::min(least, n > 0 ? quint32(n / p.bytesPerSample) : 0u);
    }
    const size_t bps = p.bytesPerSample;
    for (size_t i = 0; i < m_playFiles.size(); ++i) {
        const uchar* src = m_fileBufs[i].data();
        uchar* dst = b.data + i * bps;
        for (quint32 f = 0; f < least; ++f, src += bps, dst += p.bytesPerFrame)
            std::memcpy(dst, src, bps);
    }
    got = least;
    return true;
}

void PlaybackThread::fill()
{
    PlayBackInfo& p = *m_play;
    const quint64 request = p.seekReq.load(std::memory_order_acquire);
    if (PlayBackInfo::generationOf(request) != p.handledGen) {
        // Whole percent steps of the take, as the position slider has them.
        const quint64 pct = request & 0xff;
        const quint64 frame = std::min(p.totalFrames, p.totalFrames / 100 * pct);
        p.nextFrame = frame;
        p.dataEnd = !seekFiles(frame);
        p.handledGen = PlayBackInfo::generationOf(request);
    }
    const quint64 epoch = p.handledGen;
    for (int k = 0; k < 3 && !p.dataEnd; ++k) {
        PlayBackInfo::Buffer& b = p.bufs[p.writeIdx];
        if (b.ready.load(std::memory_order_acquire))
            break;
        const quint32 want = quint32(std::min<quint64>(p.bufFrames, p.totalFrames - p.nextFrame));
        quint32 got = 0;
        const bool ok = readInto(b, want, got);
        b.startFrame = p.nextFrame;
        b.frames = got;
        b.epoch = epoch;
        p.nextFrame += got;
        // Also ends a take whose data is shorter than its header says.
        b.last = !ok || got < want || p.nextFrame >= p.totalFrames;
        p.dataEnd = b.last;
        b.ready.store(true, std::memory_order_release);
        p.writeIdx = (p.writeIdx + 1) % 3;
    }
}

void PlaybackThread::Play()
{
    PlayBackInfo& p = *m_play;
    while (!p.stop.load(std::memory_order_acquire)) {
        fill();
        if (p.state.load() == PlayBackInfo::StatePlaying) {
            m_progress = 100;
            emit progressUpdate(STATE_PROGRESS, 100);
        }
        msleep(kReaderSleepMs);
    }
    m_progress = 100;
    emit progressUpdate(STATE_DONE, 100);
    p.readerDone.store(true, std::memory_order_release);
}
