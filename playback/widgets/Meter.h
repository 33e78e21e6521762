#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

// A vertical bar graph for one channel. Levels are attenuations in dB below
// full scale: 0 is full scale, 40 the bottom of the scale, 41 silence. The
// top 14 pixels hold the clip lamp; the usable height is height − 14.
class Meter : public QWidget
{
    Q_OBJECT

public:
    // ticks: the scale, top to bottom (attenuations); kind: every tick's
    // side, bit 0 left, bit 1 right.
    Meter(QWidget* parent, const QList<int>& ticks, int kind);

    void setTickLocations(const QList<int>& kinds);
    void setTickTypes(const QList<bool>& longTicks);

    // Percentages of the usable height: inner bar level, main bar peak.
    void updateValue(int level, int peak);
    // Attenuations: inner bar level, main bar peak (the playback mixer).
    void updateValue(float level, float peak);
    // Attenuations: main bar level, marker peak (the recorder meter view).
    void updateValue(uchar level, uchar peak);
    // Shows nothing.
    void clearValue();

    // Height in pixels above the bottom of the usable area for an attenuation:
    // whole segments of usable ÷ ticks pixels, plus the fraction between two
    // ticks added as pixels.
    int dBFStoNative(float dB) const;
    // The first tick not below the integer part of dB, or the last tick.
    int findSegmentLocationdBFS(float dB) const;

    int usableHeight() const { return height() - 14; }
    int mainHeight() const { return m_main; }
    int innerHeight() const { return m_inner; }
    int markerHeight() const { return m_marker; }
    // The zone the top of the main bar or marker lies in: 0 green, 1 yellow,
    // 2 red; and whether the clip lamp is lit.
    int topZone() const;
    bool clipLit() const;

    QSize sizeHint() const override { return {18, 150}; }
    QSize minimumSizeHint() const override { return {18, 30}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int redLimit() const;
    int yellowLimit() const;
    int clipLimit() const;

    QColor m_top{Qt::red};
    QColor m_low{Qt::green};
    QColor m_middle{Qt::yellow};
    QColor m_clip{Qt::red};
    int m_main = 0;
    int m_marker = 0;
    int m_inner = 0;
    QList<int> m_ticks;
    QList<int> m_kinds;
    QList<bool> m_long;
};

// The column of dB labels beside a group of meters.
class MeterScale : public QWidget
{
    Q_OBJECT

public:
    MeterScale(QWidget* parent, const QList<int>& ticks, int alignment);
    void setLabelLocations(const QList<bool>& labels);
    QSize minimumSizeHint() const override { return {15, 30}; }
    QSize sizeHint() const override { return {20, 150}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QList<int> m_ticks;
    QList<bool> m_labels;
    int m_alignment;
};
