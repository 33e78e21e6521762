#include "LinkFrame.h"

namespace LinkFrame
{

void checkBytes(const uchar* packet, uchar* check0, uchar* check1)
{
    const int last = packet[2];
    Fletcher f;
    for (int i = 0; i <= last; ++i)
        f.add(i == 1 ? addressWeight(packet[i]) : packet[i]);
    const uchar c0 = uchar(255 - ((f.a + f.b) % 255));
    const uchar c1 = uchar(255 - ((f.a + c0) % 255));
    *check0 = c0;
    *check1 = c1;
}

void addCheckBytes(uchar* packet)
{
    const int last = packet[2];
    checkBytes(packet, &packet[last + 1], &packet[last + 2]);
}

bool verify(const uchar* packet)
{
    const int end = packet[2] + 2;
    Fletcher f;
    for (int i = 0; i <= end; ++i)
        f.add(packet[i]);
    return f.a == 0 && f.b == 0;
}

} // namespace LinkFrame
