#pragma once

namespace korvane {

class EditLayerControllerRegistry;

// Registers every layer editor of the application under the class name layers give in
// editLayerClassName.
void registerLayerEditors(EditLayerControllerRegistry& registry);

}  // namespace korvane
