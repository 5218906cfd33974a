#include "PlantDrawings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "PlantCanvas.h"

namespace korvane::tools {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Grass pictures cover a blade quad 0.03 wide and 0.025 high; wheat a quad about eight times as
// high as wide; a leaf a square.
constexpr int kGrassWidth = 240, kGrassHeight = 200;
constexpr int kWheatWidth = 64, kWheatHeight = 512;
constexpr int kLeafSide = 256;

// How one tuft of grass looks.
struct GrassStyle {
    uint32_t seed;
    int blades;
    float minHeight, maxHeight;  // of the picture's height
    float minRadius, maxRadius;  // blade half width at the base, in pixels
    float lean;                  // largest sideways lean of a tip, of the picture's width
    Rgb baseColor, tipColor;     // the darkest blades' colours at base and tip
    Rgb lightColor;              // the lightest blades' tip colour
};

void drawTuft(PlantCanvas& canvas, const GrassStyle& style, TextureRandom& random) {
    const float w = static_cast<float>(canvas.width()), h = static_cast<float>(canvas.height());
    for (int i = 0; i < style.blades; ++i) {
        const float baseX = random.between(0.1f, 0.9f) * w;
        const float height = random.between(style.minHeight, style.maxHeight) * h;
        // Blades near the edges lean outwards, so that the tuft fans out.
        const float outward = (baseX / w - 0.5f) * 2.0f;
        const float lean = (outward * 0.6f + random.between(-0.4f, 0.4f)) * style.lean * w * (height / h);
        const float shade = random.next();
        PlantCanvas::Stroke blade;
        blade.x0 = baseX;
        blade.y0 = h + 2.0f;
        blade.x1 = baseX + lean * 0.2f;
        blade.y1 = h - height * 0.6f;
        blade.x2 = std::clamp(baseX + lean, 3.0f, w - 3.0f);
        blade.y2 = h - height;
        blade.baseRadius = random.between(style.minRadius, style.maxRadius);
        blade.tipRadius = 0.4f;
        blade.baseColor = mix(style.baseColor, style.tipColor, shade * 0.4f);
        blade.tipColor = mix(style.tipColor, style.lightColor, shade);
        blade.ribLight = 0.08f;
        canvas.stroke(blade);
    }
}

PlantTexture grassTexture(const std::string& stem, const GrassStyle& style) {
    PlantCanvas canvas(kGrassWidth, kGrassHeight);
    TextureRandom random(style.seed);
    drawTuft(canvas, style, random);
    return {stem + ".png", stem + "Alpha.png", canvas.colorImage(),
            canvas.transparencyImage()};
}

// A daisy seen slightly from the side: white petals around a yellow heart, on a thin stem.
void drawDaisy(PlantCanvas& canvas, float x, float y, float radius, TextureRandom& random) {
    const float h = static_cast<float>(canvas.height());
    PlantCanvas::Stroke stem{x + random.between(-6, 6), h + 2, x + random.between(-4, 4), (h + y) / 2, x, y,
                             1.6f, 1.0f, {0.18f, 0.36f, 0.1f}, {0.3f, 0.5f, 0.15f}};
    canvas.stroke(stem);
    constexpr int kPetals = 13;
    constexpr float kTilt = 0.55f;  // the flower's face is seen foreshortened
    for (int k = 0; k < kPetals; ++k) {
        const float angle = 2 * kPi * k / kPetals + random.between(-0.1f, 0.1f);
        const float px = x + std::cos(angle) * radius * 0.55f;
        const float py = y + std::sin(angle) * radius * 0.55f * kTilt;
        const float shownAngle = std::atan2(std::sin(angle) * kTilt, std::cos(angle));
        canvas.ellipse(px, py, radius * 0.5f, radius * 0.16f, shownAngle, {0.97f, 0.97f, 0.93f}, 0.25f);
    }
    canvas.ellipse(x, y, radius * 0.26f, radius * 0.26f * kTilt + 0.8f, 0, {0.95f, 0.75f, 0.1f}, 0.4f);
}

PlantTexture daisyTexture(const GrassStyle& style) {
    PlantCanvas canvas(kGrassWidth, kGrassHeight);
    TextureRandom random(style.seed);
    drawTuft(canvas, style, random);
    const float w = static_cast<float>(kGrassWidth), h = static_cast<float>(kGrassHeight);
    constexpr int kDaisies = 4;
    for (int i = 0; i < kDaisies; ++i) {
        const float x = (0.18f + 0.64f * i / (kDaisies - 1) + random.between(-0.05f, 0.05f)) * w;
        const float y = random.between(0.12f, 0.4f) * h;
        drawDaisy(canvas, x, y, random.between(13, 18), random);
    }
    return {"DaisyGrass.png", "DaisyGrassAlpha.png", canvas.colorImage(),
            canvas.transparencyImage()};
}

// A ripe wheat stalk: a stem with one leaf, an ear of grains in two rows, and long awns.
PlantTexture wheatTexture() {
    PlantCanvas canvas(kWheatWidth, kWheatHeight);
    TextureRandom random(41);
    const float w = static_cast<float>(kWheatWidth), h = static_cast<float>(kWheatHeight);
    const float cx = w / 2;
    const Rgb straw{0.72f, 0.6f, 0.3f}, strawLight{0.9f, 0.8f, 0.48f}, grain{0.82f, 0.66f, 0.32f};
    const float earBottom = 0.42f * h, earTop = 0.1f * h;
    canvas.stroke({cx - 2, h + 2, cx + 1, h * 0.7f, cx, earBottom, 2.6f, 1.8f, straw, strawLight, 0.1f});
    canvas.stroke({cx, h * 0.72f, cx + 14, h * 0.62f, w - 4, h * 0.5f, 3.0f, 0.4f, {0.6f, 0.55f, 0.28f}, straw,
                   0.08f});
    constexpr int kGrainPairs = 9;
    for (int k = 0; k < kGrainPairs; ++k) {
        const float t = static_cast<float>(k) / (kGrainPairs - 1);
        const float y = earBottom + (earTop - earBottom) * t;
        const float spread = 7.0f * (1.0f - 0.45f * t);
        for (int side = -1; side <= 1; side += 2) {
            const float gx = cx + side * spread * 0.8f;
            const float gy = y + (side > 0 ? 6.0f : 0.0f);
            canvas.ellipse(gx, gy, 6.5f * (1.0f - 0.3f * t), 11.0f * (1.0f - 0.25f * t), side * 0.35f,
                           mix(grain, strawLight, random.next() * 0.5f), 0.45f);
            // The awn leaves the grain's tip and rises, spreading a little outwards.
            const float topX = std::clamp(gx + side * random.between(4, 14), 1.5f, w - 1.5f);
            canvas.stroke({gx + side * 2, gy - 9, gx + side * 4, gy - 40, topX, std::max(2.0f, gy - 85), 0.7f, 0.35f,
                           strawLight, strawLight});
        }
    }
    return {"Wheat.png", "WheatAlpha.png", canvas.colorImage(), canvas.transparencyImage()};
}

// An autumn leaf lying flat: a pointed oval with a midrib, side veins and a short stalk.
PlantTexture leafTexture() {
    PlantCanvas canvas(kLeafSide, kLeafSide);
    const float side = static_cast<float>(kLeafSide);
    const float angle = -0.7f;  // the leaf lies diagonally
    const float ca = std::cos(angle), sa = std::sin(angle);
    const float cx = side * 0.52f, cy = side * 0.48f;
    const float halfLength = side * 0.4f, halfWidth = side * 0.22f;
    const Rgb red{0.72f, 0.2f, 0.06f}, orange{0.9f, 0.5f, 0.1f}, yellow{0.93f, 0.72f, 0.2f}, vein{0.5f, 0.18f, 0.05f};
    canvas.fill([&](float x, float y, Rgb& color) {
        // u runs along the leaf from stalk (−1) to tip (+1), v across it.
        const float dx = x - cx, dy = y - cy;
        const float u = (dx * ca - dy * sa) / halfLength;
        const float v = (dx * sa + dy * ca) / halfWidth;
        if (u <= -1.0f || u >= 1.0f) return 0.0f;
        // Widest a little below the middle, drawn out to a point at the tip.
        const float outline = std::pow(1.0f - u * u, 0.7f) * (1.0f - 0.3f * u);
        const float edge = (outline - std::fabs(v)) * halfWidth;
        const float coverage = std::clamp(edge + 0.5f, 0.0f, 1.0f);
        if (coverage <= 0) return 0.0f;
        const float across = std::fabs(v) / std::max(outline, 1e-3f);
        color = mix(mix(red, orange, across), yellow, std::clamp((u + 1.0f) * 0.3f * across, 0.0f, 1.0f));
        const float midrib = std::clamp(1.5f - std::fabs(v) * halfWidth, 0.0f, 1.0f);
        const float sideVeinPhase = (u - std::fabs(v) * 0.55f) * 6.0f;
        const float sideVein = std::clamp(1.0f - std::fabs(sideVeinPhase - std::round(sideVeinPhase)) * 18.0f, 0.0f, 1.0f) *
                               (1.0f - across);
        color = mix(color, vein, std::max(midrib, sideVein * 0.7f));
        return coverage;
    });
    // The stalk continues the midrib beyond the leaf's base.
    const float bx = cx - ca * halfLength, by = cy + sa * halfLength;
    canvas.stroke({bx + ca * 6, by - sa * 6, bx - ca * 14, by + sa * 16, bx - ca * 30, by + sa * 28, 2.2f, 1.6f, vein,
                   {0.4f, 0.22f, 0.08f}});
    return {"Leaf1.png", "Leaf1Alpha.png", canvas.colorImage(), canvas.transparencyImage()};
}

}  // namespace

