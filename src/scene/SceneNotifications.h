#pragma once

namespace korvane {

// Posted with the scene as object after every change of the model (scene or layer).
inline constexpr const char* SceneDidChangeNotificationName = "SceneDidChangeNotificationName";
// Posted with the scene as object after every change of a post-processing setting.
inline constexpr const char* ScenePostProcessDidChangeNotificationName = "ScenePostProcessDidChangeNotificationName";

}  // namespace korvane
