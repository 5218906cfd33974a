#include "app/editor/EditViewFunctionsList.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/shell/AppResources.h"
#include "scene/BaseSceneLayer.h"

namespace korvane {

namespace {
constexpr int kRowHeight = 40;
constexpr int kIconSize = 28;

// Rows drawn as soft cards: a light band for each row, the selection in the highlight colour.
class FunctionsRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF card = QRectF(option.rect).adjusted(4, 2, -4, -2);
        const bool selected = option.state & QStyle::State_Selected;
        const bool hovered = option.state & QStyle::State_MouseOver;
        QColor fill = option.palette.color(QPalette::Base);
        if (index.row() % 2 == 1) fill = fill.darker(104);
        if (hovered) fill = fill.darker(108);
        if (selected) fill = option.palette.color(QPalette::Highlight);
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(card, 6, 6);

        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const QRect iconRect(static_cast<int>(card.left()) + 8, static_cast<int>(card.center().y()) - kIconSize / 2,
                             kIconSize, kIconSize);
        icon.paint(painter, iconRect);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect textRect = card.toRect().adjusted(kIconSize + 18, 0, -6, 0);
        const QString text = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                           textRect.width());
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
        painter->restore();
    }
};
}  // namespace

EditViewFunctionsList::EditViewFunctionsList(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("EditViewFunctionsList"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegate(new FunctionsRowDelegate(this));
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setIconSize(QSize(kIconSize, kIconSize));
    setUniformItemSizes(true);
}

void EditViewFunctionsList::setLayers(const std::vector<std::shared_ptr<BaseSceneLayer>>& layers) {
    std::vector<std::shared_ptr<BaseSceneLayer>> sorted = layers;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a->orderForFunctionsList() < b->orderForFunctionsList();
    });
    const auto selected = selectedLayers();
    const auto current = lastSelectedLayer();
    const QSignalBlocker blocker(this);
    layers_ = std::move(sorted);
    clear();
    for (const auto& layer : layers_) {
        auto* item = new QListWidgetItem(korvaneIcon(layer->icon()), QString::fromStdString(layer->nameForListView()), this);
        item->setToolTip(QString::fromStdString(layer->name()));
    }
    for (int row = 0; row < static_cast<int>(layers_.size()); ++row) {
        if (std::find(selected.begin(), selected.end(), layers_[row]) != selected.end()) item(row)->setSelected(true);
        if (layers_[row] == current) setCurrentRow(row, QItemSelectionModel::NoUpdate);
    }
}

std::shared_ptr<BaseSceneLayer> EditViewFunctionsList::layerAt(int row) const {
    if (row < 0 || row >= static_cast<int>(layers_.size())) return nullptr;
    return layers_[row];
}

std::vector<std::shared_ptr<BaseSceneLayer>> EditViewFunctionsList::selectedLayers() const {
    std::vector<std::shared_ptr<BaseSceneLayer>> selected;
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) selected.push_back(layerAt(row));
    }
    return selected;
}

std::shared_ptr<BaseSceneLayer> EditViewFunctionsList::lastSelectedLayer() const {
    if (currentItem() && currentItem()->isSelected()) return layerAt(currentRow());
    const auto selected = selectedLayers();
    return selected.empty() ? nullptr : selected.back();
}

void EditViewFunctionsList::selectLayer(const BaseSceneLayer* layer) {
    for (int row = 0; row < static_cast<int>(layers_.size()); ++row) {
        if (layers_[row].get() == layer) {
            setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            return;
        }
    }
}

}  // namespace korvane
