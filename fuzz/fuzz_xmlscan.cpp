// Differential fuzzer: the fast scanner and QXmlStreamReader must make the
// same callbacks, with the same result and error text, for any input.
#include "../tests/core/XmlTrace.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString doc = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList fast = XmlTrace::run(doc, cDefaultHandler::ReaderChoice::Any);
    const QStringList full = XmlTrace::run(doc, cDefaultHandler::ReaderChoice::FullReader);
    if (fast != full) {
        fprintf(stderr, "fast:\n%s\nfull:\n%s\n", qPrintable(fast.join('\n')),
                qPrintable(full.join('\n')));
        abort();
    }
    return 0;
}
