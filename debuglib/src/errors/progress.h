// The progress dialog of long operations. The library keeps the range, the
// position and the percent text; the host only draws what it is handed.
#pragma once

#include <string>

namespace ordwin {

class ProgressDialog {
  public:
    // Opens the dialog with the application name as caption; the bar runs
    // from lower to upper (0..100 unless the operation names its own).
    explicit ProgressDialog(const std::string& status, int lower = 0, int upper = 100);
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    // Runs the host's pending events, moves the bar and rewrites the percent
    // text when it changed.
    void SetPosition(int position);
    void SetStatus(const std::string& status);
    // Reads and clears the cancel flag; pending events run first.
    bool Cancelled();

    const std::string& PercentText() const { return percentText_; }

    // The percent text of a position within a range.
    static std::string PercentFor(int position, int lower, int upper);

  private:
    void* handle_ = nullptr;
    int lower_ = 0;
    int upper_ = 100;
    std::string percentText_ = "0%";
};

}  // namespace ordwin
