#pragma once
#include <algorithm>

namespace tt {

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TSize&) const = default;
};

// Half-open like the platform's: the right column and the bottom row are outside.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    bool operator==(const TRect&) const = default;
};

inline TRect Bounds(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

// An empty result keeps no meaningful position; test it with IsEmpty().
// (std::max) rather than std::max: windows.h may have defined max as a macro.
inline TRect Intersect(const TRect& a, const TRect& b) {
    return {(std::max)(a.Left, b.Left), (std::max)(a.Top, b.Top), (std::min)(a.Right, b.Right),
            (std::min)(a.Bottom, b.Bottom)};
}

}  // namespace tt
