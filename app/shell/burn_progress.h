// The window's strip that shows a running burn: which image goes in, how far the
// burn is, and how long it has taken. Hidden while nothing burns.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "core/operation_record.h"

namespace cindral {

class CBurnProgress final : public QWidget, public IBurnProgress {
    Q_OBJECT
  public:
    explicit CBurnProgress(QWidget* parent = nullptr);

    void BurnStarted() override;
    void ImageStarted(long long index, long long count) override;
    void Elapsed(std::chrono::milliseconds elapsed) override;
    void BurnEnded() override;

    QString StepText() const { return step_->text(); }
    QString ElapsedText() const { return elapsed_->text(); }
    const QProgressBar& Bar() const { return *bar_; }

  private:
    QLabel* step_;
    QProgressBar* bar_;
    QLabel* elapsed_;
};

}  // namespace cindral
