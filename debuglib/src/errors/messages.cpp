#include "errors/messages.h"

#include <cstdio>
#include <vector>

namespace ordwin {
namespace {

const int* g_dialogsDisabled = nullptr;
// Contexts made while another was bound (tests build their own); the
// earlier one is bound again when the later one goes.
std::vector<const int*> g_earlierContexts;
OrdwinHostUi g_host{};
bool g_hostSet = false;
std::string g_appName;

// What a user who cannot be asked answers: OK where OK is the only button,
// otherwise the refusing button.
int DefaultAnswer(int style) {
    switch (style & 0x0F) {
        case 0x00:
            return ORDWIN_ID_OK;
        case 0x04:
            return ORDWIN_ID_NO;
        default:
            return ORDWIN_ID_CANCEL;
    }
}

int Present(const std::string& text, int style) {
    const std::string& caption = g_appName.empty() ? std::string(kLibraryTitle) : g_appName;
    if (g_hostSet && g_host.messageBox != nullptr) {
        return g_host.messageBox(g_host.user, text.c_str(), caption.c_str(), style);
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return DefaultAnswer(style);
}

}  // namespace

void BindMessageContext(const int* dialogsDisabledFlag) {
    if (g_dialogsDisabled != nullptr) g_earlierContexts.push_back(g_dialogsDisabled);
    g_dialogsDisabled = dialogsDisabledFlag;
}

void UnbindMessageContext(const int* dialogsDisabledFlag) {
    if (g_dialogsDisabled == dialogsDisabledFlag) {
        g_dialogsDisabled = nullptr;
        if (!g_earlierContexts.empty()) {
            g_dialogsDisabled = g_earlierContexts.back();
            g_earlierContexts.pop_back();
        }
        return;
    }
    std::erase(g_earlierContexts, dialogsDisabledFlag);
}

void SetHostUi(const OrdwinHostUi* ui) {
    if (ui == nullptr) {
        g_host = OrdwinHostUi{};
        g_hostSet = false;
    } else {
        g_host = *ui;
        g_hostSet = true;
    }
}

const OrdwinHostUi* CurrentHostUi() {
    return g_hostSet ? &g_host : nullptr;
}

void SetApplicationName(const char* name) {
    g_appName = name != nullptr ? name : "";
}

const std::string& ApplicationName() {
    return g_appName;
}

int ShowMessage(const std::string& text, int style) {
    if (g_dialogsDisabled == nullptr || *g_dialogsDisabled != 0) return ORDWIN_ID_OK;
    return Present(text, style);
}

int ShowMessageAlways(const std::string& text, int style) {
    return Present(text, style);
}

void PumpHostEvents() {
    if (g_hostSet && g_host.pumpEvents != nullptr) g_host.pumpEvents(g_host.user);
}

std::string FormatMessage(const char* format, int value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace ordwin
