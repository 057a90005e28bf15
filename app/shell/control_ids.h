// Control, dialog template and menu command ids of Cindral's windows. A widget carries its
// id as its object name; tests and saved layouts find controls by it, so the values stay.
// The same number means different controls on different pages, hence one namespace each.
#pragma once

#include <QObject>
#include <QString>

namespace cindral {

namespace ids {

// The default and cancel buttons of any dialog.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

namespace about {
inline constexpr int kTemplate = 100;
inline constexpr int kVersionLabel = 1052;  // "Cindral Version 1.3"
}  // namespace about

namespace main_window {
inline constexpr int kTemplate = 102;        // "Cindral"
inline constexpr int kMenu = 129;            // the menu bar
inline constexpr int kTabFrame = 1000;       // the page frame
inline constexpr int kAdapterCombo = 1031;   // adapter serial numbers
inline constexpr int kConnectButton = 1032;  // "Connect" / "Disconnect"
inline constexpr int kResetButton = 1033;    // "System Reset/Reboot"
inline constexpr int kExitButton = kOk;      // "Exit"
inline constexpr int kFileOpen = 57601;      // "&Open..."
inline constexpr int kFileSave = 57603;      // "&Save"
inline constexpr int kFileSaveAs = 32772;    // "Save &As..."
inline constexpr int kFileExit = 32773;      // "E&xit"
inline constexpr int kHelpAbout = 32774;     // "&About..."
}  // namespace main_window

// The "Main" tab: compose and burn.
namespace main_page {
inline constexpr int kTemplate = 130;
inline constexpr int kBootList = 1003;            // User Boot files
inline constexpr int kBootAddButton = 1004;       // "Add..."
inline constexpr int kBootClearAllButton = 1005;  // "Clear All"
inline constexpr int kBootAddressButton = 1006;   // "NVM Addr..."
inline constexpr int kAppList = 1007;             // User App files
inline constexpr int kAppAddButton = 1008;        // "Add..."
inline constexpr int kAppClearAllButton = 1009;   // "Clear All"
inline constexpr int kAppAddressButton = 1010;    // "NVM Addr..."
inline constexpr int kComposeButton = 1011;       // "Compose"
inline constexpr int kBurnButton = 1012;          // "Burn"
inline constexpr int kBurnCountEdit = 1014;       // never shown, holds 0
inline constexpr int kNewBurnFileButton = 1015;   // "New..."
inline constexpr int kOpenBurnFileButton = 1016;  // "Open..."
inline constexpr int kOverwriteBox = 1018;        // "Overwrite"
inline constexpr int kMapList = 1020;             // "NVM Map (Composer Report)"
inline constexpr int kStrictRadio = 1021;         // "Strict"
inline constexpr int kLogicOrRadio = 1022;        // "Logic OR"
inline constexpr int kUserBox = 1023;             // "User"
inline constexpr int kRunBox = 1024;              // "Run"
inline constexpr int kXoEarlyEnableBox = 1025;    // "XO Early Enable"
inline constexpr int kExeUserBootBox = 1026;      // "Exe User Boot"
inline constexpr int kNvmDisableBox = 1027;       // "NVM Disable"
inline constexpr int kMtpDisableBox = 1028;       // "MTP Disable"
inline constexpr int kRamClearBox = 1029;         // "RAM Clear"
inline constexpr int kC2DisableBox = 1030;        // "C2 Disable"
inline constexpr int kBurnFileEdit = 1045;        // NVM burn file path
inline constexpr int kUserGroup = 1063;           // "User"
inline constexpr int kRunGroup = 1064;            // "Run"
inline constexpr int kComposeModeGroup = 1065;    // "Compose Mode"
inline constexpr int kBootFilesLabel = 1066;      // "User Boot Files"
inline constexpr int kAppFilesLabel = 1067;       // "User App Files"
inline constexpr int kOverlayLabel = 1068;        // "(Overlay)"
inline constexpr int kBurnCountLabel = 1069;      // "Successful burn count:"
inline constexpr int kFileListMenu = 136;         // "Clear List", the file lists' context menu
inline constexpr int kClearCommand = 32775;       // "Clear"
}  // namespace main_page

namespace direct_burn {
inline constexpr int kTemplate = 131;
inline constexpr int kDirectTextEdit = 1014;        // "Direct Burn Text (@addr data)"
inline constexpr int kNewBurnFileButton = 1015;     // "New..."
inline constexpr int kOpenBurnFileButton = 1016;    // "Open..."
inline constexpr int kBurnButton = 1032;            // "Burn"
inline constexpr int kFromFileRadio = 1039;         // "File"
inline constexpr int kFromTextRadio = 1040;         // "Direct"
inline constexpr int kDirectFileEdit = 1041;        // Direct Burn File path
inline constexpr int kOpenDirectFileButton = 1042;  // "Open..."
inline constexpr int kStrictRadio = 1043;           // "Strict"
inline constexpr int kLogicOrRadio = 1044;          // "Logic OR"
inline constexpr int kComposeButton = 1047;         // "Compose"
inline constexpr int kBurnFileEdit = 1050;          // NVM Burn File path
inline constexpr int kOverwriteBox = 1051;          // "Overwrite"
}  // namespace direct_burn

namespace nvm_address {
inline constexpr int kTemplate = 133;      // "NVM Address"
inline constexpr int kAddressEdit = 1034;  // "NVM Address:"
}  // namespace nvm_address

namespace device {
inline constexpr int kTemplate = 134;
inline constexpr int kOutputEdit = 1035;  // "Composer Output"
inline constexpr int kInfoList = 1037;    // "Device Information"
}  // namespace device

namespace mtp {
inline constexpr int kTemplate = 137;
inline constexpr int kHexPathEdit = 1014;    // the hex file last opened
inline constexpr int kReadButton = 1032;     // "Read from MTP"
inline constexpr int kWriteButton = 1033;    // "Write to MTP"
inline constexpr int kOpenHexButton = 1056;  // "Open Hex File..."
inline constexpr int kContentEdit = 1060;    // "MTP Content:"
inline constexpr int kSaveHexButton = 1062;  // "Save Hex File..."
}  // namespace mtp

namespace crc {
inline constexpr int kTemplate = 139;
inline constexpr int kRunButton = 1033;    // "Run"
inline constexpr int kClearButton = 1062;  // "Clear"
inline constexpr int kOutputEdit = 1070;   // "CRC Calculation Output"
}  // namespace crc

}  // namespace ids

inline QString ControlName(int id) {
    return QString::number(id);
}

inline void SetControlId(QObject& object, int id) {
    object.setObjectName(ControlName(id));
}

// The first descendant of parent with this id, or nullptr.
template <typename T = QObject>
T* ById(const QObject& parent, int id) {
    return parent.findChild<T*>(ControlName(id));
}

}  // namespace cindral
