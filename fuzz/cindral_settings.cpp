// Cindral's settings (.set) reader: the Main and Direct Burn pages load a
// fuzzed file the way the main window does. Whatever a load leaves on the
// pages must save to a file that loads again whole.
#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "burn/device_page.h"
#include "burn/direct_burn_page.h"
#include "compose/main_page.h"
#include "core/settings_archive.h"
#include "fake_ordwin.h"
#include "fuzz_check.h"

namespace {

using namespace cindral;

struct Pages {
    test::FakeOrdwin ordwin;
    test::TestPorts ports;
    CDeviceInformation device{ordwin, ports.messages};
    CMainDlg main{ordwin, ports.ports(), device, u"/nonexistent/"};
    CDirectBurnDlg direct{ordwin, ports.ports(), device, u"/nonexistent/"};

    // True when the file was read to its end without a stream error.
    bool Load(std::vector<uint8_t> bytes) {
        main.OnClearBootFiles();
        main.OnClearAppFiles();
        SettingsReader in(std::move(bytes));
        main.LoadMainSettings(in);
        direct.LoadDirectBurnSettings(in);
        return !in.Failed() && in.AtEnd();
    }
    std::vector<uint8_t> Store() {
        SettingsWriter out;
        main.StoreMainSettings(out);
        direct.StoreDirectBurnSettings(out);
        return out.Bytes();
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Pages are costly to build; fields a short file leaves alone keep the
    // last input's values, which the full save below carries over.
    static Pages first, second;
    first.Load(std::vector<uint8_t>(data, data + size));
    const std::vector<uint8_t> saved = first.Store();
    FUZZ_CHECK(second.Load(saved));
    return 0;
}
