// A host that records what the library shows and answers with a set button.
#pragma once

#include <string>
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
        OrdwinSetHostUi(&ui);
        // Dialogs on, whatever an earlier test in this process left: the
        // quiet flag is stored before the missing connection is noticed.
        char none[] = "";
        VerifyFlashDownload(none, 0, 0);
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
};
