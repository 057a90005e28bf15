// A scripted stand-in for the HID library, for the layers right above it:
// records what is sent and serves queued replies.
#pragma once

#include <strings.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "link/wickport_api.h"
#include "wickport.h"

struct FakeReply {
    int result = WP_OK;
    int received = WP_REPORT_SIZE;
    std::vector<uint8_t> bytes;
};

struct FakeWickport {
    std::vector<std::vector<uint8_t>> written;
    std::deque<FakeReply> replies;
    std::vector<std::string> serials;
    std::vector<int> productIds;
    std::string selected;
    int openResult = WP_OK;
    int writeResult = WP_OK;
    std::vector<int> timeouts;
    std::vector<std::string> calls;
    std::deque<uint8_t> controlValues;
    std::vector<std::pair<int, int>> controlWrites;
    int backend = WP_BACKEND_HID;

    void Reply(std::vector<uint8_t> bytes) { replies.push_back({WP_OK, WP_REPORT_SIZE, bytes}); }
    void Status(uint8_t status) { Reply({status}); }

    static FakeWickport*& Current() {
        static FakeWickport* current = nullptr;
        return current;
    }

    ordwin::WickportApi Api() {
        Current() = this;
        ordwin::WickportApi api{};
        api.getDeviceCount = [](int* n) {
            *n = static_cast<int>(Current()->serials.size());
            return WP_OK;
        };
        api.resetBootMode = [] {
            Current()->calls.push_back("resetBootMode");
            return WP_OK;
        };
        api.selectDevice = [](const char* sn) {
            for (const std::string& s : Current()->serials) {
                if (strcasecmp(s.c_str(), sn) == 0) {
                    Current()->selected = s;
                    return WP_OK;
                }
            }
            return WP_E_DEVICE_NOT_FOUND;
        };
        api.setTimeout = [](int ms) {
            Current()->timeouts.push_back(ms);
            return WP_OK;
        };
        api.getSelectedSerial = [](const char** sn) {
            if (Current()->selected.empty()) return WP_E_NO_DEVICE_SELECTED;
            *sn = Current()->selected.c_str();
            return WP_OK;
        };
        api.getSerialByIndex = [](int i, const char** sn) {
            if (i < 0 || i >= static_cast<int>(Current()->serials.size())) {
                return WP_E_DEVICE_NOT_FOUND;
            }
            *sn = Current()->serials[static_cast<size_t>(i)].c_str();
            return WP_OK;
        };
        api.open = [] { return Current()->openResult; };
        api.close = [] { return WP_OK; };
        api.read = [](uint8_t* buffer, int length, int* received) {
            FakeWickport* f = Current();
            if (f->replies.empty()) return WP_E_READ_TIMEOUT;
            FakeReply r = f->replies.front();
            f->replies.pop_front();
            if (r.result != WP_OK) return r.result;
            uint8_t report[WP_REPORT_SIZE] = {};
            std::memcpy(report, r.bytes.data(), r.bytes.size());
            std::memcpy(buffer, report, static_cast<size_t>(length));
            *received = r.received;
            return WP_OK;
        };
        api.write = [](const uint8_t* packet, int length) {
            Current()->written.emplace_back(packet, packet + length);
            return Current()->writeResult;
        };
        api.resetAdapter = [] {
            Current()->calls.push_back("resetAdapter");
            return WP_OK;
        };
        api.getVersion = [](const char** v) {
            *v = "fake";
            return WP_OK;
        };
        api.setControlValue = [](int id, int value) {
            Current()->controlWrites.emplace_back(id, value);
            return WP_OK;
        };
        api.getControlValue = [](int, uint8_t* value) {
            FakeWickport* f = Current();
            if (f->controlValues.empty()) return WP_E_READ;
            *value = f->controlValues.front();
            f->controlValues.pop_front();
            return WP_OK;
        };
        api.getProductId = [](int* pid) {
            *pid = Current()->productIds.empty() ? 0x8A51 : Current()->productIds.front();
            return WP_OK;
        };
        api.getProductIdByIndex = [](int i, int* pid) {
            if (i < 0 || i >= static_cast<int>(Current()->productIds.size())) return WP_E_READ;
            *pid = Current()->productIds[static_cast<size_t>(i)];
            return WP_OK;
        };
        api.setFeatureReport = [](uint8_t*, int) { return WP_OK; };
        api.getFeatureReport = [](uint8_t*, int) { return WP_OK; };
        api.getBackend = [](int* b) {
            *b = Current()->backend;
            return WP_OK;
        };
        return api;
    }
};
