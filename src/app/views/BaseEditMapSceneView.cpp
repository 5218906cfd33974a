#include "app/views/BaseEditMapSceneView.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QToolButton>
#include <cmath>

#include "app/sheets/MapFilterSheets.h"
#include "app/shell/AppResources.h"
#include "foundation/UserDefaults.h"
#include "scene/Scene.h"

namespace korvane {

namespace {
constexpr int kSliderSteps = 1000;
constexpr double kOutlineOpacity = 0.25;
constexpr double kCrossOpacity = 0.05;
}  // namespace

BaseEditMapSceneView::BaseEditMapSceneView(Scene& scene, EditMapTarget& target, bool editsHeightmap, QWidget* parent)
    : BaseSceneView(scene, parent), controller_(target, UserDefaults::standard()), editsHeightmap_(editsHeightmap) {
    setObjectName(QStringLiteral("EditMapSceneView"));
    buildTopBar();
}

BaseEditMapSceneView::~BaseEditMapSceneView() = default;

void BaseEditMapSceneView::buildTopBar() {
    topBar_ = new QWidget(this);
    topBar_->setObjectName(QStringLiteral("EditMapTopBar"));
    topBar_->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(topBar_);
    row->setContentsMargins(4, 2, 10, 2);
    row->setSpacing(4);
    toolButtons_ = new QButtonGroup(this);
    toolButtons_->setExclusive(true);
    const auto& tools = controller_.tools();
    for (int i = 0; i < static_cast<int>(tools.size()); ++i) {
        auto* button = new QToolButton;
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(korvaneIcon(tools[i]->icon()));
        button->setIconSize(QSize(32, 32));
        button->setFixedSize(kToolButtonSize, kToolButtonSize);
        button->setToolTip(QString::fromStdString(tools[i]->name()));
        toolButtons_->addButton(button, i);
        row->addWidget(button);
    }
    filtersButton_ = new QToolButton;
    filtersButton_->setObjectName(QStringLiteral("FiltersButton"));
    filtersButton_->setText(filterPullDownTitle());
    filtersButton_->setIcon(korvaneIcon("FiltersIcon"));
    filtersButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    filtersButton_->setPopupMode(QToolButton::InstantPopup);
    filtersButton_->setMinimumHeight(32);
    auto* menu = new QMenu(filtersButton_);
    const auto filters = filterPullDownItems();
    for (int i = 0; i < static_cast<int>(filters.size()); ++i) {
        menu->addAction(filters[i].second, this, [this, i] { openFilter(i); });
    }
    filtersButton_->setMenu(menu);
    row->addSpacing(8);
    row->addWidget(filtersButton_);
    row->addStretch(1);
    configurationView_ = new QWidget;
    configurationView_->setObjectName(QStringLiteral("ToolConfigurationView"));
    row->addWidget(configurationView_);
    connect(toolButtons_, &QButtonGroup::idClicked, this, &BaseEditMapSceneView::toolChanged);
    toolButtons_->button(controller_.selectedToolIndex())->setChecked(true);
    toolChanged(controller_.selectedToolIndex());
}

void BaseEditMapSceneView::toolChanged(int index) {
    // The previous tool keeps its values in the defaults; the new one shows its own.
    for (const auto& tool : controller_.tools()) {
        if (tool->settingsLoaded()) tool->storeSettings(UserDefaults::standard());
    }
    controller_.toolChanged(index);
    delete configurationView_->layout();
    qDeleteAll(configurationView_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
    sliders_.clear();
    auto* grid = new QGridLayout(configurationView_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    BaseEditMapSceneTool& tool = controller_.selectedTool();
    // The radius row is the upper one, the height (or blur) row below it.
    const auto toolSliders = tool.sliders();
    for (int i = static_cast<int>(toolSliders.size()) - 1, row = 0; i >= 0; --i, ++row) {
        ToolSlider& slider = toolSliders[i];
        auto* label = new QLabel(QString::fromUtf8(slider.label));
        QFont small = label->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        label->setFont(small);
        label->setFixedWidth(50);
        auto* control = new QSlider(Qt::Horizontal);
        control->setObjectName(QString::fromUtf8(slider.defaultsKey));
        control->setRange(0, kSliderSteps);
        control->setFixedWidth(120);
        const double span = slider.maxValue - slider.minValue;
        control->setValue(static_cast<int>(std::lround((slider.value - slider.minValue) / span * kSliderSteps)));
        control->setToolTip(QString::number(slider.value, 'g', 3));
        connect(control, &QSlider::valueChanged, this, [this, i, control](int value) {
            ToolSlider& s = controller_.selectedTool().sliders()[i];
            s.setValue(s.minValue + float(value) / kSliderSteps * (s.maxValue - s.minValue));
            control->setToolTip(QString::number(s.value, 'g', 3));
            controller_.selectedTool().storeSettings(UserDefaults::standard());
        });
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row, 1);
        sliders_.prepend(control);
    }
}

void BaseEditMapSceneView::layoutBars() {
    topBar_->setGeometry(0, 0, width(), kTopBarHeight);
    if (bottomBar_) {
        const int m = bottomSpacingForOptionButtons();
        bottomBar_->setGeometry(0, height() - m, width(), m);
    }
}

void BaseEditMapSceneView::resizeEvent(QResizeEvent* event) {
    BaseSceneView::resizeEvent(event);
    layoutBars();
}

QWidget* BaseEditMapSceneView::makeBottomBar() {
    bottomBar_ = new QWidget(this);
    bottomBar_->setObjectName(QStringLiteral("EditMapBottomBar"));
    bottomBar_->setAutoFillBackground(true);
    layoutBars();
    return bottomBar_;
}

Rect BaseEditMapSceneView::boundsForScene() const {
    return Rect{{0, double(kTopBarHeight)},
                {double(width()), double(height() - kTopBarHeight - bottomSpacingForOptionButtons())}};
}

bool BaseEditMapSceneView::completeRedrawWhenSceneDidChangeNotificationReceived() const {
    return controller_.completeRedrawWhenSceneDidChangeNotificationReceived();
}

void BaseEditMapSceneView::updateView() {
    BaseSceneView::updateView();
    filtersButton_->setEnabled(controller_.filtersEnabled());
}

void BaseEditMapSceneView::setOverlayPlaceholderText(const QString& text) {
    placeholderText_ = text;
    update();
}

void BaseEditMapSceneView::openFilter(int index) {
    Bitmap* map = controller_.target().imageRepToEdit();
    const auto filters = filterPullDownItems();
    if (!map || index < 0 || index >= static_cast<int>(filters.size())) return;
    openFilterSheet(filters[index].first, *map, &controller_, window());
}

void BaseEditMapSceneView::redisplay(const Rect& viewRect) { update(toQRectF(viewRect).toAlignedRect()); }

void BaseEditMapSceneView::mousePressEvent(QMouseEvent* event) {
    if (isPanButton(event)) {
        BaseSceneView::mousePressEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    controller_.setRectForScene(rectForScene());
    controller_.setSceneSize(scene().size());
    const QPointF p = event->position();
    if (std::optional<Rect> changed = controller_.mouseDown({p.x(), p.y()})) {
        pressed_ = true;
        setHeightmapDisplayNeedsUpdate();
        redisplay(*changed);
    }
}

void BaseEditMapSceneView::mouseMoveEvent(QMouseEvent* event) {
    if (isPanning()) {
        BaseSceneView::mouseMoveEvent(event);
        return;
    }
    const QPointF p = event->position();
    controller_.setRectForScene(rectForScene());
    controller_.setSceneSize(scene().size());
    if (pressed_ && (event->buttons() & Qt::LeftButton)) {
        if (std::optional<Rect> changed = controller_.mouseDragged({p.x(), p.y()})) {
            setHeightmapDisplayNeedsUpdate();
            redisplay(*changed);
        }
    }
    for (const Rect& r : controller_.mouseMoved({p.x(), p.y()})) redisplay(r);
}

void BaseEditMapSceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (isPanning()) {
        BaseSceneView::mouseReleaseEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    controller_.mouseUp();
    Q_EMIT strokeEnded();
}

void BaseEditMapSceneView::leaveEvent(QEvent* event) {
    BaseSceneView::leaveEvent(event);
    if (!controller_.showsCursor()) return;
    for (const Rect& r : controller_.mouseExited()) redisplay(r);
}

void BaseEditMapSceneView::drawEditedMap(QPainter& painter) {
    const Bitmap* map = controller_.target().imageRepToEdit();
    if (!map || map->format() != PixelFormat::Gray8) return;
    const QRectF scene = toQRectF(rectForScene());
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.fillRect(scene, QColor(0, 0, 0, 178));
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    const QImage image(map->data(), map->width(), map->height(), static_cast<qsizetype>(map->bytesPerRow()),
                       QImage::Format_Grayscale8);
    // Drawn like the heightmap: the map's last row at the top of the scene.
    painter.translate(0, scene.top() + scene.bottom());
    painter.scale(1, -1);
    painter.drawImage(scene, image);
    painter.restore();
}

void BaseEditMapSceneView::drawOverlay(QPainter& painter, const Rect& clip) {
    drawEditedMap(painter);
    BaseSceneView::drawOverlay(painter, clip);
    if (controller_.showsCursor()) {
        const double d = controller_.selectedTool().cursorRadius() * controller_.cursorScale();
        const Point c = controller_.lastCursorPosition();
        painter.save();
        const QRectF circle(c.x - d, c.y - d, 2 * d, 2 * d);
        painter.setPen(QPen(QColor(0, 0, 0, 90), 2));
        painter.drawEllipse(circle.translated(1, 1));
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, kOutlineOpacity), 2));
        painter.drawEllipse(circle);
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, kCrossOpacity), 2));
        painter.drawLine(QPointF(c.x - d, c.y), QPointF(c.x + d, c.y));
        painter.drawLine(QPointF(c.x, c.y - d), QPointF(c.x, c.y + d));
        painter.restore();
    }
    if (!controller_.target().imageRepToEdit() && !placeholderText_.isEmpty()) {
        const QRectF area = toQRectF(rectForScene()).adjusted(48, 48, -48, -48);
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(QColor(0, 0, 0, 128));
        painter.drawText(area.translated(3, 3), Qt::AlignCenter | Qt::TextWordWrap, placeholderText_);
        painter.setPen(Qt::white);
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, placeholderText_);
    }
}

}  // namespace korvane
