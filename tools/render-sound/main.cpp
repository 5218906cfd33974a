// Synthesises the chime the render view plays when a render completes, or checks a file against it:
//   render-sound FILE           writes FinishedRenderSound.wav to FILE
//   render-sound --check FILE   exit status 1 when FILE is missing or its bytes differ from the chime
//
// The chime is two soft bell-like notes a rising fourth apart (G5, then C6), 16-bit mono PCM at
// 44.1 kHz, 0.8 s long. Each note rises over a few milliseconds and then dies away exponentially;
// its upper partials die faster than its fundamental, which is what makes it sound rounded rather
// than bright. The whole is scaled so that its loudest sample sits at -6 dBFS.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kSampleRate = 44100;
constexpr double kDurationSeconds = 0.8;
constexpr double kPeakLevel = 0.5;  // -6 dBFS
constexpr double kAttackSeconds = 0.008;
constexpr double kReleaseSeconds = 0.08;  // the last stretch fades to silence so the file ends on zero

// One partial of a note: a multiple of the note's frequency, its level relative to the
// fundamental, and how much faster than the fundamental it decays.
struct Partial {
    double ratio;
    double level;
    double decayFactor;
};

// A fundamental, a soft octave and a faint, slightly stretched twelfth give a warm, glassy tone.
constexpr Partial kPartials[] = {
    {1.0, 1.0, 1.0},
    {2.0, 0.22, 1.8},
    {3.01, 0.06, 2.6},
};

struct Note {
    double frequency;
    double startSeconds;
    double level;
    double decaySeconds;  // time constant of the fundamental's exponential decay
};

constexpr Note kNotes[] = {
    {783.99, 0.0, 0.85, 0.20},    // G5
    {1046.50, 0.14, 1.0, 0.26},   // C6
};

double noteSample(const Note& note, double t) {
    if (t < 0.0) return 0.0;
    // A raised-cosine attack avoids the click a sudden onset makes.
    const double attack = t < kAttackSeconds ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttackSeconds) : 1.0;
    double value = 0.0;
    for (const Partial& partial : kPartials) {
        const double envelope = std::exp(-t * partial.decayFactor / note.decaySeconds);
        value += partial.level * envelope * std::sin(2.0 * std::numbers::pi * note.frequency * partial.ratio * t);
    }
    return note.level * attack * value;
}

std::vector<int16_t> synthesiseChime() {
    const int frameCount = static_cast<int>(kSampleRate * kDurationSeconds);
    std::vector<double> signal(frameCount);
    for (int i = 0; i < frameCount; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double value = 0.0;
        for (const Note& note : kNotes) value += noteSample(note, t - note.startSeconds);
        const double remaining = kDurationSeconds - t;
        if (remaining < kReleaseSeconds) value *= remaining / kReleaseSeconds;
        signal[i] = value;
    }
    double peak = 0.0;
    for (double value : signal) peak = std::max(peak, std::abs(value));
    const double gain = kPeakLevel * 32767.0 / peak;
    std::vector<int16_t> samples(frameCount);
    for (int i = 0; i < frameCount; ++i) samples[i] = static_cast<int16_t>(std::lround(signal[i] * gain));
    return samples;
}

void appendLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendTag(std::vector<uint8_t>& bytes, const char (&tag)[5]) {
    bytes.insert(bytes.end(), tag, tag + 4);
}

// A canonical 44-byte RIFF/WAVE header followed by the samples, all little-endian.
std::vector<uint8_t> encodeWav(const std::vector<int16_t>& samples) {
    constexpr uint32_t kChannels = 1;
    constexpr uint32_t kBitsPerSample = 16;
    constexpr uint32_t kBlockAlign = kChannels * kBitsPerSample / 8;
    const uint32_t dataSize = static_cast<uint32_t>(samples.size()) * kBlockAlign;
    std::vector<uint8_t> bytes;
    bytes.reserve(44 + dataSize);
    appendTag(bytes, "RIFF");
    appendLittleEndian(bytes, 36 + dataSize, 4);
    appendTag(bytes, "WAVE");
    appendTag(bytes, "fmt ");
    appendLittleEndian(bytes, 16, 4);  // size of the format chunk
    appendLittleEndian(bytes, 1, 2);   // PCM
    appendLittleEndian(bytes, kChannels, 2);
    appendLittleEndian(bytes, kSampleRate, 4);
    appendLittleEndian(bytes, kSampleRate * kBlockAlign, 4);
    appendLittleEndian(bytes, kBlockAlign, 2);
    appendLittleEndian(bytes, kBitsPerSample, 2);
    appendTag(bytes, "data");
    appendLittleEndian(bytes, dataSize, 4);
    for (int16_t sample : samples) appendLittleEndian(bytes, static_cast<uint16_t>(sample), 2);
    return bytes;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "render-sound: " << path << ": cannot write the file\n";
        return false;
    }
    std::cout << path << "\n";
    return true;
}

bool matchesFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "render-sound: " << path << ": cannot read the file\n";
        return false;
    }
    const std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (stored != bytes) {
        std::cerr << "render-sound: " << path << ": differs from the synthesised chime; run render-sound on it\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::cerr << "usage: render-sound [--check] FILE\n";
        return 2;
    }
    const std::string path = argv[argc - 1];
    const std::vector<uint8_t> wav = encodeWav(synthesiseChime());
    const bool ok = check ? matchesFile(path, wav) : writeFile(path, wav);
    return ok ? 0 : 1;
}
