#include "app/sheets/MapFilterSheet.h"

#include <cmath>
#include <thread>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace korvane {

namespace {

// How often the sheet looks at a running computation (progress and completion).
constexpr int kPollIntervalMs = 20;
// The progress bar's resolution.
constexpr int kProgressSteps = 1000;

std::atomic<int> runningWorkers{0};

}  // namespace

// One run of the filter on the worker thread. The worker writes only the filter's working copy and
// the two flags; everything else belongs to the main thread.
struct MapFilterSheet::Computation {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    bool completed = false;  // written by the worker before `finished`, read after it
    int version = 0;
};

MapFilterSheet::MapFilterSheet(std::unique_ptr<BaseFilterSheet> filter, QWidget* parent)
    : BaseSheet(parent), filter_(std::move(filter)) {
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(kPollIntervalMs);
    connect(pollTimer_, &QTimer::timeout, this, &MapFilterSheet::pollComputation);
}

MapFilterSheet::~MapFilterSheet() {
    stopComputation();
}

int MapFilterSheet::runningComputations() {
    return runningWorkers.load();
}

QString MapFilterSheet::title() const {
    return QString::fromStdString(filter_->title());
}

void MapFilterSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    controls_ = new QWidget;
    auto* form = new QFormLayout(controls_);
    form->setContentsMargins(0, 0, 0, 0);
    buildControls(form);
    layout->addWidget(controls_);

    progressIndicator_ = new QProgressBar;
    progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator_->setTextVisible(false);
    // The bar keeps its place while hidden, so the sheet does not jump when a computation starts.
    QSizePolicy policy = progressIndicator_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    progressIndicator_->setSizePolicy(policy);
    progressIndicator_->hide();
    layout->addWidget(progressIndicator_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons_->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons_, &QDialogButtonBox::accepted, this, &MapFilterSheet::ok);
    connect(buttons_, &QDialogButtonBox::rejected, this, &MapFilterSheet::cancel);
    layout->addWidget(buttons_);
    updateState();
}

void MapFilterSheet::sheetDidAppear() {
    // The first preview, once: showing the sheet again (a window moved between screens) changes nothing.
    if (didAppear_ || closed_) return;
    didAppear_ = true;
    valueChanged();
}

void MapFilterSheet::reject() {
    cancel();
}

void MapFilterSheet::valueChanged() {
    if (closed_ || okPending_) return;
    ++settingsVersion_;
    recompute();
}

void MapFilterSheet::valueChangedWithoutRedisplay() {
    if (closed_ || okPending_) return;
    ++settingsVersion_;
    updateState();
}

void MapFilterSheet::recompute() {
    if (closed_) return;
    wantsComputation_ = true;
    if (computation_) {
        // The running computation is out of date: it stops at its next check and the tick that takes
        // it over starts the next one with the settings of that moment.
        computation_->stop = true;
    } else {
        startComputation();
    }
}

void MapFilterSheet::startComputation() {
    wantsComputation_ = false;
    applyControlsToFilter();
    computation_ = std::make_unique<Computation>();
    computation_->version = settingsVersion_;
    Computation* computation = computation_.get();
    BaseFilterSheet* filter = filter_.get();
    ++runningWorkers;
    computation->thread = std::thread([computation, filter] {
        computation->completed = filter->computePreview(&computation->stop);
        computation->finished = true;
        --runningWorkers;
    });
    pollTimer_->start();
    updateState();
}

void MapFilterSheet::stopComputation() {
    if (!computation_) return;
    computation_->stop = true;
    computation_->thread.join();
    computation_.reset();
    pollTimer_->stop();
}

void MapFilterSheet::pollComputation() {
    if (!computation_) {
        pollTimer_->stop();
        return;
    }
    if (!computation_->finished) {
        if (reportsProgress() && progressIndicator_) {
            progressIndicator_->setValue(static_cast<int>(std::lround(filter_->progress() * kProgressSteps)));
        }
        return;
    }
    computation_->thread.join();
    const bool completed = computation_->completed;
    const int version = computation_->version;
    computation_.reset();
    if (completed) {
        filter_->showPreview();
        shownVersion_ = version;
    }
    if (wantsComputation_ || (okPending_ && !isPreviewUpToDate())) {
        startComputation();
        return;
    }
    pollTimer_->stop();
    if (okPending_) {
        finishOk();
        return;
    }
    updateState();
}

void MapFilterSheet::ok() {
    if (closed_) return;
    if (!computation_ && isPreviewUpToDate()) {
        finishOk();
        return;
    }
    okPending_ = true;
    if (!computation_) {
        startComputation();
    } else if (computation_->version != settingsVersion_) {
        computation_->stop = true;
    }
    updateState();
}

void MapFilterSheet::finishOk() {
    okPending_ = false;
    closed_ = true;
    filter_->ok();
    close();
    deleteLater();
}

void MapFilterSheet::cancel() {
    if (closed_) return;
    okPending_ = false;
    stopComputation();
    closed_ = true;
    filter_->cancel();
    close();
    deleteLater();
}

void MapFilterSheet::updateState() {
    if (!controls_) return;
    const bool computing = computation_ != nullptr;
    controls_->setEnabled(!okPending_);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!okPending_);
    if (computing) {
        if (reportsProgress()) {
            progressIndicator_->setRange(0, kProgressSteps);
            progressIndicator_->setValue(0);
        } else {
            progressIndicator_->setRange(0, 0);  // busy
        }
    }
    progressIndicator_->setVisible(computing);
    stateChanged();
}

}  // namespace korvane
