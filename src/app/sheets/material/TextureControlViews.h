#pragma once

#include "app/sheets/material/ObjectController.h"
#include "scene/textures/CloudsTexture.h"
#include "scene/textures/DistortedNoiseTexture.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/textures/MusgraveTexture.h"
#include "scene/textures/WoodTexture.h"

class QWidget;

namespace korvane {

// The texture sheet's control view of each procedural texture kind: a control for every value of
// the kind, bound through the kind's controller. Each returns a new view without parent. Main thread.
QWidget* makeMusgraveView(ObjectController<MusgraveTexture>& controller);
QWidget* makeMarbleView(ObjectController<MarbleTexture>& controller);
QWidget* makeCloudsView(ObjectController<CloudsTexture>& controller);
QWidget* makeWoodView(ObjectController<WoodTexture>& controller);
QWidget* makeDistortedNoiseView(ObjectController<DistortedNoiseTexture>& controller);

}  // namespace korvane
