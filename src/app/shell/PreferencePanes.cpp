#include "app/shell/PreferencePanes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

#include "app/shell/AppResources.h"
#include "app/views/BaseSceneView.h"
#include "app/shell/MyDocumentController.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

namespace korvane {

namespace {
constexpr const char* kHeightColoringKey = "editor_heightColoring";
constexpr const char* kWaterHeightColoringKey = "editor_waterHeightColoring";

// A pop-up whose index is the integer stored under key.
QComboBox* integerPopUp(const char* key, const QStringList& titles) {
    auto* popUp = new QComboBox;
    popUp->addItems(titles);
    const int stored = static_cast<int>(UserDefaults::standard().integerForKey(key));
    popUp->setCurrentIndex(stored >= 0 && stored < titles.size() ? stored : 0);
    QObject::connect(popUp, &QComboBox::currentIndexChanged, popUp, [key](int index) {
        UserDefaults::standard().setInteger(key, index);
        NotificationCenter::defaultCenter().post(BaseSceneView::kColoringDidChangeNotificationName, nullptr);
    });
    return popUp;
}

QSpinBox* integerField(const char* key, int minimum, int maximum) {
    auto* field = new QSpinBox;
    field->setRange(minimum, maximum);
    field->setValue(static_cast<int>(UserDefaults::standard().integerForKey(key)));
    QObject::connect(field, &QSpinBox::valueChanged, field,
                     [key](int value) { UserDefaults::standard().setInteger(key, value); });
    return field;
}

QLabel* note(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}
}  // namespace

QIcon PreferencePaneEditor::icon() const { return korvaneIcon("PreferencePaneEditor"); }

QWidget* PreferencePaneEditor::createContentView() {
    auto* view = new QWidget;
    auto* form = new QFormLayout(view);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("Land colouring:"),
                 integerPopUp(kHeightColoringKey, {QStringLiteral("Grey to snow"), QStringLiteral("Green to yellow"),
                                                   QStringLiteral("Contour bands"), QStringLiteral("Green, yellow, red")}));
    form->addRow(QStringLiteral("Under water:"),
                 integerPopUp(kWaterHeightColoringKey, {QStringLiteral("Blue"), QStringLiteral("Sand")}));
    auto* reopen = new QCheckBox(QStringLiteral("Reopen the most recent document at launch"));
    reopen->setChecked(UserDefaults::standard().integerForKey(MyDocumentController::kStartupActionKey) == 1);
    QObject::connect(reopen, &QCheckBox::toggled, reopen, [](bool on) {
        UserDefaults::standard().setInteger(MyDocumentController::kStartupActionKey, on ? 1 : 0);
    });
    form->addRow(QStringLiteral("At launch:"), reopen);
    form->addRow(note(QStringLiteral("The colourings apply to the top-down map of every layer editor.")));
    return view;
}

QIcon PreferencePanePreview::icon() const { return korvaneIcon("PreferencePanePreview"); }

QWidget* PreferencePanePreview::createContentView() {
    auto* view = new QWidget;
    auto* form = new QFormLayout(view);
    form->addRow(QStringLiteral("Anti-aliasing passes:"), integerField(kAntiAliasingPassesKey, 1, 8));
    form->addRow(QStringLiteral("Anti-aliasing samples:"), integerField(kAntiAliasingSamplesKey, 1, 16));
    form->addRow(note(QStringLiteral("Live previews in the editor render with these settings; "
                                     "higher values look smoother and take longer.")));
    return view;
}

void PreferencePanePreview::setDefaultPreferences() {
    UserDefaults& defaults = UserDefaults::standard();
    for (const char* key : {kAntiAliasingPassesKey, kAntiAliasingSamplesKey}) {
        if (!defaults.objectForKey(key)) defaults.setInteger(key, 1);
    }
}

}  // namespace korvane
