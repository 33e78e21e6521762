#include "SimOptions.h"

#include <cstdlib>
#include <cstring>

namespace
{

bool toInt(const char* text, int min, int max, int* out)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < min || v > max)
        return false;
    *out = int(v);
    return true;
}

bool toVersion(const char* text, int* major, int* minor)
{
    if (!text)
        return false;
    const char* dot = std::strchr(text, '.');
    if (!dot)
        return false;
    const std::string left(text, size_t(dot - text));
    return toInt(left.c_str(), 0, 255, major) && toInt(dot + 1, 0, 255, minor);
}

} // namespace

const char* simUsage()
{
    return "usage: r9k-sim [OPTIONS]\n"
           "Simulates an R9K recorder on a pseudo-terminal and prints the terminal's path.\n"
           "\n"
           "  --link PATH          also make PATH a symbolic link to the terminal\n"
           "  --firmware X.Y       firmware version (default 3.0)\n"
           "  --kind N             device kind answered to version selector 2 (default 5)\n"
           "  --address N          link address answered (default 0)\n"
           "  --sample-rate CODE   sample-rate code (default 4 = 48k)\n"
           "  --bit-depth CODE     bit-depth code (default 0 = 24)\n"
           "  --frame-rate CODE    frame-rate code (default 2 = 25 ND)\n"
           "  --ballistics CODE    meter ballistics (default 2 = Peak + VU)\n"
           "  --peak-hold N        peak hold in tenths of a second (default 20)\n"
           "  --takes N            takes already on the recorder (default 4)\n"
           "  --scene NAME         scene of the takes (default 12A)\n"
           "  --slow-write-ms N    answer take-parameter writes N ms late\n"
           "  --panel-edit-ms N    edit the current take's notes every N ms\n"
           "  --delay-ms N         answer every request N ms late\n"
           "  --drop-every N       leave every Nth request unanswered\n"
           "  --corrupt-every N    damage one byte of every Nth reply\n"
           "  --half-every N       send only the first half of every Nth reply\n"
           "  --busy-every N       answer every Nth take-list request with status 3 (busy)\n"
           "  --error-every N      answer every Nth take-list request with status 5 and a text\n"
           "  --garbage            send random bytes after every reply\n"
           "  --flood              send random bytes continuously\n"
           "  --seed N             random seed (default 1)\n"
           "  --verbose            log requests and replies to standard error\n";
}

bool parseSimOptions(int argc, char** argv, SimOptions* o, bool* help, std::string* error)
{
    *help = false;
    struct IntOption {
        const char* name;
        int* target;
        int min;
        int max;
    };
    const IntOption ints[] = {
        {"--kind", &o->deviceKind, 0, 255},
        {"--address", &o->address, 0, 255},
        {"--sample-rate", &o->sampleRate, 0, 65535},
        {"--bit-depth", &o->bitDepth, 0, 65535},
        {"--frame-rate", &o->frameRate, 0, 65535},
        {"--ballistics", &o->ballistics, 0, 65535},
        {"--peak-hold", &o->peakHold, 0, 65535},
        {"--takes", &o->initialTakes, 0, 400},
        {"--slow-write-ms", &o->slowWriteMs, 0, 600000},
        {"--panel-edit-ms", &o->panelEditMs, 0, 3600000},
        {"--delay-ms", &o->delayMs, 0, 600000},
        {"--drop-every", &o->dropEvery, 0, 1000000},
        {"--corrupt-every", &o->corruptEvery, 0, 1000000},
        {"--half-every", &o->halfEvery, 0, 1000000},
        {"--busy-every", &o->busyEvery, 0, 1000000},
        {"--error-every", &o->errorEvery, 0, 1000000},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return true;
        }
        if (arg == "--garbage") {
            o->garbage = true;
            continue;
        }
        if (arg == "--flood") {
            o->flood = true;
            continue;
        }
        if (arg == "--verbose") {
            o->verbose = true;
            continue;
        }
        if (arg == "--link") {
            if (!value || !*value) {
                *error = "--link needs a path";
                return false;
            }
            o->linkPath = value;
            ++i;
            continue;
        }
        if (arg == "--scene") {
            if (!value || !*value || std::strlen(value) > 9) {
                *error = "--scene needs a name of 1 to 9 characters";
                return false;
            }
            o->scene = value;
            ++i;
            continue;
        }
        if (arg == "--firmware") {
            if (!toVersion(value, &o->firmwareMajor, &o->firmwareMinor)) {
                *error = "--firmware needs a version such as 3.0";
                return false;
            }
            ++i;
            continue;
        }
        if (arg == "--seed") {
            int seed = 0;
            if (!toInt(value, 0, 0x7FFFFFFF, &seed)) {
                *error = "--seed needs a number";
                return false;
            }
            o->seed = uint32_t(seed);
            ++i;
            continue;
        }
        bool known = false;
        for (const IntOption& opt : ints) {
            if (arg == opt.name) {
                if (!toInt(value, opt.min, opt.max, opt.target)) {
                    *error = arg + " needs a number from " + std::to_string(opt.min) + " to " +
                             std::to_string(opt.max);
                    return false;
                }
                known = true;
                ++i;
                break;
            }
        }
        if (!known) {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
