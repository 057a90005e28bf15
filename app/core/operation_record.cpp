#include "operation_record.h"

#include "text.h"
#include "zt/firmware_layout.h"

namespace cindral {

std::u16string OperationEndLine(std::u16string_view operation, std::u16string_view serial,
                                std::u16string_view fileKind, std::u16string_view file,
                                std::u16string_view outcome, long long imagesBurned) {
    std::u16string line(operation);
    line += u" ended: adapter ";
    line += serial.empty() ? u"?" : serial;
    if (!file.empty()) {
        line += u", ";
        line += fileKind;
        line += u" ";
        line += file;
    }
    line += u": ";
    // One line in the log: the box's lines joined, its trailing breaks dropped.
    std::u16string text(outcome);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
        text.pop_back();
    bool breakPending = false;
    for (char16_t c : text) {
        if (c == u'\n' || c == u'\r') {
            breakPending = true;
            continue;
        }
        if (breakPending) line += u"; ";
        breakPending = false;
        line += c;
    }
    if (imagesBurned >= 0) line += WidenText(Format("; images burned: %lld", imagesBurned));
    return line;
}

BurnTally::BurnTally(IBurnProgress* progress, Clock clock)
    : progress_(progress), clock_(std::move(clock)), start_(clock_()) {}

void BurnTally::ImageStarted(long long index, long long count) {
    if (progress_) progress_->ImageStarted(index, count);
}

void BurnTally::ImageJudged(long long, const uint8_t block[4]) {
    if (block[0] == zt::burner::kResultSuccess) ++burned_;
}

bool BurnTally::StopRequested() {
    if (progress_)
        progress_->Elapsed(
            std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - start_));
    return false;
}

int CheckedBurn::Run(bool direct) {
    const std::u16string file =
        direct ? engine.Options().directNvmBurnFile : engine.Options().burnFile;
    // Not connected: the engine says so; there is nothing to ask and no chip to log.
    if (host.DeviceConnected() == 0) return direct ? engine.DirectBurn() : engine.Burn();
    if (mark.Stale(file) && !ConfirmStaleBurn(recorder, file)) return -1;
    if (BurnFileMapReportsTrouble(file) && !ConfirmTroubledBurn(recorder)) return -1;
    BurnTally tally(progress, clock);
    engine.SetBurnMonitor(&tally);
    if (progress) progress->BurnStarted();
    recorder.Start();
    const int result = direct ? engine.DirectBurn() : engine.Burn();
    std::u16string outcome = recorder.Stop();
    engine.SetBurnMonitor(nullptr);
    if (progress) progress->BurnEnded();
    if (outcome.empty()) outcome = result == 1 ? u"Burn Succeeded" : u"Burn failed";
    host.WriteOutputLine(OperationEndLine(direct ? u"Direct Burn" : u"Burn", host.AdapterSerial(),
                                          u"burn file", file, outcome, tally.Burned()));
    return result;
}

}  // namespace cindral
