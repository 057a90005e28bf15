// Cindral against the real library and virtual adapters. Each suite runs in a
// process of its own whose WICKPORT_VIRTUAL names the adapters (see CMakeLists.txt).
#include <gtest/gtest.h>
#include <ordwin.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "core/ordwin_binding.h"
#include "fake_ordwin.h"
#include "shell/application.h"
#include "shell/main_window.h"

namespace cindral {
namespace {

using test::TestPorts;

class NoProgress : public IProgressPort {
  public:
    int created = 0;
    void* Create(const std::u16string&, const std::u16string&, int, int) override {
        ++created;
        return this;
    }
    void SetPosition(void*, int, const std::u16string*) override {}
    void SetStatus(void*, const std::u16string&) override {}
    bool Cancelled(void*) override { return false; }
    void Destroy(void*) override {}
};

QStringList Items(QComboBox& combo) {
    QStringList out;
    for (int i = 0; i < combo.count(); ++i) out << combo.itemText(i);
    return out;
}

class RealLibrary : public ::testing::Test {
  protected:
    RealLibrary() : bridge(ports.messages, progress, &ports.pump) {}
    void SetUp() override { EXPECT_TRUE(ordwin.Complete()) << "an export is missing"; }
    void TearDown() override {
        if (window && window->Connected()) ordwin.DisconnectUSB();
    }
    void Make() { window = std::make_unique<CZeltra_NVM_BurnerDlg>(ordwin, ports.ports()); }
    QPushButton* Band(int id) {
        for (QPushButton* b : window->findChildren<QPushButton*>(ControlName(id)))
            if (!window->TabFrame().isAncestorOf(b)) return b;
        return nullptr;
    }
    QString Value(int row) { return window->DevicePage().List().GetItemText(row, 1); }

    // Connects through the window; a refused connect fails the test with its message.
    void ConnectOrFail() {
        std::size_t before = ports.messages.shown.size();
        Band(ids::main_window::kConnectButton)->click();
        if (window->Connected() == 1) return;
        std::string text = ports.messages.shown.size() > before ? ports.messages.LastText() : "";
        FAIL() << "connect failed: " << text;
    }

