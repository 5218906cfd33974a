#pragma once

#include <memory>

namespace korvane {

class BaseMaterial;
class RenderPreviewView;
class Scene;

// The swatch preview the material and texture sheets share. Main thread.

// Eye heights of the two sheets' preview cameras: the texture sheet looks from a little higher.
inline constexpr float kMaterialSheetEyeHeight = 1.25f;
inline constexpr float kTextureSheetEyeHeight = 1.5f;
// Light samples of the sheets' previews.
inline constexpr int kMaterialSheetLightSamples = 10;

// Aborts the view's render, shows `material` on the swatch square of a material preview layer seen
// by a camera from (−0.5, 8.5) at `eyeHeight` towards (0.5, 9.5) on the ground (the view restarts
// its preview after its delay), and posts scene-did-change with `scene`, since the material is part
// of its document.
void showMaterialPreview(RenderPreviewView& view, std::shared_ptr<BaseMaterial> material, float eyeHeight,
                         Scene& scene);

}  // namespace korvane
