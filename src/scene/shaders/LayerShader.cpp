#include "scene/shaders/LayerShader.h"

#include "raytracer/interface.h"

namespace korvane {

std::shared_ptr<LayerShader> LayerShader::layerShaderWithShader1(std::shared_ptr<BaseShader> shader1,
                                                                 std::shared_ptr<BaseShader> shader2) {
    auto shader = std::make_shared<LayerShader>();
    shader->setShader1(std::move(shader1));
    shader->setShader2(std::move(shader2));
    return shader;
}

void LayerShader::appendShaderNodeToRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = beginCombiningNode(renderer, "layer");
    if (!yi) return;
    yi->paramsSetString("input", shader1_->name().c_str());
    yi->paramsSetString("upper_layer", shader2_->name().c_str());
    yi->paramsSetInt("mode", mode_);
}

}  // namespace korvane
