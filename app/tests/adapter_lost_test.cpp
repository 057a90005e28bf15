// The adapter pulled out while connected, on the whole window with the real
// library and the real composer: the operator is told once, the window goes back
// to its disconnected state, no temporary burner file stays behind, and Connect
// works again once the adapter is back.
#include <gtest/gtest.h>
#include <wickport_test.h>

#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/connection.h"
#include "core/ordwin_binding.h"
#include "core/text.h"
#include "fake_ordwin.h"
#include "shell/control_ids.h"
#include "shell/main_window.h"

namespace cindral {
namespace {

int g_exchanges = 0;
void CountExchange(const char* line, void*) {
    if (line[0] == '>' || line[0] == 'C' || line[0] == 'F') ++g_exchanges;
}

class NoProgress : public IProgressPort {
  public:
    void* Create(const std::u16string&, const std::u16string&, int, int) override { return this; }
    void SetPosition(void*, int, const std::u16string*) override {}
    void SetStatus(void*, const std::u16string&) override {}
    bool Cancelled(void*) override { return false; }
    void Destroy(void*) override {}
};

// The MTP writer runs for its second of chip time at real speed; a twentieth of it
// on the wall clock is enough for the virtual chip.
class ShortSleep : public ISleepPort {
  public:
    void Sleep(int ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms / 20));
        slept += ms;
    }
    long long NowMs() override { return slept; }
    long long slept = 0;
};

class AdapterLost : public ::testing::Test {
  public:
    AdapterLost() {
        saved_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
        WpSetTraceCallback(CountExchange, nullptr);
    }
    ~AdapterLost() override {
        WpSetTraceCallback(nullptr, nullptr);
        if (window && window->Connected()) ordwin.DisconnectUSB();
        bridge_.reset();
        window.reset();
        QDir::setCurrent(saved_);
    }

    // A window on one adapter; the library's boxes go through the window's port.
    void Make(const std::string& serial, const std::string& options) {
        const std::string state = state_.path().toStdString() + "/" + serial;
        setenv("WICKPORT_VIRTUAL", (serial + ":state=" + state + options).c_str(), 1);
        bridge_.reset();
        window = std::make_unique<CZeltra_NVM_BurnerDlg>(
            ordwin, Ports{ports.messages, ports.files, sleep_, ports.pump});
        bridge_ = std::make_unique<OrdwinHostUiBridge>(window->Messages(), progress_, &ports.pump);
    }
    void Replug(const std::string& serial) {
        const std::string state = state_.path().toStdString() + "/" + serial;
        setenv("WICKPORT_VIRTUAL", (serial + ":state=" + state).c_str(), 1);
        emit window->AdapterCombo().droppedDown();
    }
    QPushButton* On(QWidget& page, int id) { return ById<QPushButton>(page, id); }
    std::vector<std::string> Boxes() {
        std::vector<std::string> out;
        for (const auto& s : ports.messages.shown)
            out.push_back(NarrowText(s.text, s.text.size() + 1));
        return out;
    }
    QStringList BurnerFiles() {
        return QDir(work_.path()).entryList({QStringLiteral("Burn*.hex")}, QDir::Files);
    }

    test::TestPorts ports;
    OrdwinBinding ordwin;
    std::unique_ptr<CZeltra_NVM_BurnerDlg> window;

  private:
    NoProgress progress_;
    ShortSleep sleep_;
    std::unique_ptr<OrdwinHostUiBridge> bridge_;
    QTemporaryDir work_, state_;
    QString saved_;
};

struct Operation {
    const char* name;
    std::function<void(AdapterLost&)> prepare;  // not counted, never faulted
    std::function<void(AdapterLost&)> act;
    std::vector<std::string> cleanBoxes;  // what the operation shows without a fault
    LostDuring during;
};

void ComposeDirect(AdapterLost& t, const std::string& nbf) {
    CDirectBurnDlg& page = t.window->DirectBurnPage();
    page.DirectRadio().click();
    ById<QPlainTextEdit>(page, ids::direct_burn::kDirectTextEdit)->setPlainText("@1000 AA 55");
    t.ports.files.answers = {WidenText(nbf)};
    t.On(page, ids::direct_burn::kNewBurnFileButton)->click();
    t.On(page, ids::direct_burn::kComposeButton)->click();
}

