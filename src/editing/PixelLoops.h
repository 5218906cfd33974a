#pragma once

#include <algorithm>

#include "editing/MapSamples.h"
#include "foundation/Bitmap.h"
#include "foundation/ParallelFor.h"

namespace korvane {

// The per-pixel loop shared by the whole-map filters. Work is split by columns across the shared
// thread pool: each task owns a band of adjacent columns and walks the rows inside it, writing only its
// own columns of the destination and reading only the source, so no locking is needed and each task
// reads and writes whole cache lines.

// Columns per task.
constexpr int kColumnBandWidth = 64;

// Calls body(firstColumn, endColumn) for bands of columns of a map `width` pixels wide, in parallel.
template <class Body>
void parallelForColumnBands(int width, Body&& body) {
    const int bands = (width + kColumnBandWidth - 1) / kColumnBandWidth;
    parallelForColumns(bands, [&](int band) {
        const int first = band * kColumnBandWidth;
        body(first, std::min(width, first + kColumnBandWidth));
    });
}

// destination = f(source fraction, column, row) for every pixel, clamped to [0, 1] and truncated to the
// sample. Source and destination must have the same size and grey format; returns false (changing
// nothing) otherwise.
template <class F>
bool mapFractionsByColumns(const Bitmap& source, Bitmap& destination, F f) {
    if (!isEditableGreyMap(source) || source.format() != destination.format() ||
        source.width() != destination.width() || source.height() != destination.height()) {
        return false;
    }
    return dispatchGreyMap(source, [&]<class Sample>() {
        constexpr float scale = SampleTraits<Sample>::kFullScale;
        const int height = source.height();
        parallelForColumnBands(source.width(), [&](int first, int end) {
            for (int y = 0; y < height; ++y) {
                const auto* in = reinterpret_cast<const Sample*>(source.row(y));
                auto* out = reinterpret_cast<Sample*>(destination.row(y));
                for (int x = first; x < end; ++x) {
                    out[x] = truncatedSample<Sample>(f(static_cast<float>(in[x]) / scale, x, y));
                }
            }
        });
    });
}

}  // namespace korvane
