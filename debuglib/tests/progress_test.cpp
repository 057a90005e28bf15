// The progress dialog: the library computes, the host draws.
#include "errors/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors/messages.h"
#include "ordwin.h"

namespace {

using ordwin::ProgressDialog;

TEST(ProgressPercent, Text) {
    EXPECT_EQ(ProgressDialog::PercentFor(0, 0, 100), "0%");
    EXPECT_EQ(ProgressDialog::PercentFor(37, 0, 100), "37%");
    EXPECT_EQ(ProgressDialog::PercentFor(100, 0, 100), "100%");
    EXPECT_EQ(ProgressDialog::PercentFor(3, 1, 5), "50%");
    EXPECT_EQ(ProgressDialog::PercentFor(9, 0, 18), "50%");
    // Past either end the text stays at the end: the firmware update moves to pages + 1.
    EXPECT_EQ(ProgressDialog::PercentFor(150, 0, 100), "100%");
    EXPECT_EQ(ProgressDialog::PercentFor(19, 0, 18), "100%");
    EXPECT_EQ(ProgressDialog::PercentFor(-5, 0, 100), "0%");
    // A large range must not overflow the arithmetic.
    EXPECT_EQ(ProgressDialog::PercentFor(0x40000000, 0, 0x7FFFFFFF), "50%");
    // An empty range never divides by zero.
    EXPECT_EQ(ProgressDialog::PercentFor(0, 0, 0), "100%");
    EXPECT_EQ(ProgressDialog::PercentFor(-1, 0, 0), "0%");
}

struct Recorder {
    std::vector<std::string> events;
    int cancelPresses = 0;
    int pumps = 0;
};

class Progress : public ::testing::Test {
  protected:
    void SetUp() override {
        OrdwinHostUi ui{};
        ui.user = &rec_;
        ui.progressCreate = [](void* user, const char* caption, const char* status, int lower,
                               int upper) -> void* {
            auto* rec = static_cast<Recorder*>(user);
            rec->events.push_back(std::string("create ") + caption + "|" + status + "|" +
                                  std::to_string(lower) + ".." + std::to_string(upper));
            return rec;
        };
        ui.progressSetPosition = [](void* user, void* dialog, int position, const char* text) {
            auto* rec = static_cast<Recorder*>(user);
            EXPECT_EQ(dialog, rec);
            rec->events.push_back("pos " + std::to_string(position) + " " + (text ? text : "-"));
        };
        ui.progressSetStatus = [](void* user, void*, const char* status) {
            static_cast<Recorder*>(user)->events.push_back(std::string("status ") + status);
        };
        ui.progressCancelled = [](void* user, void*) {
            auto* rec = static_cast<Recorder*>(user);
            const int pressed = rec->cancelPresses > 0;
            rec->cancelPresses = 0;
            return pressed;
        };
        ui.progressDestroy = [](void* user, void*) {
            static_cast<Recorder*>(user)->events.push_back("destroy");
        };
        ui.pumpEvents = [](void* user) { ++static_cast<Recorder*>(user)->pumps; };
        OrdwinSetHostUi(&ui);
    }
    void TearDown() override {
        OrdwinSetHostUi(nullptr);
        ordwin::SetApplicationName("");
    }
    Recorder rec_;
};

TEST_F(Progress, HostDrawsWhatTheLibraryComputes) {
    {
        ProgressDialog dialog("Filling local memory image", 0, 200);
        dialog.SetPosition(1);   // 0%: unchanged text
        dialog.SetPosition(20);  // 10%
        dialog.SetPosition(21);  // still 10%
        dialog.SetStatus("Writing External Memory");
        dialog.SetPosition(200);
        EXPECT_EQ(dialog.PercentText(), "100%");
    }
    const std::vector<std::string> expected = {
        "create 8051 Flash Programmer|Filling local memory image|0..200",
        "pos 1 -",
        "pos 20 10%",
        "pos 21 -",
        "status Writing External Memory",
        "pos 200 100%",
        "destroy"};
    EXPECT_EQ(rec_.events, expected);
    EXPECT_EQ(rec_.pumps, 4) << "every position update runs the host's events first";
}

TEST_F(Progress, CaptionIsTheApplicationName) {
    ordwin::SetApplicationName("Cindral");
    { ProgressDialog dialog("x"); }
    ASSERT_FALSE(rec_.events.empty());
    EXPECT_EQ(rec_.events.front(), "create Cindral|x|0..100");
}

TEST_F(Progress, CancelIsReadAndCleared) {
    ProgressDialog dialog("Downloading");
    EXPECT_FALSE(dialog.Cancelled());
    rec_.cancelPresses = 1;
    EXPECT_TRUE(dialog.Cancelled());
    EXPECT_FALSE(dialog.Cancelled());
}

TEST(ProgressWithoutHost, RunsSilently) {
    ProgressDialog dialog("quiet", 0, 4);
    dialog.SetPosition(2);
    EXPECT_EQ(dialog.PercentText(), "50%");
    EXPECT_FALSE(dialog.Cancelled());
}

}  // namespace
