// The DiffuseMaterial preset catalogue: 47 named surfaces built from procedural textures. The table
// below is data; each row lists only what differs from a new texture's defaults.
#include <array>
#include <optional>

#include "scene/materials/DiffuseMaterial.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/CloudsTexture.h"
#include "scene/textures/DistortedNoiseTexture.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/textures/MusgraveTexture.h"
#include "scene/textures/WoodTexture.h"

namespace korvane {

namespace {

struct Rgb {
    double red, green, blue;
};

enum class TextureKind { Marble, Clouds, Wood, Distorted, Musgrave };

// A procedural texture as a preset describes it: the class, its size and the parameters the preset
// changes. Built fluently so that a row reads like the catalogue.
struct TextureRecipe {
    TextureKind kind;
    float size;
    std::optional<Rgb> color1, color2;
    std::optional<int> noise1, noise2;  // noise2 only for the distorted noise
    std::optional<float> turbulence, sharpness, distort;
    std::optional<int> depth, bias;

    TextureRecipe colors(Rgb c1, Rgb c2) const {
        TextureRecipe r = *this;
        r.color1 = c1, r.color2 = c2;
        return r;
    }
    TextureRecipe noise(int n) const {
        TextureRecipe r = *this;
        r.noise1 = n;
        return r;
    }
    TextureRecipe noise(int n1, int n2) const {
        TextureRecipe r = *this;
        r.noise1 = n1, r.noise2 = n2;
        return r;
    }
    TextureRecipe turb(float t) const {
        TextureRecipe r = *this;
        r.turbulence = t;
        return r;
    }
    TextureRecipe sharp(float s) const {
        TextureRecipe r = *this;
        r.sharpness = s;
        return r;
    }
    TextureRecipe distortion(float d) const {
        TextureRecipe r = *this;
        r.distort = d;
        return r;
    }
    TextureRecipe depthOf(int d) const {
        TextureRecipe r = *this;
        r.depth = d;
        return r;
    }
    TextureRecipe biasOf(int b) const {
        TextureRecipe r = *this;
        r.bias = b;
        return r;
    }
};

TextureRecipe recipe(TextureKind kind, float size) {
    TextureRecipe r{};
    r.kind = kind;
    r.size = size;
    return r;
}
TextureRecipe marble(float size) {
    return recipe(TextureKind::Marble, size);
}
TextureRecipe clouds(float size) {
    return recipe(TextureKind::Clouds, size);
}
TextureRecipe wood(float size) {
    return recipe(TextureKind::Wood, size);
}
TextureRecipe distorted(float size) {
    return recipe(TextureKind::Distorted, size);
}
TextureRecipe musgrave(float size) {
    return recipe(TextureKind::Musgrave, size);
}

struct MaterialPreset {
    const char* title;
    const char* presetKey;
    std::optional<TextureRecipe> diffuse;  // installed as the diffuse shader, with useDiffuseShader
    std::optional<Rgb> color;              // a plain colour instead
    TextureRecipe bump;
    float bumpStrength;
    std::optional<float> spectacularReflect;
    std::optional<TextureRecipe> mirror;  // installed as the mirror shader, with useMirrorShader
};

constexpr std::nullopt_t none = std::nullopt;

// clang-format off
const std::array<MaterialPreset, 47>& presetTable() {
    static const std::array<MaterialPreset, 47> table = {{
        {"Red Rocks (Detailed)", "detailedredrocks",
         marble(1000).colors({0.7, 0.5, 0.4}, {0.5, 0.4, 0.3}).noise(4).turb(10).sharp(4), none,
         marble(1000).noise(4).turb(10).sharp(4), 0.2f, none, none},
        {"Red Rocks 2 (Detailed)", "detailedredrocks2",
         marble(1000).colors({0.6, 0.3, 0.2}, {0.4, 0.2, 0.1}).noise(4).turb(10).sharp(4), none,
         marble(1000).noise(4).turb(10).sharp(4), 0.2f, none, none},
        {"Bright Sand (Detailed)", "detailedbrightsand",
         clouds(1300).colors({0.9, 0.8, 0.5}, {0.75, 0.65, 0.35}).noise(1).depthOf(5), none,
         distorted(750).distortion(2).noise(2, 3), 0.05f, none, none},
        {"Bright Sand 2 (Detailed)", "detailedbrightsand2",
         clouds(1300).colors({0.9, 0.7, 0.45}, {0.75, 0.55, 0.3}).noise(1).depthOf(5), none,
         distorted(750).distortion(2).noise(2, 3), 0.05f, none, none},
        {"Dark Gray Rocks (Detailed)", "detaileddarkgrayrocks",
         marble(400).colors({0.4, 0.35, 0.35}, {0.3, 0.25, 0.25}).noise(4).turb(10), none,
         wood(300).noise(4).turb(10), 1.0f, none, none},
        {"Earth (Detailed)", "detailedearth",
         clouds(1000).colors({0.7, 0.6, 0.5}, {0.5, 0.4, 0.3}).noise(4).depthOf(5), none,
         clouds(1000).noise(4).depthOf(5), 0.3f, none, none},
        {"Bright Sand", "brightsand",
         clouds(1300).colors({0.9, 0.8, 0.5}, {0.75, 0.65, 0.35}).noise(1).depthOf(5), none,
         distorted(100).distortion(2).noise(2, 3), 0.05f, none, none},
        {"Dark Sand", "darksand",
         none, Rgb{0.6, 0.5, 0.2},
         distorted(150).distortion(2).noise(2, 3), 0.05f, none, none},
        {"Dirty Sand", "dirtysand",
         marble(200).colors({0.8, 0.7, 0.4}, {0.6, 0.5, 0.2}), none,
         distorted(100).distortion(2).noise(2, 3), 0.1f, none, none},
        {"Earth", "earth",
         clouds(400).colors({0.7, 0.6, 0.5}, {0.5, 0.4, 0.3}).noise(4).depthOf(5), none,
         clouds(400).noise(4).depthOf(5), 0.75f, none, none},
        {"Dark Earth", "darkearth",
         clouds(400).colors({0.5, 0.4, 0.3}, {0.3, 0.2, 0.1}).noise(4).depthOf(5), none,
         clouds(400).noise(4).depthOf(5), 0.75f, none, none},
        {"Light & Dark Earth", "lightanddarkearth",
         marble(400).colors({0.8, 0.6, 0.4}, {0.3, 0.2, 0.1}).noise(4).depthOf(5).turb(10), none,
         marble(400).noise(4).depthOf(5).turb(10), 0.75f, none, none},
        {"Light & Dark Earth 2", "lightanddarkearth2",
         wood(200).colors({0.6, 0.4, 0.3}, {0.4, 0.25, 0.2}).noise(5).depthOf(5).turb(15), none,
         wood(200).noise(5).depthOf(5).turb(15), 0.35f, none, none},
        {"Light Earth", "lightearth",
         clouds(400).colors({0.8, 0.7, 0.6}, {0.6, 0.5, 0.4}).noise(4).depthOf(5), none,
         clouds(400).noise(4).depthOf(5), 0.75f, none, none},
        {"Brown Mud", "brownmud",
         marble(200).colors({0.65, 0.45, 0.3}, {0.4, 0.2, 0.1}).noise(4).turb(10), none,
         marble(200).noise(4).turb(10), 0.7f, none, none},
        {"Brown Mud 2", "brownmud2",
         marble(100).colors({0.65, 0.3, 0.1}, {0.8, 0.5, 0.1}).noise(3).turb(10), none,
         marble(100).noise(3).turb(10), 0.7f, none, none},
        {"Crackled Mud", "crackledmud",
         clouds(200).colors({0.8, 0.7, 0.4}, {0.6, 0.4, 0.2}).noise(6).depthOf(1), none,
         clouds(200).depthOf(1).biasOf(1).noise(6), 0.15f, none, none},
        {"Crackled Mud 2", "crackledmud2",
         marble(200).colors({0.8, 0.6, 0.3}, {0.6, 0.4, 0.1}).noise(6).turb(10), none,
         clouds(200).depthOf(1).biasOf(1).noise(6), 0.15f, none, none},
        {"Wet Mud", "wetmud",
         distorted(300).colors({0.6, 0.3, 0.1}, {0.4, 0.2, 0}).noise(1, 2), none,
         distorted(300).noise(1, 2), 0.2f, 0.25f, none},
        {"Green Grass", "greengrass",
         marble(500).colors({0.3, 0.5, 0.2}, {0.15, 0.3, 0.1}).noise(4).turb(10), none,
         clouds(50).noise(0), 1.0f, none, none},
        {"Grass & Mud", "grassmud",
         clouds(200).colors({0.1, 0.4, 0.1}, {0.7, 0.4, 0.1}).noise(5), none,
         clouds(200).noise(5).biasOf(0), 0.6f, none,
         clouds(200).noise(5).biasOf(2)},
        {"Gray Rocks", "grayrocks",
         distorted(300).colors({0.9, 0.9, 0.9}, {0.6, 0.6, 0.6}).noise(5, 4), none,
         clouds(300).noise(5), 0.7f, 0.1f, none},
        {"Gray Rocks 2", "grayrocks2",
         musgrave(300).colors({0.9, 0.9, 0.9}, {0.6, 0.6, 0.6}).noise(2), none,
         musgrave(300).noise(5), 0.7f, 0.1f, none},
        {"Gray Rocks 3", "grayrocks3",
         wood(100).colors({0.6, 0.6, 0.55}, {0.5, 0.45, 0.4}).noise(1).depthOf(5).turb(11), none,
         wood(100).noise(1).depthOf(5).turb(11), 0.35f, none, none},
        {"Gray Rocks 4", "grayrocks4",
         wood(250).colors({0.9, 0.85, 0.85}, {0.6, 0.55, 0.55}).noise(3).depthOf(5).turb(14), none,
         wood(250).noise(3).depthOf(5).turb(14), 0.25f, none, none},
        {"Gray Rocks 5", "grayrocks5",
         marble(100).colors({0.6, 0.6, 0.6}, {0.4, 0.4, 0.4}).noise(4).turb(10).sharp(4), none,
         marble(100).noise(4).turb(10).sharp(4), 1.0f, none, none},
        {"Gray Rocks 6", "grayrocks6",
         distorted(750).colors({0.55, 0.5, 0.45}, {0.3, 0.25, 0.25}).noise(1, 1), none,
         distorted(750).noise(4, 0), 0.1f, none, none},
        {"Bright Rocks", "brightrocks",
         distorted(200).colors({1, 1, 1}, {0.8, 0.8, 0.85}).noise(5, 4), none,
         clouds(200).noise(5), 0.7f, 0.1f, none},
        {"Dark Gray Rocks", "darkgrayrocks",
         distorted(400).colors({0.6, 0.5, 0.5}, {0.2, 0.2, 0.2}).noise(2, 3), none,
         clouds(500).noise(2), 0.7f, 0.3f, none},
        {"Dark Gray Rocks 2", "darkgrayrocks2",
         marble(100).colors({0.6, 0.6, 0.6}, {0.3, 0.25, 0.25}).noise(4).turb(10), none,
         marble(100).noise(4).turb(10), 1.0f, none, none},
        {"Dark Gray Rocks 3", "darkgrayrocks3",
         marble(100).colors({0.7, 0.6, 0.6}, {0.3, 0.25, 0.25}).noise(4).turb(15), none,
         distorted(25).distortion(10).noise(4, 4), 1.0f, none, none},
        {"Dark Gray Rocks 4", "darkgrayrocks4",
         marble(150).colors({0.5, 0.45, 0.45}, {0.3, 0.25, 0.25}).noise(2).turb(7), none,
         marble(150).noise(2).turb(7), 1.0f, none, none},
        {"Dark Gray Rocks 5", "darkgrayrocks5",
         marble(80).colors({0.4, 0.35, 0.35}, {0.3, 0.25, 0.25}).noise(4).turb(10), none,
         wood(80).noise(4).turb(10), 1.0f, none, none},
        {"Dark Gray Rocks 6", "darkgrayrocks6",
         marble(100).colors({0.5, 0.4, 0.4}, {0.4, 0.35, 0.35}).noise(2).turb(10).sharp(5), none,
         wood(100).noise(2).turb(10).sharp(5), 0.75f, none, none},
        {"Red Rocks", "redrocks",
         distorted(400).colors({0.7, 0.4, 0.3}, {0.3, 0.2, 0.1}).noise(2, 3), none,
         clouds(500).noise(2), 0.7f, none, none},
        {"Red Rocks 2", "redrocks2",
         distorted(400).colors({0.45, 0.3, 0.2}, {0.2, 0.2, 0.1}).noise(0, 0), none,
         distorted(400).noise(0, 0), 0.7f, none, none},
        {"Red Rocks 3", "redrocks3",
         marble(100).colors({0.7, 0.5, 0.4}, {0.5, 0.4, 0.3}).noise(4).turb(10).sharp(4), none,
         marble(100).noise(4).turb(10).sharp(4), 1.0f, none, none},
        {"Red Rocks 4", "redrocks4",
         marble(150).colors({0.6, 0.3, 0.2}, {0.25, 0.2, 0.2}).noise(3).turb(5).sharp(3), none,
         marble(150).noise(3).turb(5).sharp(5), 1.0f, none, none},
        {"Red Rocks 5", "redrocks5",
         distorted(700).colors({0.55, 0.3, 0.2}, {0.3, 0.2, 0.1}).noise(1, 1), none,
         distorted(700).noise(4, 0), 0.1f, none, none},
        {"Red Rocks 6", "redrocks6",
         distorted(500).colors({0.45, 0.35, 0.25}, {0.4, 0.25, 0.15}).noise(4, 4), none,
         distorted(500).noise(4, 4), 0.1f, none, none},
        {"Crackled Rocks", "crackledrocks",
         clouds(200).colors({0.25, 0.2, 0.2}, {0.55, 0.45, 0.45}).noise(6).depthOf(1), none,
         clouds(200).depthOf(1).biasOf(1).noise(6), 0.35f, 0.25f, none},
        {"Brown Crackled Rocks", "browncrackledrocks",
         marble(200).colors({0.65, 0.45, 0.3}, {0.4, 0.2, 0.1}).noise(6).turb(10), none,
         marble(200).noise(6).turb(10), 0.7f, none, none},
        {"Mud & Rocks", "mudandrocks",
         marble(75).colors({0.6, 0.6, 0.6}, {0.4, 0.2, 0}).noise(4).turb(10), none,
         marble(75).noise(4).turb(10), 1.0f, none, none},
        {"Snow", "snow",
         none, Rgb{0.9, 0.9, 0.9},
         distorted(10).distortion(5).noise(2, 1), 0.2f, 0.3f, none},
        {"Snow 2", "snow2",
         marble(100).colors({0.95, 0.95, 1}, {0.75, 0.75, 0.9}).noise(2).turb(8).sharp(1), none,
         marble(30).noise(0).turb(12).sharp(1).depthOf(1), 0.2f, 0.3f, none},
        {"Ice", "ice",
         none, Rgb{1, 1, 1},
         clouds(100).depthOf(5).biasOf(1).noise(6), 0.05f, 0.2f, none},
        {"Ice & Rocks", "iceandrocks",
         marble(75).colors({0.4, 0.4, 0.4}, {1, 1, 1}).noise(3).turb(10), none,
         marble(75).noise(3).turb(10), 1.0f, none,
         marble(75).noise(3).turb(10)},
    }};
    return table;
}
// clang-format on

std::optional<Color> colorOf(const std::optional<Rgb>& rgb) {
    if (!rgb) return std::nullopt;
    return Color::calibratedRGB(rgb->red, rgb->green, rgb->blue, 1.0);
}

template <class T>
void applyColors(T& texture, const TextureRecipe& recipe) {
    if (recipe.color1) texture.setColor1(colorOf(recipe.color1));
    if (recipe.color2) texture.setColor2(colorOf(recipe.color2));
}

std::shared_ptr<BaseTexture> buildTexture(const TextureRecipe& recipe) {
    switch (recipe.kind) {
        case TextureKind::Marble: {
            auto texture = std::make_shared<MarbleTexture>();
            texture->setSize(recipe.size);
            applyColors(*texture, recipe);
            if (recipe.noise1) texture->setNoiseType(*recipe.noise1);
            if (recipe.turbulence) texture->setTurbulence(*recipe.turbulence);
            if (recipe.sharpness) texture->setSharpness(*recipe.sharpness);
            if (recipe.depth) texture->setDepth(*recipe.depth);
            return texture;
        }
        case TextureKind::Clouds: {
            auto texture = std::make_shared<CloudsTexture>();
            texture->setSize(recipe.size);
            applyColors(*texture, recipe);
            if (recipe.noise1) texture->setNoiseType(*recipe.noise1);
            if (recipe.depth) texture->setDepth(*recipe.depth);
            if (recipe.bias) texture->setBias(*recipe.bias);
            return texture;
        }
        case TextureKind::Wood: {
            auto texture = std::make_shared<WoodTexture>();
            texture->setSize(recipe.size);
            applyColors(*texture, recipe);
            if (recipe.noise1) texture->setNoiseType(*recipe.noise1);
            if (recipe.turbulence) texture->setTurbulence(*recipe.turbulence);
            if (recipe.sharpness) texture->setSharpness(*recipe.sharpness);
            if (recipe.depth) texture->setDepth(*recipe.depth);
            return texture;
        }
        case TextureKind::Distorted: {
            auto texture = std::make_shared<DistortedNoiseTexture>();
            texture->setSize(recipe.size);
            applyColors(*texture, recipe);
            if (recipe.noise1) texture->setNoiseType1(*recipe.noise1);
            if (recipe.noise2) texture->setNoiseType2(*recipe.noise2);
            if (recipe.distort) texture->setDistort(*recipe.distort);
            return texture;
        }
        case TextureKind::Musgrave: {
            auto texture = std::make_shared<MusgraveTexture>();
            texture->setSize(recipe.size);
            applyColors(*texture, recipe);
            if (recipe.noise1) texture->setNoiseType(*recipe.noise1);
            return texture;
        }
    }
    return nullptr;
}

std::shared_ptr<BaseShader> buildShader(const TextureRecipe& recipe) {
    return TextureMapperShader::textureMapperShaderWithTexture(buildTexture(recipe));
}

}  // namespace

std::vector<PresetDictionary> DiffuseMaterial::presetDictionaries() {
    std::vector<PresetDictionary> presets;
    presets.reserve(presetTable().size());
    for (const MaterialPreset& preset : presetTable()) presets.push_back({preset.title, preset.presetKey});
    return presets;
}

void DiffuseMaterial::resetForPreset() {
    diffuseShader_.reset();
    useDiffuseShader_ = false;
    color_ = Color::calibratedRGB(1, 1, 1, 1);
    transparency_ = 0.0f;
    transparencyShader_.reset();
    spectacularReflect_ = 0.0f;
    useMirrorShader_ = false;
    mirrorShader_.reset();
    bumpShader_.reset();
    bumpStrength_ = 0.0f;
}

void DiffuseMaterial::configureWithPresetDictionary(const PresetDictionary& preset) {
    configureWithPresetKey(preset.presetKey);
}

void DiffuseMaterial::configureWithPresetKey(const std::string& presetKey) {
    resetForPreset();
    for (const MaterialPreset& preset : presetTable()) {
        if (presetKey != preset.presetKey) continue;
        if (preset.diffuse) {
            diffuseShader_ = buildShader(*preset.diffuse);
            useDiffuseShader_ = true;
        }
        if (preset.color) color_ = colorOf(preset.color);
        bumpShader_ = buildShader(preset.bump);
        bumpStrength_ = preset.bumpStrength;
        if (preset.spectacularReflect) spectacularReflect_ = *preset.spectacularReflect;
        if (preset.mirror) {
            mirrorShader_ = buildShader(*preset.mirror);
            useMirrorShader_ = true;
        }
        return;
    }
}

}  // namespace korvane
