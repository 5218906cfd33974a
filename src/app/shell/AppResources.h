#pragma once

#include <string_view>

#include <QIcon>
#include <QString>
#include <QUrl>

namespace korvane {

// The application's own icon set (resources/icons, compiled in). Names may be given as the model
// names them ("TerrainLayerIcon.png") or bare ("TerrainLayerIcon"); an unknown name gives an empty
// icon. Main thread (GUI objects).
QIcon korvaneIcon(std::string_view name);
// A freedesktop theme icon where the theme has one, else our own icon of that name.
QIcon themeOrKorvaneIcon(const QString& themeName, std::string_view fallbackName);

// The folder of the bundled sample scenes (resources/samples), or empty when none was found.
QString sampleScenesFolder();

// The sound played when a full render completes.
QUrl finishedRenderSoundUrl();

}  // namespace korvane
