#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cmath>

// Window measures are kept in twips (1/1440 inch), as the forms were designed. One fixed scale,
// 96 dots per inch (15 twips to a pixel), keeps every geometry the same on every screen and in
// tests.
namespace Twips {

constexpr double PerPixel = 15.0;

inline int toPixels(double twips) { return static_cast<int>(std::lround(twips / PerPixel)); }
inline double fromPixels(int pixels) { return pixels * PerPixel; }

inline QPoint point(double left, double top) { return {toPixels(left), toPixels(top)}; }
inline QSize size(double width, double height) { return {toPixels(width), toPixels(height)}; }
// Each edge is converted on its own, so neighbouring controls that touch in twips touch in pixels.
inline QRect rect(double left, double top, double width, double height)
{
    const int x = toPixels(left);
    const int y = toPixels(top);
    return {x, y, toPixels(left + width) - x, toPixels(top + height) - y};
}

} // namespace Twips
