#include "app/editor/EditorPlaceholderView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/shell/AppResources.h"
#include "scene/BaseSceneLayer.h"

namespace korvane {

EditorPlaceholderView::EditorPlaceholderView(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                             QWidget* parent)
    : BaseEditLayerViewController(layer, document, parent) {
    setObjectName(QStringLiteral("EditorPlaceholderView"));
    const QString name = QString::fromStdString(layer->name());
    message_ = QStringLiteral("%1 has no editor in this version of Korvane.").arg(name);

    auto* column = new QVBoxLayout(this);
    column->addStretch(1);
    auto* icon = new QLabel;
    icon->setPixmap(korvaneIcon(layer->icon()).pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(name);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: 600;"));
    auto* text = new QLabel(message_ + QStringLiteral("\nIts settings can be changed with the korvane command-line tool."));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(icon);
    column->addWidget(title);
    column->addWidget(text);
    column->addStretch(2);
}

}  // namespace korvane
