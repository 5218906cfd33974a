#include "app/sheets/material/TextureControlViews.h"

#include <QFormLayout>
#include <QWidget>

namespace korvane {

namespace {
// Ranges of the sliders: wide enough for every value the presets set.
constexpr float kLargestSize = 2000.0f;
constexpr int kSizeSteps = 1999;
constexpr int kLargestDepth = 10;
constexpr float kLargestTurbulence = 20.0f;
constexpr float kLargestSharpness = 10.0f;
constexpr float kLargestDistort = 10.0f;
constexpr int kFineSteps = 200;

// The noise types by their index (the texture sends the ray tracer's name of the index).
std::vector<std::pair<int, QString>> noiseTypeItems() {
    return {{0, QStringLiteral("Perlin")},         {1, QStringLiteral("Voronoi F1")},
            {2, QStringLiteral("Voronoi F2")},     {3, QStringLiteral("Voronoi F3")},
            {4, QStringLiteral("Voronoi F4")},     {5, QStringLiteral("Voronoi F2 − F1")},
            {6, QStringLiteral("Voronoi Crackle")}, {7, QStringLiteral("Cell Noise")}};
}

// The marble's wave shapes.
std::vector<std::pair<QString, QString>> waveShapes() {
    return {{QStringLiteral("Sine"), QStringLiteral("sin")},
            {QStringLiteral("Saw"), QStringLiteral("saw")},
            {QStringLiteral("Triangle"), QStringLiteral("tri")}};
}

QFormLayout* newForm(QWidget*& view) {
    view = new QWidget;
    auto* form = new QFormLayout(view);
    form->setContentsMargins(0, 0, 0, 0);
    return form;
}

template <class T>
void addColors(QFormLayout* form, ObjectController<T>& controller) {
    controller.addColor(form, QStringLiteral("Color 1:"), "color1", &T::color1, &T::setColor1);
    controller.addColor(form, QStringLiteral("Color 2:"), "color2", &T::color2, &T::setColor2);
}

template <class T>
void addSize(QFormLayout* form, ObjectController<T>& controller) {
    controller.addFloat(form, QStringLiteral("Size:"), "size", 1.0f, kLargestSize, kSizeSteps, 0, &T::size, &T::setSize);
}
}  // namespace

QWidget* makeMusgraveView(ObjectController<MusgraveTexture>& c) {
    QWidget* view = nullptr;
    QFormLayout* form = newForm(view);
    using M = MusgraveTexture;
    c.addChoice(form, QStringLiteral("Type:"), "type",
                {{QStringLiteral("fBm"), QStringLiteral("fBm")},
                 {QStringLiteral("Multifractal"), QStringLiteral("multifractal")},
                 {QStringLiteral("Ridged Multifractal"), QStringLiteral("ridgedmf")},
                 {QStringLiteral("Hybrid Multifractal"), QStringLiteral("hybridmf")},
                 {QStringLiteral("Hetero Terrain"), QStringLiteral("heteroterrain")}},
                &M::type, &M::setType);
    c.addTagged(form, QStringLiteral("Noise:"), "noiseType", noiseTypeItems(), &M::noiseType, &M::setNoiseType);
    addColors(form, c);
    c.addFloat(form, QStringLiteral("H:"), "h", 0.0f, 2.0f, kFineSteps, 2, &M::h, &M::setH);
    c.addFloat(form, QStringLiteral("Lacunarity:"), "lacunarity", 0.0f, 6.0f, kFineSteps, 2, &M::lacunarity,
               &M::setLacunarity);
    c.addFloat(form, QStringLiteral("Octaves:"), "octaves", 0.0f, 8.0f, kFineSteps, 2, &M::octaves, &M::setOctaves);
    c.addFloat(form, QStringLiteral("Offset:"), "offset", 0.0f, 6.0f, kFineSteps, 2, &M::offset, &M::setOffset);
    c.addFloat(form, QStringLiteral("Gain:"), "gain", 0.0f, 6.0f, kFineSteps, 2, &M::gain, &M::setGain);
    addSize(form, c);
    c.addFloat(form, QStringLiteral("Intensity:"), "intensity", 0.0f, 10.0f, kFineSteps, 2, &M::intensity,
               &M::setIntensity);
    return view;
}

QWidget* makeMarbleView(ObjectController<MarbleTexture>& c) {
    QWidget* view = nullptr;
    QFormLayout* form = newForm(view);
    using M = MarbleTexture;
    c.addTagged(form, QStringLiteral("Noise:"), "noiseType", noiseTypeItems(), &M::noiseType, &M::setNoiseType);
    c.addChoice(form, QStringLiteral("Shape:"), "shape", waveShapes(), &M::shape, &M::setShape);
    addColors(form, c);
    c.addInt(form, QStringLiteral("Depth:"), "depth", 0, kLargestDepth, &M::depth, &M::setDepth);
    c.addFloat(form, QStringLiteral("Turbulence:"), "turbulence", 0.0f, kLargestTurbulence, kFineSteps, 1,
               &M::turbulence, &M::setTurbulence);
    c.addFloat(form, QStringLiteral("Sharpness:"), "sharpness", 0.0f, kLargestSharpness, kFineSteps, 2, &M::sharpness,
               &M::setSharpness);
    addSize(form, c);
    c.addBool(form, QStringLiteral("Hard"), "hard", &M::hard, &M::setHard);
    return view;
}

QWidget* makeCloudsView(ObjectController<CloudsTexture>& c) {
    QWidget* view = nullptr;
    QFormLayout* form = newForm(view);
    using C = CloudsTexture;
    c.addTagged(form, QStringLiteral("Noise:"), "noiseType", noiseTypeItems(), &C::noiseType, &C::setNoiseType);
    addColors(form, c);
    c.addTagged(form, QStringLiteral("Bias:"), "bias",
                {{0, QStringLiteral("None")}, {1, QStringLiteral("Positive")}, {2, QStringLiteral("Negative")}},
                &C::bias, &C::setBias);
    c.addInt(form, QStringLiteral("Depth:"), "depth", 0, kLargestDepth, &C::depth, &C::setDepth);
    addSize(form, c);
    c.addBool(form, QStringLiteral("Hard"), "hard", &C::hard, &C::setHard);
    return view;
}

QWidget* makeWoodView(ObjectController<WoodTexture>& c) {
    QWidget* view = nullptr;
    QFormLayout* form = newForm(view);
    using W = WoodTexture;
    c.addTagged(form, QStringLiteral("Noise:"), "noiseType", noiseTypeItems(), &W::noiseType, &W::setNoiseType);
    addColors(form, c);
    c.addInt(form, QStringLiteral("Depth:"), "depth", 0, kLargestDepth, &W::depth, &W::setDepth);
    c.addFloat(form, QStringLiteral("Turbulence:"), "turbulence", 0.0f, kLargestTurbulence, kFineSteps, 1,
               &W::turbulence, &W::setTurbulence);
    c.addFloat(form, QStringLiteral("Sharpness:"), "sharpness", 0.0f, kLargestSharpness, kFineSteps, 2, &W::sharpness,
               &W::setSharpness);
    addSize(form, c);
    c.addBool(form, QStringLiteral("Hard"), "hard", &W::hard, &W::setHard);
    return view;
}

QWidget* makeDistortedNoiseView(ObjectController<DistortedNoiseTexture>& c) {
    QWidget* view = nullptr;
    QFormLayout* form = newForm(view);
    using D = DistortedNoiseTexture;
    c.addTagged(form, QStringLiteral("Noise:"), "noiseType1", noiseTypeItems(), &D::noiseType1, &D::setNoiseType1);
    c.addTagged(form, QStringLiteral("Distortion Noise:"), "noiseType2", noiseTypeItems(), &D::noiseType2,
                &D::setNoiseType2);
    addColors(form, c);
    addSize(form, c);
    c.addFloat(form, QStringLiteral("Distort:"), "distort", 0.0f, kLargestDistort, kFineSteps, 2, &D::distort,
               &D::setDistort);
    return view;
}

}  // namespace korvane
