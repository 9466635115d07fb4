#pragma once

#include <QRect>

namespace core {

// The windows are laid out in twips, 15 to a pixel.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr int pixels(int twips) {
    return twips / kTwipsPerPixel;
}

inline QRect twips(int left, int top, int width, int height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

} // namespace core
