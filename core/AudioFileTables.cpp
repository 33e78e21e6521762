#include "AudioFile.h"

// The frame-rate table: one row per rate index. Arithmetic rate =
// m_frameCount * m_mFactor / m_rFactor frames per second; row 4 uses 1000/999.
const QStringList AudioFile::m_userPresentation = {"23.97 ND", "24 ND",    "25 ND", "29.97 ND",
                                                   "29.97 DF", "30 ND",    "30 DF"};
const QStringList AudioFile::m_bextPresentation = {"023.976-ND", "024.000-ND", "025.000-ND",
                                                   "029.970-ND", "029.970-DF", "030.000-ND",
                                                   "030.000-DF"};
const QStringList AudioFile::m_iXMLPresentation = {"24000/1001", "24/1",       "25/1", "30000/1001",
                                                   "30000/1001", "30/1",       "30/1"};
const QStringList AudioFile::m_dropFrameFlag = {"NDF", "NDF", "NDF", "NDF", "DF", "NDF", "DF"};
const int AudioFile::m_frameCount[7] = {24, 24, 25, 30, 30, 30, 30};
const int AudioFile::m_rFactor[7] = {1001, 1, 1, 1001, 1000, 1, 1};
const int AudioFile::m_mFactor[7] = {1000, 1, 1, 1000, 999, 1, 1};
const QList<int> AudioFile::m_sampleRates = {32000, 44056, 44100, 44144, 47952, 48000,
                                             48048, 88200, 96000, 176400, 192000};
