#include "app/shell/AppResources.h"

#include <QFile>

#include "scene/layers/smallobjects/ResourcePaths.h"

namespace korvane {

QIcon korvaneIcon(std::string_view name) {
    QString base = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (base.endsWith(QLatin1String(".png")) || base.endsWith(QLatin1String(".svg"))) base.chop(4);
    const QString path = QStringLiteral(":/icons/%1.svg").arg(base);
    if (base.isEmpty() || !QFile::exists(path)) return {};
    return QIcon(path);
}

QIcon themeOrKorvaneIcon(const QString& themeName, std::string_view fallbackName) {
    return QIcon::fromTheme(themeName, korvaneIcon(fallbackName));
}

QString sampleScenesFolder() {
    std::optional<std::string> path = resourcePath("samples");
    return path ? QString::fromStdString(*path) : QString();
}

QUrl finishedRenderSoundUrl() { return QUrl(QStringLiteral("qrc:/sounds/FinishedRenderSound.wav")); }

}  // namespace korvane
