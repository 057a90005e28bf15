#include "errors/progress.h"

#include <algorithm>
#include <cstdio>

#include "errors/messages.h"
#include "ordwin.h"

namespace ordwin {

std::string ProgressDialog::PercentFor(int position, int lower, int upper) {
    long long percent;
    if (upper == lower) {
        // An empty range is complete as soon as it is reached.
        percent = position >= upper ? 100 : 0;
    } else {
        percent = (static_cast<long long>(position) - lower) * 100 /
                  (static_cast<long long>(upper) - lower);
        // A position past the end (the firmware update's last page) shows 100, not 5.
        percent = std::clamp(percent, 0LL, 100LL);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d%c", static_cast<int>(percent), '%');
    return text;
}

ProgressDialog::ProgressDialog(const std::string& status, int lower, int upper)
    : lower_(lower), upper_(upper) {
    const std::string& name = ApplicationName();
    const std::string caption = name.empty() ? std::string(kProgressTitle) : name;
    if (const OrdwinHostUi* host = CurrentHostUi(); host && host->progressCreate) {
        handle_ = host->progressCreate(host->user, caption.c_str(), status.c_str(), lower_, upper_);
    }
}

ProgressDialog::~ProgressDialog() {
    if (const OrdwinHostUi* host = CurrentHostUi(); host && host->progressDestroy) {
        host->progressDestroy(host->user, handle_);
    }
}

void ProgressDialog::SetPosition(int position) {
    PumpHostEvents();
    std::string text = PercentFor(position, lower_, upper_);
    const bool changed = text != percentText_;
    if (changed) percentText_ = std::move(text);
    if (const OrdwinHostUi* host = CurrentHostUi(); host && host->progressSetPosition) {
        host->progressSetPosition(host->user, handle_, position,
                                  changed ? percentText_.c_str() : nullptr);
    }
}

void ProgressDialog::SetStatus(const std::string& status) {
    if (const OrdwinHostUi* host = CurrentHostUi(); host && host->progressSetStatus) {
        host->progressSetStatus(host->user, handle_, status.c_str());
    }
}

bool ProgressDialog::Cancelled() {
    PumpHostEvents();
    if (const OrdwinHostUi* host = CurrentHostUi(); host && host->progressCancelled) {
        return host->progressCancelled(host->user, handle_) != 0;
    }
    return false;
}

}  // namespace ordwin
