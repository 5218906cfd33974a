#pragma once

#include <QString>

class QLayout;
class QWidget;

namespace korvane {

class RenderPreviewView;

// The page shared by the editors whose layer has nothing to draw on the map (sky, fog, water): the
// controls in a column on the left, titled, and the layer's own live preview beside them. Main thread.

// The preview's size in those editors, in points (it renders at this size less its borders).
constexpr int kLayerPreviewWidth = 300;
constexpr int kLayerPreviewHeight = 225;

// Lays out `editor` (which gets the layout): `controls` under `title`, and `preview` at its fixed size
// beside them. Both become children of the editor.
void layOutLayerEditor(QWidget* editor, const QString& title, QLayout* controls, RenderPreviewView* preview);

}  // namespace korvane
