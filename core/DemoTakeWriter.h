#pragma once

#include <QString>
#include <QStringList>

// Writes realistic sample takes through the project's own writer: 48 kHz /
// 24-bit, alternating polyphonic files (T0001.WAV) and mono groups
// (T0002_1.WAV ... one channel index each), a distinct tone per track, full
// bext and iXML metadata at several frame rates, drop-frame included.
class DemoTakeWriter
{
public:
    // Mixed: odd takes polyphonic, even takes mono groups.
    enum class Layout { Mixed, Mono, Poly };
    struct Options {
        int takes = 4;
        double seconds = 2.0;
        int channels = 4; // tracks per take, poly or mono group
        int firstTake = 1;
        int sampleRate = 48000;
        int bitsPerSample = 24;
        Layout layout = Layout::Mixed;
    };

    // Writes into folder (which must exist). Returns false with a reason on
    // the first failure; files written before it stay.
    bool write(const QString& folder, const Options& options, QStringList* written = nullptr);
    const QString& errorText() const { return m_error; }

    static const QStringList& frameRates(); // user forms the takes cycle through

private:
    bool writeFile(const QString& path, const Options& o, int take, int trackFirst, int channels,
                   int fileIndex, int fileCount, const QString& familyUid);
    QString m_error;
};
