#pragma once

#include <QString>

// The "Channels" cell of a take-list row: "4(MONO)" for a mono take of four
// files, "8(POLY)" for one polyphonic file of eight channels. Parsed here
// only, so that every reader of a label agrees on what it says; written by
// TakeColumns::labelText only.
struct TakeLabel {
    enum class Kind { Mono, Poly };

    int count = 0; // files of a mono take, channels of a poly file; > 0 when valid
    Kind kind = Kind::Poly;

    // The label of text; invalid (count 0) unless text is "N(MONO)" or
    // "N(POLY)" with N a positive decimal number.
    static TakeLabel parse(const QString& text);

    bool isValid() const { return count > 0; }
    // The number of files on disk the take is made of: count for a mono take,
    // 1 for a poly file, 0 when invalid.
    int fileCount() const { return !isValid() ? 0 : kind == Kind::Mono ? count : 1; }
    // The number of tracks the take carries (one per mono file, one per
    // channel of a poly file), 0 when invalid.
    int trackCount() const { return count; }
    // The cell again, as TakeColumns::labelText writes it.
    QString text() const;
};
