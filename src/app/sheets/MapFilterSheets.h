#pragma once

#include <utility>
#include <vector>

#include <QString>

class QWidget;

namespace korvane {

class AutoFillRedrawDelegate;
class BaseSheet;
class Bitmap;
class EditMapTarget;
class FilterRedrawDelegate;
class TerrainLayer;

// How the map editors open the filter and auto-fill sheets. Main thread.

enum class MapFilterKind { Clamp, Equalize, Flats, AddNoise, FractalTerrain, Erode };

// The title item of the editors' filters pull-down (it opens nothing).
QString filterPullDownTitle();
// The items of the filters pull-down under its title, in menu order, with their texts: "Add Noise…",
// "Clamp…", "Equalize…", "Flatten…". Every map editor offers the same four; the terrain editor
// reaches Fractal Terrain and Erode through its bottom bar instead.
std::vector<std::pair<MapFilterKind, QString>> filterPullDownItems();

// Opens the filter's sheet window-modally over `window`, previewing into `map` (a Gray16 heightmap or
// a Gray8 mask or density map; it must stay at its address while the sheet is open). The delegate
// (not owned, may be null; the editor passes its EditMapSceneController) is told before and after each
// change of the map and turns the confirmed one into one undo step. Returns the sheet, which deletes
// itself once closed; the caller keeps no ownership.
BaseSheet* openFilterSheet(MapFilterKind kind, Bitmap& map, FilterRedrawDelegate* delegate, QWidget* window);

// Opens "Steepness Auto Fill" or "Height Auto Fill" over `window` on the target's current map (Gray8;
// it must stay at its address while the sheet is open), reading `terrain`'s heightmap. The target and
// the terrain must outlive the sheet; the delegate (not owned, may be null) is told after every change
// of the map. OK leaves one undo step through the target's start/end pair. Returns the sheet, which
// deletes itself once closed.
BaseSheet* openSteepnessAutoFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                                      AutoFillRedrawDelegate* delegate, QWidget* window);
BaseSheet* openHeightAutoFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                                   AutoFillRedrawDelegate* delegate, QWidget* window);

}  // namespace korvane