std::vector<PlantTexture> drawPlantTextures() {
    const Rgb darkGreen{0.1f, 0.25f, 0.06f}, green{0.25f, 0.5f, 0.12f}, lightGreen{0.5f, 0.7f, 0.25f};
    std::vector<PlantTexture> textures;
    textures.push_back(grassTexture("GreenGrass", {11, 34, 0.55f, 0.98f, 2.5f, 4.5f, 0.22f, darkGreen, green, lightGreen}));
    textures.push_back(grassTexture("GreenGrass2", {12, 52, 0.45f, 0.95f, 1.8f, 3.2f, 0.3f, {0.06f, 0.2f, 0.05f},
                                                    {0.16f, 0.4f, 0.1f}, {0.35f, 0.58f, 0.18f}}));
    textures.push_back(grassTexture("GreenGrass3", {13, 24, 0.6f, 0.98f, 3.5f, 6.0f, 0.18f, {0.16f, 0.36f, 0.08f},
                                                    {0.38f, 0.64f, 0.16f}, {0.62f, 0.8f, 0.3f}}));
    textures.push_back(grassTexture("YellowGrass", {14, 36, 0.5f, 0.97f, 2.2f, 4.0f, 0.26f, {0.45f, 0.38f, 0.14f},
                                                    {0.78f, 0.68f, 0.3f}, {0.92f, 0.84f, 0.5f}}));
    textures.push_back(grassTexture("IcyGrass", {15, 34, 0.5f, 0.95f, 2.2f, 4.0f, 0.22f, {0.22f, 0.34f, 0.3f},
                                                 {0.72f, 0.82f, 0.86f}, {0.95f, 0.97f, 1.0f}}));
    textures.push_back(grassTexture("DesertGrass", {16, 20, 0.35f, 0.85f, 1.8f, 3.0f, 0.4f, {0.36f, 0.34f, 0.16f},
                                                    {0.62f, 0.58f, 0.32f}, {0.78f, 0.72f, 0.48f}}));
    textures.push_back(grassTexture("DesertGrass2", {17, 26, 0.3f, 0.8f, 1.5f, 2.6f, 0.5f, {0.4f, 0.24f, 0.12f},
                                                     {0.66f, 0.44f, 0.26f}, {0.8f, 0.62f, 0.42f}}));
    textures.push_back(daisyTexture({18, 30, 0.45f, 0.9f, 2.3f, 4.0f, 0.22f, darkGreen, green, lightGreen}));
    textures.push_back(wheatTexture());
    textures.push_back(leafTexture());
    return textures;
}

}  // namespace korvane::tools
