#pragma once

namespace korvane {

// Gradient noise after Ken Perlin's reference construction, on 1024-entry tables built from the
// process-wide random generator seeded with `seed`, and its octave sum. The tables are built on the
// first noise evaluation (which reseeds the process-wide generator, so build them on the main thread);
// afterwards evaluation only reads them and may run on any number of threads.
class Perlin {
public:
    // Stores the settings; builds no table.
    Perlin(int octaves, float frequency, float amplitude, int seed);

    // Noise at a point, in about [−1, 1] (1-D, 2-D, 3-D). Each builds the tables first if needed.
    float noise1(float x);
    float noise2(const float vec[2]);
    float noise3(const float vec[3]);

    // The octave sum at a 2-D point: the point is scaled by the frequency, then octaves noise2 values
    // are added, each at twice the frequency and half the amplitude of the one before. vec is left at
    // the last octave's coordinates.
    float perlin_noise_2D(float vec[2]);

    // Builds the tables (what the first noise call does).
    void init();
    static void normalize2(float v[2]);
    static void normalize3(float v[3]);

    // Octave counts beyond this add nothing visible (the amplitude has halved away); larger requests are
    // limited to it so that hostile settings cannot stall a filter.
    static constexpr int kMaxOctaves = 32;

    int octaves() const { return octaves_; }
    float frequency() const { return frequency_; }
    float amplitude() const { return amplitude_; }
    int seed() const { return seed_; }

private:
    static constexpr int B = 1024;
    static constexpr int BM = 1023;
    static constexpr int kTableSize = B + B + 2;

    void ensureTables() {
        if (start_) init();
    }

    int octaves_;
    float frequency_;
    float amplitude_;
    int seed_;
    int p_[kTableSize];
    float g3_[kTableSize][3];
    float g2_[kTableSize][2];
    float g1_[kTableSize];
    bool start_ = true;
};

}  // namespace korvane