    TestPorts ports;
    NoProgress progress;
    OrdwinBinding ordwin;
    OrdwinHostUiBridge bridge;
    std::unique_ptr<CZeltra_NVM_BurnerDlg> window;
};

using NoAdapter = RealLibrary;
using OneAdapter = RealLibrary;
using TwoAdapters = RealLibrary;
using OtherFamily = RealLibrary;
using Zeltra = RealLibrary;
using Crc = RealLibrary;

TEST_F(NoAdapter, EmptyListAndConnectAsksForASelection) {
    Make();
    EXPECT_EQ(window->AdapterCombo().count(), 0);
    EXPECT_EQ(window->AdapterCombo().currentIndex(), -1);
    Band(ids::main_window::kConnectButton)->click();
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    EXPECT_EQ(ports.messages.LastText(),
              "Please select an Adapter from the list! If the list is empty then no USB Debug "
              "Adapter is detected.");
    EXPECT_EQ(window->Connected(), 0);
    EXPECT_EQ(Band(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));
}

TEST_F(NoAdapter, LibraryMessagesReachTheHostsMessageBoxes) {
    ASSERT_EQ(SetAdapter(4), ORDWIN_E_INVALIDARG);
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    EXPECT_EQ(ports.messages.LastText(), "Illegal Adapter 4 selected.");
    EXPECT_EQ(ports.messages.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(SetAdapter(3), 0);
}

TEST_F(OneAdapter, ListedAndSelected) {
    Make();
    EXPECT_EQ(Items(window->AdapterCombo()), QStringList{QStringLiteral("VZ0001")});
    EXPECT_EQ(window->AdapterCombo().currentIndex(), 0);
}

TEST_F(TwoAdapters, SortedFirstSelectedAndKeptAcrossUnplugging) {
    Make();
    AdapterComboBox& combo = window->AdapterCombo();
    EXPECT_EQ(Items(combo), (QStringList{"VZ0001", "VZ0002"}));
    EXPECT_EQ(combo.currentIndex(), 0);
    combo.setCurrentIndex(1);
    emit combo.droppedDown();
    EXPECT_EQ(combo.currentText(), QStringLiteral("VZ0002"));
    // VZ0002 goes away: the remaining adapter is selected.
    setenv("WICKPORT_VIRTUAL", "VZ0001;VZ0003", 1);
    emit combo.closedUp();
    QApplication::processEvents();
    EXPECT_EQ(Items(combo), (QStringList{"VZ0001", "VZ0003"}));
    EXPECT_EQ(combo.currentText(), QStringLiteral("VZ0001"));
}

TEST_F(OtherFamily, RefusedWithItsNameAndLeftDisconnected) {
    Make();
    Band(ids::main_window::kConnectButton)->click();
    ASSERT_FALSE(ports.messages.shown.empty());
    std::string text = ports.messages.LastText();
    EXPECT_EQ(text.rfind("Connection failure:\nInvalid target: ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("Connection failure:\nInvalid target: ").size());
    EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(window->Connected(), 0);
    uint16_t id = 0;
    EXPECT_LT(ordwin.GetHardwareID(&id), 0) << "the library must not stay connected";
    EXPECT_EQ(Band(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(Band(ids::main_window::kResetButton)->isEnabled());
}

TEST_F(Zeltra, ConnectShowsAFactoryFreshChipAndDisconnectClears) {
    Make();
    ConnectOrFail();
    if (HasFatalFailure()) return;
    EXPECT_EQ(Band(ids::main_window::kConnectButton)->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(Band(ids::main_window::kResetButton)->isEnabled());
    EXPECT_EQ(window->MainPage().Connected(), 1);
    EXPECT_EQ(window->DevicePage().Connected(), 1);
    EXPECT_EQ(window->CrcPage().Connected(), 1);
    EXPECT_EQ(Value(0), QStringLiteral("0x1100"));
    EXPECT_EQ(Value(1), QStringLiteral("0x0200"));
    EXPECT_EQ(Value(2), QStringLiteral("0x0000"));
    EXPECT_EQ(Value(3), QStringLiteral("0x02"));
    EXPECT_EQ(Value(5), QStringLiteral("0x01 (0000_0001)")) << "trim CRC matches, nothing copied";
    EXPECT_EQ(Value(6), QStringLiteral("0x00 (0000_0000)"));
    EXPECT_EQ(Value(7), QStringLiteral("0x00 (0000_0000)"));
    EXPECT_EQ(window->MainPage().FirstBootAddress(), u"0x0200");
    EXPECT_EQ(window->MainPage().Connected(), 1);
    EXPECT_TRUE(ports.messages.shown.empty()) << ports.messages.LastText();

    Band(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(window->Connected(), 0);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(Value(r), QString()) << r;
    uint16_t id = 0;
    EXPECT_LT(ordwin.GetHardwareID(&id), 0);
}

TEST_F(Zeltra, SystemResetReconnectsToTheOtherAdapter) {
    Make();
    ConnectOrFail();
    if (HasFatalFailure()) return;
    window->AdapterCombo().setCurrentIndex(1);
    Band(ids::main_window::kResetButton)->click();
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_STREQ(window->SelectedSerial(), "VZ0002");
    EXPECT_EQ(Value(1), QStringLiteral("0x0200"));
    EXPECT_TRUE(Band(ids::main_window::kResetButton)->isEnabled());
}

TEST_F(Zeltra, ExitWhileConnectedDisconnects) {
    Make();
    window->show();
    ConnectOrFail();
    if (HasFatalFailure()) return;
    Band(ids::main_window::kExitButton)->click();
    EXPECT_FALSE(window->isVisible());
    uint16_t id = 0;
    EXPECT_LT(ordwin.GetHardwareID(&id), 0) << "still connected after Exit";
}

uint32_t Crc32(const uint8_t* p, std::size_t n) {
    uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

QStringList CrcLines(CZeltra_NVM_BurnerDlg& w) {
    return w.CrcPage().OutputBox().toPlainText().split('\n');
}

TEST_F(Crc, FactoryFreshChipTrimOkUserDiff) {
    Make();
    ConnectOrFail();
    if (HasFatalFailure()) return;
    ById<QPushButton>(window->CrcPage(), ids::crc::kRunButton)->click();
    QStringList lines = CrcLines(*window);
    ASSERT_GE(lines.size(), 20) << lines.join('|').toStdString();
    EXPECT_EQ(lines[0], QString());
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("NVM TRIM CRC32: 0x")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("PT  TRIM CRC32: 0x")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(".. OK"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral("0x00000000.. DIFF"))) << lines[5].toStdString();
    std::vector<uint8_t> zeros(0x1FF0 - 0x0200, 0);
    EXPECT_EQ(lines[4], QStringLiteral("NVM USER CRC32: 0x%1")
                            .arg(Crc32(zeros.data(), zeros.size()), 8, 16, QLatin1Char('0'))
                            .toUpper()
                            .replace(QStringLiteral("0X"), QStringLiteral("0x")));
    EXPECT_TRUE(lines[7].startsWith(QStringLiteral("ROM CRC32:      0x")));
    EXPECT_EQ(lines[9], QStringLiteral("PT DATA: "));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(lines[10 + i].startsWith(
            QStringLiteral("%1:   ").arg(i * 8, 4, 16, QLatin1Char('0')).toUpper()))
            << lines[10 + i].toStdString();
    EXPECT_FALSE(lines.join('\n').contains(QStringLiteral("Error occurred")));
}

TEST_F(Crc, UserRegionMatchingItsReferenceIsOk) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.path() + QStringLiteral("/VZ0011");
    // First power-up writes the factory-fresh memories into the state directory.
    setenv("WICKPORT_VIRTUAL", ("VZ0011:speed=max,state=" + state).toStdString().c_str(), 1);
    Make();
    ConnectOrFail();
    if (HasFatalFailure()) return;
    Band(ids::main_window::kConnectButton)->click();
    ASSERT_EQ(window->Connected(), 0);
    const std::string nvmPath = (state + QStringLiteral("/nvm.bin")).toStdString();
    std::vector<uint8_t> nvm(8192);
    {
        std::ifstream in(nvmPath, std::ios::binary);
        ASSERT_TRUE(in.read(reinterpret_cast<char*>(nvm.data()), 8192)) << nvmPath;
    }
    uint32_t crc = Crc32(nvm.data() + 0x0200, 0x1FF0 - 0x0200);
    for (int i = 0; i < 4; ++i) nvm[0x1FF4 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    {
        std::ofstream out(nvmPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(nvm.data()), 8192);
    }
    // A new description is a new chip object, which loads the patched memories.
    setenv("WICKPORT_VIRTUAL",
           ("VZ0011:speed=max,latency_us=0,state=" + state).toStdString().c_str(), 1);
    emit window->AdapterCombo().droppedDown();
    ConnectOrFail();
    if (HasFatalFailure()) return;
    ById<QPushButton>(window->CrcPage(), ids::crc::kRunButton)->click();
    QStringList lines = CrcLines(*window);
    ASSERT_GE(lines.size(), 20);
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(".. OK"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral(".. OK"))) << lines[5].toStdString();
    EXPECT_EQ(Value(5), QStringLiteral("0x05 (0000_0101)")) << "both CRCs match at boot";
}

TEST_F(Crc, RunWhileDisconnectedShowsTheMessageOnly) {
    Make();
    ById<QPushButton>(window->CrcPage(), ids::crc::kRunButton)->click();
    EXPECT_EQ(ports.messages.LastText(), "Not connected to the device.\n");
    EXPECT_TRUE(window->CrcPage().OutputBox().toPlainText().isEmpty());
}

TEST(Simulation, TwoPersistentAdaptersUnderTheGivenDirectory) {
    EXPECT_EQ(
        SimulatedAdapters("/data/cindral/virtual"),
        "VZ0001:state=/data/cindral/virtual/VZ0001;VZ0002:state=/data/cindral/virtual/VZ0002");
    const struct {
        QStringList args;
        bool simulate, help, version, refused;
    } lines[] = {
        {{"cindral", "--simulate"}, true, false, false, false},
        {{"cindral", "--version"}, false, false, true, false},
        {{"cindral", "-h"}, false, true, false, false},
        {{"cindral", "--help", "--simulate"}, true, true, false, false},
        {{"cindral", "--bogus"}, false, false, false, true},
        {{"cindral", "job.nbf"}, false, false, false, true},
    };
    for (const auto& l : lines) {
        const CommandLine cl = ParseCommandLine(l.args);
        const QString what = l.args.join(' ');
        EXPECT_EQ(cl.simulate, l.simulate) << what.toStdString();
        EXPECT_EQ(cl.help, l.help) << what.toStdString();
        EXPECT_EQ(cl.version, l.version) << what.toStdString();
        EXPECT_EQ(!cl.error.isEmpty(), l.refused) << what.toStdString();
    }
    const QString help = ParseCommandLine({"/build/bin/cindral_tests", "-h"}).helpText;
    EXPECT_TRUE(help.startsWith("Usage: cindral [options]")) << help.toStdString();
    EXPECT_TRUE(help.contains("--simulate"));
    // An explicit adapter list wins over the simulated one.
    const char* before = std::getenv("WICKPORT_VIRTUAL");
    std::string saved = before ? before : "";
    setenv("WICKPORT_VIRTUAL", "VZ0042", 1);
    EXPECT_FALSE(EnableSimulation().has_value());
    EXPECT_STREQ(std::getenv("WICKPORT_VIRTUAL"), "VZ0042");
    setenv("WICKPORT_VIRTUAL", saved.c_str(), 1);
}

}  // namespace
}  // namespace cindral
