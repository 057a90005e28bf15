// The library's channel to the user: message boxes and the progress dialog,
// both drawn by the host through the callbacks it registered.
#pragma once

#include <string>

#include "ordwin.h"

namespace ordwin {

// Caption used when the host never named itself with SetAppName.
inline constexpr const char* kLibraryTitle = "Ordwin";
// Caption of the progress dialog before SetAppName.
inline constexpr const char* kProgressTitle = "8051 Flash Programmer";

// The debug context announces itself here so that messages can honour its
// dialogs-disabled flag, and withdraws when it goes.
void BindMessageContext(const int* dialogsDisabledFlag);
void UnbindMessageContext(const int* dialogsDisabledFlag);

void SetHostUi(const OrdwinHostUi* ui);
// The registered callbacks, or null when no host registered any.
const OrdwinHostUi* CurrentHostUi();
void SetApplicationName(const char* name);
const std::string& ApplicationName();

// Shows text unless the context is missing or dialogs are disabled, in which
// case the answer is OK (1), so a suppressed question counts as accepted.
// Returns the button pressed.
int ShowMessage(const std::string& text, int style = ORDWIN_MB_OK_ICON);

// The few reports that must reach the user even with dialogs disabled.
int ShowMessageAlways(const std::string& text, int style = ORDWIN_MB_OK);

// Lets the host handle its pending events during a long wait.
void PumpHostEvents();

// Builds a message from a printf format with one int, the way the fixed
// message texts carry their numbers.
std::string FormatMessage(const char* format, int value);

}  // namespace ordwin
