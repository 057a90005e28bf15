#include "shell/burn_progress.h"

#include <QHBoxLayout>

#include "core/text.h"

namespace cindral {

CBurnProgress::CBurnProgress(QWidget* parent)
    : QWidget(parent), step_(new QLabel), bar_(new QProgressBar), elapsed_(new QLabel) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(step_);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(80);
    row->addWidget(bar_, 1);
    row->addWidget(elapsed_);
    hide();
}

void CBurnProgress::BurnStarted() {
    step_->setText(QStringLiteral("Starting burn"));
    bar_->setRange(0, 1);
    bar_->setValue(0);
    elapsed_->setText(QStringLiteral("0:00"));
    show();
}

void CBurnProgress::ImageStarted(long long index, long long count) {
    step_->setText(QStringLiteral("Burning image %1 of %2").arg(index).arg(count));
    const int n = static_cast<int>(std::max(1LL, std::min(count, 1000LL)));
    bar_->setRange(0, n);
    bar_->setValue(static_cast<int>(std::clamp(index - 1, 0LL, static_cast<long long>(n))));
}

void CBurnProgress::Elapsed(std::chrono::milliseconds elapsed) {
    const long long seconds = elapsed.count() / 1000;
    elapsed_->setText(QString::fromStdString(Format("%lld:%02lld", seconds / 60, seconds % 60)));
}

void CBurnProgress::BurnEnded() {
    hide();
}

}  // namespace cindral
