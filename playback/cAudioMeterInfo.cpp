#include "cAudioMeterInfo.h"

#include <algorithm>
#include <cmath>

cAudioMeterInfo::cAudioMeterInfo(int slots)
    : m_slots(new Slot[size_t(std::max(2, slots))]), m_size(std::max(2, slots))
{
}

void cAudioMeterInfo::SetChannels(int channels)
{
    m_channels = std::clamp(channels, 0, Playback::kMixChannels);
    for (int i = 0; i < m_size; ++i) {
        m_slots[size_t(i)].data.assign(size_t(m_channels), cAudioMeterData());
        m_slots[size_t(i)].position = 0;
        m_slots[size_t(i)].ready.store(false, std::memory_order_relaxed);
    }
    m_prev.assign(size_t(m_channels), 0.0f);
    m_writeIdx = m_readIdx = 0;
    m_taken = m_calculated = false;
}

bool cAudioMeterInfo::Publish(const Playback::MeterAccum& accum, quint64 position)
{
    Slot& s = m_slots[size_t(m_writeIdx)];
    if (s.ready.load(std::memory_order_acquire))
        return false;
    for (int c = 0; c < m_channels; ++c) {
        cAudioMeterData& d = s.data[size_t(c)];
        d.level = accum.level[size_t(c)];
        d.peak = accum.peak[size_t(c)];
    }
    s.position = position;
    s.ready.store(true, std::memory_order_release);
    m_writeIdx = (m_writeIdx + 1) % m_size;
    return true;
}

const std::vector<cAudioMeterData>& cAudioMeterInfo::GetRdMeterData(bool& ready, quint64 position)
{
    Slot& s = m_slots[size_t(m_readIdx)];
    ready = s.ready.load(std::memory_order_acquire) && s.position <= position;
    m_taken = ready;
    if (!ready)
        return m_none;
    Calculate();
    return s.data;
}

void cAudioMeterInfo::Calculate()
{
    Slot& s = m_slots[size_t(m_readIdx)];
    if (m_calculated || !s.ready.load(std::memory_order_acquire))
        return;
    for (int c = 0; c < m_channels; ++c) {
        cAudioMeterData& d = s.data[size_t(c)];
        const double rms =
            std::sqrt(double(d.level) / double(std::max<quint32>(1, m_periodFrames)));
        const double a = rms > 0.0 ? -20.0 * std::log10(rms) : 1000.0;
        d.prev = m_prev[size_t(c)];
        d.level = float(d.prev * 0.9 + (a > 40.0 ? 4.1 : a * 0.1));
    }
    m_calculated = true;
}

void cAudioMeterInfo::ReleaseRdData()
{
    if (!m_taken)
        return;
    Slot& s = m_slots[size_t(m_readIdx)];
    for (int c = 0; c < m_channels; ++c)
        m_prev[size_t(c)] = s.data[size_t(c)].level;
    m_taken = m_calculated = false;
    s.ready.store(false, std::memory_order_release);
    m_readIdx = (m_readIdx + 1) % m_size;
}
