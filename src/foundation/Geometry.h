#pragma once

// Plain value types for plan and view geometry: points, sizes and rectangles in doubles.
// Rectangles are an origin (the minimum corner) and a size; nothing here normalises negative sizes.

namespace korvane {

// A position (or a vector) in a plane.
struct Point {
    double x = 0;
    double y = 0;

    // Exact component-wise comparison; any thread.
    bool operator==(const Point&) const = default;
};

// A width and a height.
struct Size {
    double width = 0;
    double height = 0;

    // Exact component-wise comparison; any thread.
    bool operator==(const Size&) const = default;
};

// An axis-aligned rectangle given by its minimum corner and its size.
struct Rect {
    Point origin;
    Size size;

    // Smallest x of the rectangle (the origin's x); any thread.
    double minX() const { return origin.x; }
    // Smallest y of the rectangle (the origin's y); any thread.
    double minY() const { return origin.y; }
    // Largest x of the rectangle (origin x plus width); any thread.
    double maxX() const { return origin.x + size.width; }
    // Largest y of the rectangle (origin y plus height); any thread.
    double maxY() const { return origin.y + size.height; }
    // The x half way across the rectangle; any thread.
    double midX() const { return origin.x + size.width / 2; }
    // The y half way across the rectangle; any thread.
    double midY() const { return origin.y + size.height / 2; }

    // Exact component-wise comparison; any thread.
    bool operator==(const Rect&) const = default;
};

}  // namespace korvane
