#pragma once

#include "PeakEnvelope.h"

#include <QWidget>

#include <memory>

// The waveform overview under the transport's position slider: one lane per
// track (up to 8 lanes; more tracks share the last), drawn from a peak
// envelope, with the play position as a line. A click asks for a seek.
class WaveformView : public QWidget
{
    Q_OBJECT

public:
    explicit WaveformView(QWidget* parent = nullptr);

    void setEnvelope(std::shared_ptr<const PeakEnvelope> envelope);
    const PeakEnvelope* envelope() const { return m_envelope.get(); }
    // Play position in percent of the take (0 … 100).
    void setPosition(double percent);

    QSize sizeHint() const override { return {300, 48}; }

signals:
    // A click at percent of the take (0 … 99, as the position slider has it).
    void seekRequested(int percent);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::shared_ptr<const PeakEnvelope> m_envelope;
    double m_position = 0.0;
};
