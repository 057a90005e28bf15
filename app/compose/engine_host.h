// The engine's view of the window: the Device page's connection flag and its
// "Composer Output" log.
#pragma once

#include "burn/device_page.h"
#include "core/nvm_engine.h"

namespace cindral {

class DevicePageHost final : public IEngineHost {
  public:
    explicit DevicePageHost(CDeviceInformation& device) : device_(device) {}
    int DeviceConnected() override { return device_.Connected(); }
    void WriteOutputLine(const std::u16string& text) override { device_.WriteOutputLine(text); }
    void AppendOutputFile(const std::string& path) override { device_.AppendOutputFile(path); }
    std::u16string AdapterSerial() override { return device_.AdapterSerial(); }

  private:
    CDeviceInformation& device_;
};

// Cindral's own directory with a trailing separator: the composer sits there.
std::u16string ProgramDirectory();

}  // namespace cindral
