#pragma once

#include <QIcon>
#include <QImage>

// The transport window's images, drawn in code: the display backgrounds
// (the timecode one also in red, for a recording recorder) and the button icons.
namespace TransportArt
{
QImage displayBackground(bool red = false);
QImage fileNameBackground();
enum class Glyph { Play, Pause, Stop, Rewind, FastForward };
QIcon icon(Glyph glyph);
} // namespace TransportArt
