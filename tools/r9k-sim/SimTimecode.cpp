#include "SimTimecode.h"

namespace SimTimecode
{

namespace
{
struct Rate {
    int nominal;
    int64_t num;
    int64_t den;
    bool drop;
};
constexpr Rate kRates[] = {
    {24, 24000, 1001, false}, {24, 24, 1, false}, {25, 25, 1, false}, {30, 30000, 1001, false},
    {30, 30000, 1001, true},  {30, 30, 1, false}, {30, 30, 1, true},
};
constexpr int64_t kDayMicros = 86400LL * 1000000LL;
} // namespace

uint32_t pack(unsigned hours, unsigned minutes, unsigned seconds, unsigned frames)
{
    return (uint32_t(hours & 0xFF) << 24) | (uint32_t(minutes & 0xFF) << 16) |
           (uint32_t(seconds & 0xFF) << 8) | uint32_t(frames & 0xFF);
}

uint32_t timeOfDay(int64_t micros, int frameRateCode)
{
    const Rate rate = frameRateCode >= 0 && frameRateCode < int(sizeof(kRates) / sizeof(kRates[0]))
                          ? kRates[frameRateCode]
                          : kRates[2];
    micros %= kDayMicros;
    if (micros < 0)
        micros += kDayMicros;
    int64_t frames = micros * rate.num / (rate.den * 1000000LL);
    const int64_t nominal = rate.nominal;
    if (rate.drop) {
        // Two labels dropped per minute except every tenth minute.
        const int64_t perTen = 10 * 60 * nominal - 9 * 2;
        const int64_t perMinute = 60 * nominal - 2;
        const int64_t tens = frames / perTen;
        const int64_t rest = frames % perTen;
        frames += 18 * tens + (rest < 2 ? 0 : 2 * ((rest - 2) / perMinute));
    }
    const int64_t perDay = 24 * 3600 * nominal;
    frames %= perDay;
    const unsigned ff = unsigned(frames % nominal);
    const int64_t seconds = frames / nominal;
    return pack(unsigned(seconds / 3600), unsigned(seconds / 60 % 60), unsigned(seconds % 60), ff);
}

uint32_t elapsed(int64_t micros)
{
    if (micros < 0)
        micros = 0;
    const int64_t hundredths = micros / 10000;
    const int64_t seconds = hundredths / 100;
    return pack(unsigned(seconds / 3600 % 256), unsigned(seconds / 60 % 60), unsigned(seconds % 60),
                unsigned(hundredths % 100));
}

} // namespace SimTimecode
