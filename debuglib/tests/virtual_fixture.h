// Tests against virtual adapters: each picks its adapter list and watches
// the reports through Wickport's trace hook.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "ordwin.h"
#include "wickport_test.h"

class VirtualAdapters : public ::testing::Test {
  protected:
    void SetUp() override {
        Use("VZ0001");
        // Settings an earlier test in the same process may have left.
        SetC2ClockStrobe(1);
        SetZeltraConnectionState(0);
        WpSetTraceCallback(
            [](const char* line, void* user) {
                static_cast<VirtualAdapters*>(user)->trace_.emplace_back(line);
            },
            this);
    }
    void TearDown() override {
        DisconnectUSB();
        SetZeltraConnectionState(0);
        WpSetTraceCallback(nullptr, nullptr);
        unsetenv("WICKPORT_VIRTUAL");
    }

    // A fresh set of adapters: an empty list first makes Wickport forget the
    // adapters (and what was done to them) of an earlier test.
    static void Use(const char* list) {
        setenv("WICKPORT_VIRTUAL", "", 1);
        int count = 0;
        WpGetDeviceCount(&count);
        setenv("WICKPORT_VIRTUAL", list, 1);
    }

    // The packets sent since the last call, as trace text without the "> ".
    std::vector<std::string> Sent() {
        std::vector<std::string> sent;
        for (const std::string& line : trace_) {
            if (line.rfind("> ", 0) == 0) sent.push_back(line.substr(2));
        }
        trace_.clear();
        return sent;
    }
    void ClearTrace() { trace_.clear(); }
    const std::vector<std::string>& Trace() const { return trace_; }

  private:
    std::vector<std::string> trace_;
};
