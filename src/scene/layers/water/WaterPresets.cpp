// The water presets: the appearance values each preset key sets, in menu order.
#include <algorithm>

#include "scene/layers/water/WaterLayer.h"

namespace korvane {

namespace {

struct WaterPresetRow {
    const char* name;
    const char* presetKey;
    float absorbtion, wavesTwirl, wavesHeight, wavesSize, IOR;
    float water[3];
    float mirror[3];
};

// clang-format off
constexpr WaterPresetRow kPresetRows[] = {
    {"Ocean",                    "ocean",                0.4f,  0.5f,  0.2f,   150, 1.4f,  {0.5f, 0.6f, 0.8f},    {1, 1, 1}},
    {"Ocean (Small Waves)",      "oceansmallwaves",      0.4f,  0.5f,  0.15f,  300, 1.4f,  {0.5f, 0.6f, 0.8f},    {1, 1, 1}},
    {"Ocean (Very Small Waves)", "oceanverysmallwaves",  0.2f,  0.02f, 0.02f,  500, 1.4f,  {0.65f, 0.7f, 0.8f},   {1, 1, 1}},
    {"Ocean (Large Waves)",      "oceanlargewaves",      0.4f,  0.5f,  0.7f,   75,  1.4f,  {0.5f, 0.6f, 0.8f},    {1, 1, 1}},
    {"Twirly Ocean",             "twirlyocean",          0.5f,  2.0f,  0.25f,  150, 1.4f,  {0.5f, 0.7f, 0.9f},    {1, 1, 1}},
    {"Tropean Ocean",            "tropeanocean",         0.4f,  0.2f,  0.1f,   200, 1.15f, {0.5f, 0.85f, 0.9f},   {0.9f, 1, 0.95f}},
    {"Calm Tropean Ocean",       "calmtropeanocean",     0.4f,  0.1f,  0.015f, 300, 1.15f, {0.4f, 0.85f, 0.9f},   {0.9f, 1, 0.95f}},
    {"Calm Ocean",               "calmocean",            0.4f,  0.1f,  0.05f,  40,  1.4f,  {0.5f, 0.6f, 0.9f},    {0.9f, 0.95f, 0.95f}},
    {"Calm Reflective Ocean",    "calmreflectiveocean",  0.01f, 0.1f,  0.1f,   50,  1.4f,  {0.8f, 0.8f, 0.82f},   {0.9f, 0.95f, 0.95f}},
    {"Muddy River",              "muddyriver",           0.3f,  0.8f,  0.1f,   300, 1.4f,  {0.9f, 0.8f, 0.5f},    {1, 0.9f, 0.9f}},
    {"Golden Ocean",             "goldenocean",          0.3f,  0.1f,  0.1f,   200, 1.4f,  {0.9f, 0.9f, 0.7f},    {1, 1, 0.8f}},
    {"Calm Golden Ocean",        "calmgoldenocean",      0.2f,  0.1f,  0.05f,  40,  1.4f,  {0.9f, 0.85f, 0.7f},   {1, 0.95f, 0.7f}},
    {"Deep Blue Ocean",          "deepblueocean",        0.3f,  0.5f,  0.1f,   150, 1.4f,  {0.2f, 0.4f, 0.8f},    {0.9f, 0.9f, 1}},
    {"Deep Calm Blue Ocean",     "deepcalmblueocean",    0.3f,  0.15f, 0.02f,  100, 1.4f,  {0.2f, 0.4f, 0.8f},    {0.9f, 0.9f, 1}},
    {"Colorless Ocean",          "colorlessocean",       0.5f,  0.5f,  0.1f,   200, 1.4f,  {0.7f, 0.75f, 0.8f},   {1, 1, 1}},
    {"Calm Colorless Ocean",     "calmcolorlessocean",   0.5f,  0.5f,  0.01f,  200, 1.4f,  {0.7f, 0.75f, 0.8f},   {1, 1, 1}},
    {"Colorless Stormy Ocean",   "colorlessstormyocean", 0.5f,  0.75f, 1.0f,   100, 1.8f,  {0.9f, 0.95f, 1},      {1, 1, 1}},
    {"Reflective Ocean",         "reflectiveocean",      0.03f, 0,     0,      0,   2.0f,  {0.89f, 0.895f, 0.9f}, {1, 1, 1}},
};
// clang-format on

Color presetColor(const float (&rgb)[3]) {
    return Color::calibratedRGB(rgb[0], rgb[1], rgb[2], 1.0);
}

}  // namespace

const std::vector<WaterPresetDictionary>& WaterLayer::presetDictionaries() {
    static const std::vector<WaterPresetDictionary> presets = [] {
        std::vector<WaterPresetDictionary> list;
        for (const WaterPresetRow& row : kPresetRows) list.push_back({row.name, row.presetKey});
        return list;
    }();
    return presets;
}

bool WaterLayer::configureWithPresetDictionary(const WaterPresetDictionary& preset) {
    const auto* row = std::find_if(std::begin(kPresetRows), std::end(kPresetRows),
                                   [&](const WaterPresetRow& r) { return preset.presetKey == r.presetKey; });
    if (row == std::end(kPresetRows)) return false;
    setAbsorbtion(row->absorbtion);
    setWavesTwirl(row->wavesTwirl);
    setWavesHeight(row->wavesHeight);
    setWavesSize(row->wavesSize);
    setIOR(row->IOR);
    setWaterColor(presetColor(row->water));
    setMirrorColor(presetColor(row->mirror));
    return true;
}

}  // namespace korvane
