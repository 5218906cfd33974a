#pragma once

#include <array>
#include <cmath>

namespace korvane {

// A 4 × 4 affine matrix in doubles, as the mesh objects place their vertices: products are taken
// left to right (T · S · R), and a point is transformed as M · p. Values only; any thread.
struct MeshMatrix {
    std::array<std::array<double, 4>, 4> m{};

    static MeshMatrix identity() {
        MeshMatrix result;
        for (int i = 0; i < 4; ++i) result.m[i][i] = 1.0;
        return result;
    }
    static MeshMatrix translation(double x, double y, double z) {
        MeshMatrix result = identity();
        result.m[0][3] = x;
        result.m[1][3] = y;
        result.m[2][3] = z;
        return result;
    }
    static MeshMatrix uniformScale(double factor) {
        MeshMatrix result = identity();
        for (int i = 0; i < 3; ++i) result.m[i][i] = factor;
        return result;
    }
    // About the y (up) axis: (x, z) becomes (x·cos θ + z·sin θ, −x·sin θ + z·cos θ).
    static MeshMatrix rotationAboutY(double radians) {
        MeshMatrix result = identity();
        const double c = std::cos(radians);
        const double s = std::sin(radians);
        result.m[0][0] = c;
        result.m[0][2] = s;
        result.m[2][0] = -s;
        result.m[2][2] = c;
        return result;
    }

    MeshMatrix operator*(const MeshMatrix& other) const {
        MeshMatrix result;
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                double sum = 0;
                for (int k = 0; k < 4; ++k) sum += m[row][k] * other.m[k][column];
                result.m[row][column] = sum;
            }
        }
        return result;
    }
    std::array<double, 3> transform(double x, double y, double z) const {
        std::array<double, 3> result{};
        for (int row = 0; row < 3; ++row) result[row] = m[row][0] * x + m[row][1] * y + m[row][2] * z + m[row][3];
        return result;
    }
};

}  // namespace korvane
