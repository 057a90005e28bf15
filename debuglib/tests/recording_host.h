// A host that records what the library shows and answers with a set button.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ordwin.h"

struct ShownMessage {
    std::string text;
    std::string caption;
    int style;
};

class RecordingHost {
  public:
    RecordingHost() {
        OrdwinHostUi ui{};
        ui.user = this;
        ui.messageBox = [](void* user, const char* text, const char* caption, int style) {
            auto* self = static_cast<RecordingHost*>(user);
            self->messages.push_back({text, caption, style});
            return self->answer;
        };
        ui.progressCreate = [](void* user, const char*, const char*, int lower,
                               int upper) -> void* {
            auto* self = static_cast<RecordingHost*>(user);
            self->progressRange = {lower, upper};
            ++self->progressOpened;
            return self;
        };
        ui.progressSetPosition = [](void* user, void*, int position, const char*) {
            static_cast<RecordingHost*>(user)->progressPositions.push_back(position);
        };
        ui.progressCancelled = [](void* user, void*) {
            auto* self = static_cast<RecordingHost*>(user);
            return self->cancelAtPosition >= 0 && !self->progressPositions.empty() &&
                           self->progressPositions.back() >= self->cancelAtPosition
                       ? 1
                       : 0;
        };
        ui.progressDestroy = [](void* user, void*) {
            ++static_cast<RecordingHost*>(user)->progressClosed;
        };
        OrdwinSetHostUi(&ui);
        // Dialogs on, whatever an earlier test in this process left: the
        // quiet flag is stored before the missing connection is noticed.
        char file[] = "none.hex";
        Download(file, 0, 0, 0, -1, 0, 0);
    }
    ~RecordingHost() { OrdwinSetHostUi(nullptr); }
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    bool Saw(const std::string& text) const {
        for (const ShownMessage& m : messages) {
            if (m.text == text) return true;
        }
        return false;
    }

    std::vector<ShownMessage> messages;
    int answer = ORDWIN_ID_OK;
    // Progress dialog: range, positions shown, and where Cancel is pressed.
    std::pair<int, int> progressRange{0, 0};
    std::vector<int> progressPositions;
    int cancelAtPosition = -1;
    int progressOpened = 0;
    int progressClosed = 0;
};
