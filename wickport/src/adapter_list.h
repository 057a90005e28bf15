// Parsing of the environment texts that say which adapters to list.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wickport {

// key=value pairs in the order given; the same shape the simulator takes them in.
using VirtualOptions = std::vector<std::pair<std::string, std::string>>;

struct VirtualDescription {
    std::string serial;
    VirtualOptions options;
};

// WICKPORT_VIRTUAL: "SERIAL[:key=value,...][;...]". Malformed descriptions
// (and repeated serials) are left out and explained in *problems.
std::vector<VirtualDescription> ParseVirtualList(std::string_view text,
                                                 std::vector<std::string>* problems);

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
};

// WICKPORT_USB_IDS: "VID:PID[,VID:PID...]" in hex, optional 0x prefixes.
std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* problems);

// One id file: one VID:PID a line, '#' starts a comment. Problems name the
// source and line.
std::vector<UsbId> ParseUsbIdFile(std::string_view text, std::string_view source,
                                  std::vector<std::string>* problems);

// Reads a small regular file (an id list). False, with *problem empty, when it
// does not exist; false with *problem set when it is not a readable list.
bool ReadIdFile(const std::string& path, std::string* text, std::string* problem);

// The id files a user's programs read: $XDG_CONFIG_HOME/wickport/usb-ids (by
// default ~/.config/wickport/usb-ids), then the machine's SystemIdFile().
std::string SystemIdFile();
std::vector<std::string> UsbIdFiles();

// The ids of WICKPORT_USB_IDS (envText, null when unset) and of the files, in
// that order, each id once.
std::vector<UsbId> ConfiguredUsbIds(const char* envText, const std::vector<std::string>& files,
                                    std::vector<std::string>* problems);

// The configured ids as a HID backend reads them at each enumeration, every
// problem with them said on stderr once, not at every enumeration.
class UsbIdSource {
  public:
    std::vector<UsbId> Load();

  private:
    std::set<std::string> told_;
};

// Serial numbers are compared without regard to letter case.
bool SameSerial(std::string_view a, std::string_view b);

// Longest serial the library hands out (Ordwin keeps 128 bytes with the NUL).
inline constexpr size_t kMaxSerialLength = 127;

}  // namespace wickport
