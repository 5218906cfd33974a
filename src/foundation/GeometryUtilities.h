#pragma once

#include "foundation/Geometry.h"

namespace korvane {

// Geometry operations shared by the editor views, the layers and the render views. Several of them
// round intermediate values to single precision on purpose: views and layers were laid out with those
// values, and doing the arithmetic in doubles would move things by a fraction of a pixel.
// All functions are pure: they return values (nothing to own) and may be called from any thread.
class GeometryUtilities {
public:
    GeometryUtilities() = delete;

    // r moved so that it is centred in outer on each axis where outer is larger; on an axis where r is
    // as large or larger it keeps its origin relative to outer's origin. Returns a value; any thread.
    static Rect centerRect(const Rect& r, const Rect& outer);

    // size scaled up or down, aspect kept, so that it just fits box. Returns a value; any thread.
    static Size proportionallyScaleSize(const Size& size, const Size& box);

    // size shrunk (never enlarged) to fit bounds with its aspect kept, centred in bounds. Returns a
    // value; any thread.
    static Rect fittedRectInBounds(const Rect& bounds, const Size& size);

    // size scaled up or down to just fit bounds with its aspect kept, centred in bounds. Returns a
    // value; any thread.
    static Rect scaledRectInBounds(const Rect& bounds, const Size& size);

    // p rotated about center by degrees, counter-clockwise in a y-up frame. Returns a value; any thread.
    static Point rotatePoint(const Point& p, const Point& center, double degrees);

    // Direction of the vector v in radians, in (-pi, pi]; (0, 0) gives pi. Returns a value; any thread.
    static double angleOfRay(const Point& v);

    // Euclidean length of the vector v (0 for the zero vector). Returns a value; any thread.
    static double length(const Point& v);

    // v scaled to unit length; the zero vector stays zero. Returns a value; any thread.
    static Point normalize(const Point& v);

    // Each of r's four values rounded to the nearest integer in single precision (halves away from
    // zero). Returns a value; any thread.
    static Rect roundRect(const Rect& r);
};

}  // namespace korvane