TEST_F(AdapterLost, MidOperationTellsOnceAndDisconnects) {
    const std::string nbf = QDir::currentPath().toStdString() + "/direct.nbf";
    const std::vector<Operation> operations = {
        {"direct burn",
         [&](AdapterLost& t) { ComposeDirect(t, nbf); },
         [](AdapterLost& t) {
             t.On(t.window->DirectBurnPage(), ids::direct_burn::kBurnButton)->click();
         },
         {"Burn Succeeded"},
         LostDuring::kBurn},
        {"MTP write",
         nullptr,
         [](AdapterLost& t) { t.On(t.window->MtpPage(), ids::mtp::kWriteButton)->click(); },
         {"Write was successful."},
         LostDuring::kMtpWrite},
        {"CRC read",
         nullptr,
         [](AdapterLost& t) { t.On(t.window->CrcPage(), ids::crc::kRunButton)->click(); },
         {},
         LostDuring::kNothing},
        {"System Reset/Reboot",
         nullptr,
         [](AdapterLost& t) { t.window->ResetButton().click(); },
         {},
         LostDuring::kNothing},
    };
    int serial = 0;
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.name);
        // The clean run gives the operation's exchanges; the fault lands half-way.
        const std::string clean = Format("VZL%03d", ++serial);
        g_exchanges = 0;
        Make(clean, "");
        window->ConnectButton().click();
        ASSERT_EQ(window->Connected(), 1) << ports.messages.LastText();
        if (op.prepare) op.prepare(*this);
        ports.messages.shown.clear();
        const int start = g_exchanges;
        op.act(*this);
        const int length = g_exchanges - start;
        ASSERT_EQ(Boxes(), op.cleanBoxes);
        ASSERT_GT(length, 1);
        ordwin.DisconnectUSB();

        const std::string lost = Format("VZL%03d", ++serial);
        g_exchanges = 0;
        Make(lost, Format(",fault=unplug@%d", start + length / 2));
        window->ConnectButton().click();
        ASSERT_EQ(window->Connected(), 1) << ports.messages.LastText();
        if (op.prepare) op.prepare(*this);
        ports.messages.shown.clear();
        op.act(*this);
        QCoreApplication::processEvents();
        EXPECT_EQ(Boxes(), std::vector<std::string>{NarrowText(AdapterLostText(op.during), 4096)});
        EXPECT_EQ(window->Connected(), 0);
        EXPECT_EQ(window->ConnectButton().text(), QStringLiteral("Connect"));
        EXPECT_FALSE(window->ResetButton().isEnabled());
        EXPECT_EQ(window->DevicePage().Connected(), 0);
        EXPECT_EQ(window->DevicePage().List().GetItemText(1, 1), QString()) << "pages reset";
        // The gone adapter stays chosen, shown as missing; Connect reaches no other chip.
        EXPECT_EQ(window->AdapterCombo().count(), 1);
        EXPECT_EQ(window->AdapterCombo().currentText().toStdString(), lost + " (missing)");
        EXPECT_EQ(window->MissingSerial().toStdString(), lost);
        EXPECT_EQ(BurnerFiles(), QStringList());
        ports.messages.shown.clear();
        window->ConnectButton().click();
        EXPECT_EQ(Boxes(), std::vector<std::string>{"The adapter " + lost +
                                                    " is missing. Plug it in again, or choose "
                                                    "another adapter from the list."});
        EXPECT_EQ(window->Connected(), 0);

        ports.messages.shown.clear();
        Replug(lost);
        EXPECT_EQ(window->AdapterCombo().currentText().toStdString(), lost);
        EXPECT_TRUE(window->MissingSerial().isEmpty());
        window->ConnectButton().click();
        EXPECT_EQ(window->Connected(), 1) << ports.messages.LastText();
        EXPECT_EQ(window->DevicePage().List().GetItemText(1, 1), QStringLiteral("0x0200"));
        ordwin.DisconnectUSB();
    }
}

// An adapter answers for itself without a chip behind it; what is missing is the
// target, and that is what the operator reads, once.
using Connecting = AdapterLost;
TEST_F(Connecting, NoChipBehindTheAdapterIsOneTargetMessage) {
    Make("VZL100", ",speed=max,target=none");
    window->ConnectButton().click();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Target failed to respond.\nSystem is being "
                                                "disconnected."});
    EXPECT_EQ(window->Connected(), 0);
    EXPECT_EQ(window->ConnectButton().text(), QStringLiteral("Connect"));
}

}  // namespace
}  // namespace cindral
