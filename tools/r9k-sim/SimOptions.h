#pragma once

#include <cstdint>
#include <string>

// Command-line options of r9k-sim. Counters ("every N") are 0 when off.
struct SimOptions {
    // Identity.
    int firmwareMajor = 3;
    int firmwareMinor = 0;
    int deviceKind = 5;
    int address = 0;
    // User parameters (codes as the recorder reports them).
    int sampleRate = 4; // 48k
    int bitDepth = 0;   // 24
    int frameRate = 2;  // 25 ND
    int ballistics = 2; // Peak + VU
    int peakHold = 20;  // tenths of a second
    // Take list.
    int initialTakes = 4;
    std::string scene = "12A";
    int slowWriteMs = 0; // extra delay of take-parameter writes
    int panelEditMs = 0; // a simulated front-panel edit every N ms
    // Faults.
    int delayMs = 0;
    int dropEvery = 0;
    int corruptEvery = 0;
    int halfEvery = 0;
    int busyEvery = 0;
    int errorEvery = 0;
    bool garbage = false;
    bool flood = false;
    // Process.
    std::string linkPath;
    uint32_t seed = 1;
    bool verbose = false;
};

// Parses argv; returns false and fills error on a bad option. help is set
// for --help.
bool parseSimOptions(int argc, char** argv, SimOptions* out, bool* help, std::string* error);
const char* simUsage();
