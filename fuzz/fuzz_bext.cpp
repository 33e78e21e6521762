// Arbitrary bytes as a 602-byte bext header: parse the description, read every
// field, edit entries and write the description back.
#include "cAudioBext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using SoundDefs::BEXTAudioHdr;
using SoundDefs::cAudioBext;

namespace
{

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void readEverything(const cAudioBext& bext)
{
    QString out;
    for (int f = 0; f <= 9; ++f)
        bext.GetBextField(cAudioBext::BEXT_HDR_FIELD(f), out);
    static const char* const keys[] = {"PROJECT", "SCENE",     "TAKE",     "TAPE",  "NOTE", "UBITS",
                                       "SPEED",   "FRAMERATE", "FILENAME", "SWVER", "TRK",  ""};
    for (const char* key : keys) {
        QString value;
        bext.GetDescriptionValue(key, value, false);
        bext.GetDescriptionValue(key, value, true);
        QStringList k, v;
        bext.GetDescriptionValues(key, k, v);
        check(k.size() == v.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BEXTAudioHdr hdr;
    std::memset(&hdr, 0, sizeof(hdr));
    const size_t n = size < sizeof(hdr) ? size : sizeof(hdr);
    if (n)
        std::memcpy(&hdr, data, n);
    // Bytes beyond the header steer the edits.
    const QString extra =
        QString::fromLatin1(reinterpret_cast<const char*>(data) + n, int(size - n));

    cAudioBext bext;
    bext.Parse(&hdr);
    check(bext.keys.size() == bext.values.size());
    check(bext.prefix.size() == 1);
    readEverything(bext);

    // Writing and parsing again is stable after one pass.
    bext.Compile();
    // A full field ends with the last line's "\r\n", else with NUL bytes.
    check(hdr.Description[255] == '\0' || hdr.Description[255] == '\n');
    const QByteArray first(hdr.Description, 256);
    bext.Parse(&hdr);
    bext.Compile();
    check(QByteArray(hdr.Description, 256) == first);

    // Edits, with keys and values taken from the input.
    const QString key = extra.left(8).isEmpty() ? QStringLiteral("NOTE") : extra.left(8);
    bext.SetValue(key, extra.mid(8));
    bext.SetValue(QStringLiteral("TAKE"), extra);
    bext.SetValue(QStringLiteral("TRK1"), QStringLiteral("Boom"));
    bext.DeleteEntry("TRK", true);
    bext.DeleteEntry(key.toLatin1().constData(), false);
    bext.SetBextField(cAudioBext::Originator, extra);
    bext.SetBextField(cAudioBext::OriginationDate, extra.left(12));
    bext.SetBextField(cAudioBext::Version, extra.left(2));
    bext.SetBextField(cAudioBext::Reserved, extra);
    bext.SetBextField(cAudioBext::TimeReferenceLow, unsigned(size));
    bext.SetBextField(cAudioBext::TimeReferenceHigh, ~unsigned(size));
    bext.Compile();
    check(hdr.Description[255] == '\0' || hdr.Description[255] == '\n');
    readEverything(bext);

    bext.Parse(&hdr);
    readEverything(bext);
    return 0;
}
