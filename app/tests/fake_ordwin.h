// Scripted double of the library binding, for unit tests of the page logic.
// Every call is logged by name so that tests can check which calls were made.
#pragma once

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/ordwin_api.h"
#include "core/ports.h"

namespace cindral::test {

class FakeOrdwin : public IOrdwin {
  public:
    std::vector<std::string> adapters;
    int devicesResult = 0;
    std::map<int, int> serialResult;  // index -> result (default 0)
    int connectResult = 0;
    int disconnectResult = 0;
    int hardwareIdResult = 0;
    uint16_t hardwareId = kZeltraHardwareId;
    int deviceNameResult = 0;
    std::string deviceName = "C8051F310";
    std::string errorText = "Not connected to target.";
    std::array<uint8_t, 65536> xdata{};
    std::map<unsigned, int> xdataFail;  // start address -> failing result
    std::array<uint8_t, 256> sfr{};
    std::map<unsigned, int> sfrFail;
    std::array<uint8_t, 256> ram{};
    std::map<int, std::array<uint8_t, 2>> pageCrc;
    // Fails the n-th GetPageCRC call (1-based), 0 = never.
    int failPageCrcCall = 0;
    int ramResult = 0;
    uint8_t indirect[256] = {};

    std::vector<std::string> calls;
    std::string lastSerial;
    int connectedFlag = 0;
    int pageCrcCalls = 0;

    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& c : calls) n += c == name;
        return n;
    }

    int ConnectUSB(const char* sn, int protocol, int option, int disableDialogs) override {
        calls.push_back("ConnectUSB");
        lastSerial = sn ? sn : "";
        lastProtocol = protocol;
        lastOption = option;
        lastDisable = disableDialogs;
        if (connectResult >= 0) connectedFlag = 1;
        return connectResult;
    }
    int DisconnectUSB() override {
        calls.push_back("DisconnectUSB");
        if (disconnectResult >= 0) connectedFlag = 0;
        return disconnectResult;
    }
    int USBDebugDevices(int* count) override {
        calls.push_back("USBDebugDevices");
        *count = static_cast<int>(adapters.size());
        return devicesResult;
    }
    int GetUSBDeviceSN(int index, const char** sn) override {
        calls.push_back("GetUSBDeviceSN");
        auto it = serialResult.find(index);
        if (it != serialResult.end() && it->second < 0) return it->second;
        *sn = adapters.at(static_cast<std::size_t>(index)).c_str();
        return 0;
    }
    int GetHardwareID(uint16_t* id) override {
        calls.push_back("GetHardwareID");
        if (hardwareIdResult < 0) return hardwareIdResult;
        *id = hardwareId;
        return 0;
    }
    int GetDeviceName(const char** name) override {
        calls.push_back("GetDeviceName");
        if (deviceNameResult != 0) return deviceNameResult;
        *name = deviceName.c_str();
        return 0;
    }
    const char* GetErrorMsg(int) override {
        calls.push_back("GetErrorMsg");
        return errorText.c_str();
    }
    int GetRAMMemory(uint8_t* b, unsigned s, unsigned n) override {
        calls.push_back("GetRAMMemory");
        if (ramResult < 0) return ramResult;
        std::memcpy(b, ram.data() + s, n);
        return 0;
    }
    int GetXRAMMemory(uint8_t* b, unsigned s, unsigned n) override {
        calls.push_back("GetXRAMMemory");
        auto it = xdataFail.find(s);
        if (it != xdataFail.end()) return it->second;
        std::memcpy(b, xdata.data() + s, n);
        return 0;
    }
    int GetSFRByte(unsigned a, uint8_t* v) override {
        calls.push_back("GetSFRByte");
        auto it = sfrFail.find(a);
        if (it != sfrFail.end()) return it->second;
        *v = sfr[a & 0xFF];
        return 0;
    }
    int IndGetSFRByte(unsigned a, uint8_t* v) override {
        calls.push_back("IndGetSFRByte");
        *v = indirect[a & 0xFF];
        return 0;
    }
    int IndSetSFRByte(unsigned a, uint8_t v) override {
        calls.push_back("IndSetSFRByte");
        indirect[a & 0xFF] = v;
        return 0;
    }
    int GetPageCRC(int page, uint8_t* crc) override {
        calls.push_back("GetPageCRC:" + std::to_string(page));
        ++pageCrcCalls;
        if (failPageCrcCall == pageCrcCalls) return static_cast<int32_t>(0x81000024);
        auto p = pageCrc[page];
        if (page == 0xF8)
            p = pageCrc[lastRegion + 0x100];
        else
            lastRegion = page;
        crc[0] = p[0];
        crc[1] = p[1];
        return 0;
    }
    // Second halves are stored at region + 0x100.
    void SetRegionCrc(int region, uint32_t crc) {
        pageCrc[region] = {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16)};
        pageCrc[region + 0x100] = {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
    }
    int GetTargetStatus(int* s) override {
        calls.push_back("GetTargetStatus");
        *s = 1;
        return 0;
    }
    int SetClrBP(int, unsigned) override { return Log("SetClrBP"); }
    int SetTargetHalt() override { return Log("SetTargetHalt"); }
    int SetTargetGo() override { return Log("SetTargetGo"); }
    int WritePC(unsigned) override { return Log("WritePC"); }
    int Download(char*, int, int, int, int, int, int) override { return Log("Download"); }

    int lastProtocol = -1, lastOption = -1, lastDisable = -1;

  private:
    int Log(const char* name) {
        calls.push_back(name);
        return 0;
    }
    int lastRegion = 0;
};

// Records every message and answers from a script (Ok by default).
class ScriptedMessages : public IMessagePort {
  public:
    struct Shown {
        std::u16string text;
        std::u16string caption;
        MsgButtons buttons;
        MsgIcon icon;
    };
    std::vector<Shown> shown;
    std::vector<MsgResult> answers;

    MsgResult ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MsgButtons buttons, MsgIcon icon) override {
        shown.push_back({text, caption, buttons, icon});
        if (answers.empty()) {
            if (buttons == MsgButtons::YesNoDefaultNo) return MsgResult::No;
            return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
        }
        MsgResult r = answers.front();
        answers.erase(answers.begin());
        return r;
    }
    std::string LastText() const {
        if (shown.empty()) return {};
        std::string s;
        for (char16_t c : shown.back().text) s.push_back(static_cast<char>(c));
        return s;
    }
};

class ScriptedFiles : public IFileDialogPort {
  public:
    std::vector<std::optional<std::u16string>> answers;
    std::vector<FileDialogRequest> requests;  // every dialog asked for, in order
    std::optional<std::u16string> OpenFile(const FileDialogRequest& r) override {
        requests.push_back(r);
        return Next();
    }
    std::optional<std::u16string> SaveFile(const FileDialogRequest& r) override {
        requests.push_back(r);
        return Next();
    }

  private:
    std::optional<std::u16string> Next() {
        if (answers.empty()) return std::nullopt;
        auto r = answers.front();
        answers.erase(answers.begin());
        return r;
    }
};

class NoSleep : public ISleepPort {
  public:
    int total = 0;
    void Sleep(int ms) override { total += ms; }
    // Virtual time: only what was slept has passed.
    long long NowMs() override { return total; }
};

class CountingPump : public IMessagePump {
  public:
    int count = 0;
    void PumpMessages() override { ++count; }
};

struct TestPorts {
    ScriptedMessages messages;
    ScriptedFiles files;
    NoSleep sleep;
    CountingPump pump;
    Ports ports() { return Ports{messages, files, sleep, pump}; }
};

}  // namespace cindral::test
