#include "adapter_list.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zt/hex_digit.h"
#include "zt/platform/files.h"
#include "zt/platform/places.h"

namespace wickport {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(sep, start);
        if (end == std::string_view::npos) {
            parts.push_back(s.substr(start));
            return parts;
        }
        parts.push_back(s.substr(start, end - start));
        start = end + 1;
    }
}

// Serials are single printable tokens; the list's separators cannot be part of one.
bool ValidSerialChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != ',' && c != '=' && c != ':' && c != ';';
}

bool ValidKey(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

std::string Quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) {
            static const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Parses a 1..4 digit hex number with an optional 0x prefix.
bool ParseHex16(std::string_view s, uint16_t* out) {
    s = Trim(s);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 4) return false;
    unsigned value = 0;
    for (char c : s) {
        const int d = zt::HexDigit(c);
        if (d < 0) return false;
        value = value * 16 + unsigned(d);
    }
    *out = static_cast<uint16_t>(value);
    return true;
}

bool ParseUsbId(std::string_view item, UsbId* id) {
    size_t colon = item.find(':');
    return colon != std::string_view::npos && ParseHex16(item.substr(0, colon), &id->vendor) &&
           ParseHex16(item.substr(colon + 1), &id->product);
}

void AddOnce(std::vector<UsbId>* ids, const UsbId& id) {
    for (const UsbId& e : *ids) {
        if (e.vendor == id.vendor && e.product == id.product) return;
    }
    ids->push_back(id);
}

// Far more than any list of adapters needs; a bigger file is not an id list.
constexpr off_t kMaxIdFileSize = 64 * 1024;

}  // namespace

std::vector<UsbId> UsbIdSource::Load() {
    std::vector<std::string> problems;
    std::vector<UsbId> ids =
        ConfiguredUsbIds(std::getenv("WICKPORT_USB_IDS"), UsbIdFiles(), &problems);
    for (const auto& p : problems) {
        if (told_.insert(p).second) std::fprintf(stderr, "wickport: %s\n", p.c_str());
    }
    return ids;
}

bool SameSerial(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<VirtualDescription> ParseVirtualList(std::string_view text,
                                                 std::vector<std::string>* problems) {
    std::vector<VirtualDescription> list;
    auto problem = [&](std::string_view item, const std::string& why) {
        if (problems) problems->push_back("skipping " + Quoted(item) + ": " + why);
    };
    for (std::string_view raw : Split(text, ';')) {
        std::string_view item = Trim(raw);
        if (item.empty()) continue;

        size_t colon = item.find(':');
        std::string_view serial = Trim(item.substr(0, colon));
        if (serial.empty()) {
            problem(item, "no serial number");
            continue;
        }
        if (serial.size() > kMaxSerialLength) {
            problem(item, "serial number longer than 127 characters");
            continue;
        }
        bool serial_ok = true;
        for (char c : serial) serial_ok = serial_ok && ValidSerialChar(c);
        if (!serial_ok) {
            problem(item, "serial number must be printable text without spaces or , = : ;");
            continue;
        }

        VirtualDescription d;
        d.serial = std::string(serial);
        bool ok = true;
        if (colon != std::string_view::npos) {
            std::string_view opts = Trim(item.substr(colon + 1));
            // "SERIAL:" with nothing after it simply has no options.
            if (!opts.empty()) {
                for (std::string_view pair : Split(opts, ',')) {
                    size_t eq = pair.find('=');
                    if (eq == std::string_view::npos) {
                        problem(item, "option " + Quoted(Trim(pair)) + " is not key=value");
                        ok = false;
                        break;
                    }
                    std::string_view key = Trim(pair.substr(0, eq));
                    std::string_view value = Trim(pair.substr(eq + 1));
                    if (!ValidKey(key)) {
                        problem(item, "bad option name " + Quoted(key));
                        ok = false;
                        break;
                    }
                    d.options.emplace_back(std::string(key), std::string(value));
                }
            }
        }
        if (!ok) continue;

        bool repeated = false;
        for (const auto& earlier : list)
            repeated = repeated || SameSerial(earlier.serial, d.serial);
        if (repeated) {
            problem(item, "serial number listed twice");
            continue;
        }
        list.push_back(std::move(d));
    }
    return list;
}

std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* problems) {
    std::vector<UsbId> ids;
    for (std::string_view raw : Split(text, ',')) {
        std::string_view item = Trim(raw);
        if (item.empty()) continue;
        UsbId id;
        if (!ParseUsbId(item, &id)) {
            if (problems) problems->push_back("skipping " + Quoted(item) + ": not VID:PID in hex");
            continue;
        }
        ids.push_back(id);
    }
    return ids;
}

}  // namespace wickport

namespace wickport {

std::vector<UsbId> ParseUsbIdFile(std::string_view text, std::string_view source,
                                  std::vector<std::string>* problems) {
    std::vector<UsbId> ids;
    int number = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++number;
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        UsbId id;
        if (!ParseUsbId(line, &id)) {
            if (problems) {
                problems->push_back(std::string(source) + ":" + std::to_string(number) +
                                    ": skipping " + Quoted(line) + ": not VID:PID in hex");
            }
            continue;
        }
        ids.push_back(id);
    }
    return ids;
}

bool ReadIdFile(const std::string& path, std::string* text, std::string* problem) {
    problem->clear();
    zt::platform::ReadFailure failure;
    if (zt::platform::ReadRegularFile(path, kMaxIdFileSize, text, &failure)) return true;
    using Kind = zt::platform::ReadFailure::Kind;
    switch (failure.kind) {
        case Kind::kMissing:
            break;
        case Kind::kOpen:
        case Kind::kRead:
            *problem = path + ": " + failure.reason;
            break;
        case Kind::kNotRegular:
        case Kind::kTooLarge:
            *problem = path + ": not a regular file of at most 64 KiB";
            break;
    }
    return false;
}

// /etc/wickport/usb-ids on Linux, %ProgramData%\wickport\usb-ids on Windows.
std::string SystemIdFile() {
    const std::string base = zt::platform::SystemConfigHome();
    if (base.empty()) return {};
    return base + zt::platform::kPathSeparator + "wickport" + zt::platform::kPathSeparator +
           "usb-ids";
}

std::vector<std::string> UsbIdFiles() {
    std::vector<std::string> files;
    const std::string config = zt::platform::ConfigHome();
    if (!config.empty()) {
        files.push_back(config + zt::platform::kPathSeparator + "wickport" +
                        zt::platform::kPathSeparator + "usb-ids");
    }
    if (const std::string system = SystemIdFile(); !system.empty()) files.push_back(system);
    return files;
}

std::vector<UsbId> ConfiguredUsbIds(const char* envText, const std::vector<std::string>& files,
                                    std::vector<std::string>* problems) {
    std::vector<UsbId> ids;
    std::vector<std::string> envProblems;
    if (envText) {
        for (const UsbId& id : ParseUsbIds(envText, &envProblems)) AddOnce(&ids, id);
    }
    if (problems) {
        for (const auto& p : envProblems) problems->push_back("WICKPORT_USB_IDS: " + p);
    }
    for (const std::string& path : files) {
        std::string text, problem;
        if (!ReadIdFile(path, &text, &problem)) {
            if (problems && !problem.empty()) problems->push_back(problem);
            continue;
        }
        for (const UsbId& id : ParseUsbIdFile(text, path, problems)) AddOnce(&ids, id);
    }
    return ids;
}

}  // namespace wickport
