// What the operator does, end to end: the main window driven through its
// controls with the real library, the real composer and a virtual Zeltra. Each
// scenario runs in a process of its own; WICKPORT_VIRTUAL names one adapter whose
// state directory is wiped first, so every scenario starts on a factory-fresh chip.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/list_style.h"
#include "core/ordwin_binding.h"
#include "core/text.h"
#include "fake_ordwin.h"
#include "shell/main_window.h"

namespace cindral {
namespace {

using test::TestPorts;

const QColor kRedText = CListCtrlStyled::ToQColor(kRed);

class NoProgress : public IProgressPort {
  public:
    void* Create(const std::u16string&, const std::u16string&, int, int) override { return this; }
    void SetPosition(void*, int, const std::u16string*) override {}
    void SetStatus(void*, const std::u16string&) override {}
    bool Cancelled(void*) override { return false; }
    void Destroy(void*) override {}
};

// 16 bytes at 0x0000 and one at 0x0020, placed at the first boot address.
const char* const kBootHex =
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n:01002000558A\r\n:00000001FF\r\n";

std::string StateDirectory() {
    const char* v = std::getenv("WICKPORT_VIRTUAL");
    std::string text = v ? v : "";
    std::size_t at = text.find("state=");
    if (at == std::string::npos) return {};
    std::string dir = text.substr(at + 6);
    return dir.substr(0, dir.find_first_of(",;"));
}

class Operator : public ::testing::Test {
  protected:
    Operator() : bridge(ports.messages, progress, &ports.pump) {}
    void SetUp() override {
        ASSERT_TRUE(ordwin.Complete()) << "an export is missing";
        state = StateDirectory();
        ASSERT_FALSE(state.empty()) << "the scenario names no state directory";
        std::error_code ec;
        std::filesystem::remove_all(state, ec);
        ASSERT_TRUE(work.isValid());
        window = std::make_unique<CZeltra_NVM_BurnerDlg>(ordwin, ports.ports());
        ConnectOrFail();
    }
    void TearDown() override {
        if (window && window->Connected()) Band(ids::main_window::kConnectButton)->click();
    }

    QPushButton* Band(int id) {
        for (QPushButton* b : window->findChildren<QPushButton*>(ControlName(id)))
            if (!window->TabFrame().isAncestorOf(b)) return b;
        return nullptr;
    }
    template <typename T = QPushButton>
    T* On(QWidget& page, int id) {
        T* w = page.findChild<T*>(ControlName(id));
        EXPECT_NE(w, nullptr) << "no control " << id;
        return w;
    }
    void Click(QWidget& page, int id) {
        if (QPushButton* b = On(page, id)) b->click();
    }
    void ConnectOrFail() {
        Band(ids::main_window::kConnectButton)->click();
        ASSERT_EQ(window->Connected(), 1) << ports.messages.LastText();
        ports.messages.shown.clear();
    }
    std::string File(const std::string& name, const std::string& text) {
        const std::string path = work.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return path;
    }
    std::vector<std::string> Boxes() {
        std::vector<std::string> out;
        for (const auto& s : ports.messages.shown)
            out.push_back(NarrowText(s.text, s.text.size() + 1));
        return out;
    }
    QString Log() { return window->DevicePage().OutputBox().toPlainText(); }
    QString Device(int row) { return window->DevicePage().List().GetItemText(row, 1); }
    std::vector<uint8_t> Nvm() {
        std::ifstream in(state + "/nvm.bin", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
    }

    // The Main page as the operator fills it: a boot .hex at the first boot
    // address, an app .mem moved to appAddress through the address dialog, and a
    // new burn file.
    void FillMainPage(const std::string& appMem, const std::u16string& appAddress) {
        CMainDlg& main = window->MainPage();
        ports.files.answers = {WidenText(File("boot.hex", kBootHex))};
        Click(main, ids::main_page::kBootAddButton);
        ports.files.answers = {WidenText(File("app.mem", appMem))};
        Click(main, ids::main_page::kAppAddButton);
        ASSERT_EQ(main.AppCount(), 1);
        main.AppList().topLevelItem(0)->setSelected(true);
        main.SetModalRunner([&](QDialog& d) {
            if (auto* edit = ById<QLineEdit>(d, ids::nvm_address::kAddressEdit))
                edit->setText(QString::fromStdU16String(appAddress));
            d.accept();
            return static_cast<int>(QDialog::Accepted);
        });
        Click(main, ids::main_page::kAppAddressButton);
        burnFile = WidenText(work.path().toStdString() + "/acceptance.nbf");
        ports.files.answers = {burnFile};
        Click(main, ids::main_page::kNewBurnFileButton);
        ASSERT_EQ(main.BurnFilePath(), burnFile);
    }

    TestPorts ports;
    NoProgress progress;
    OrdwinBinding ordwin;
    OrdwinHostUiBridge bridge;
    QTemporaryDir work;
    std::string state;
    std::u16string burnFile;
    std::unique_ptr<CZeltra_NVM_BurnerDlg> window;
};

using ComposeScenario = Operator;
using ConflictScenario = Operator;
using BurnScenario = Operator;
using RunScenario = Operator;
using SettingsScenario = Operator;
using DirectBurnScenario = Operator;

TEST_F(ComposeScenario, MapListsBothFilesAndTheDeviceLogShowsTheRun) {
    FillMainPage("11 22 33 44\n", u"0x0800");
    if (HasFatalFailure()) return;
    CMainDlg& main = window->MainPage();
    EXPECT_EQ(main.BootList().GetItemText(0, 1), QStringLiteral("0x0200"));
    EXPECT_EQ(main.AppList().GetItemText(0, 1), QStringLiteral("0x0800"));
    Click(main, ids::main_page::kComposeButton);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Compose run completed successfully."});

    CListCtrlStyled& map = main.MapList();
    ASSERT_GE(map.GetItemCount(), 2);
    EXPECT_EQ(map.GetItemText(0, 0), QStringLiteral("boot.hex"));
    EXPECT_EQ(map.GetItemText(0, 1).toStdString(), "0x0200 .. 0x0220");
    EXPECT_EQ(map.GetItemText(0, 3), QStringLiteral("OK"));
    bool app = false;
    for (int r = 0; r < map.GetItemCount(); ++r) {
        if (map.GetItemText(r, 0) != QStringLiteral("app.mem")) continue;
        app = true;
        EXPECT_EQ(map.GetItemText(r, 1).toStdString(), "0x0800 .. 0x0803");
        EXPECT_EQ(map.GetItemText(r, 2).toStdString(), "0x0004 (4)");
        EXPECT_EQ(map.GetItemText(r, 3), QStringLiteral("OK"));
    }
    EXPECT_TRUE(app) << "no row for the app file";
    for (int r = 0; r < map.GetItemCount(); ++r)
        EXPECT_NE(map.TextColourOf(r, 0), kRedText) << "row " << r;
    EXPECT_EQ(main.ConflictFlag(), 0);

    const QStringList log = Log().split('\n');
    const QString dir = work.path() + '/';
    auto logged = [&](const QString& line) {
        for (int i = 0; i < log.size(); ++i)
            if (log[i].endsWith(line)) return i;
        return -1;
    };
    const int invoked = logged(QStringLiteral(" Invoking Marlspin"));
    const int command = logged(QStringLiteral("marlspin  --boot_hex=") + dir +
                               QStringLiteral("boot.hex 0x0200 --app_mem=") + dir +
                               QStringLiteral("app.mem 0x0800 --nvm_burn_file=") + dir +
                               QStringLiteral("acceptance.nbf --mode_strict "));
    const int output = logged(QStringLiteral("Wrote ") + dir +
                              QStringLiteral("acceptance.nbf: 2 map rows, 3 burner images"));
    EXPECT_GE(invoked, 0) << Log().toStdString();
    EXPECT_GT(command, invoked) << Log().toStdString();
    EXPECT_GT(output, command) << "the composer's output after its command line";

    // Opening the burn file again later shows the same map.
    const int rows = map.GetItemCount();
    ports.files.answers = {burnFile};
    Click(main, ids::main_page::kOpenBurnFileButton);
    EXPECT_EQ(map.GetItemCount(), rows);
    EXPECT_EQ(map.GetItemText(0, 0), QStringLiteral("boot.hex"));
}

TEST_F(ConflictScenario, OverlapInStrictModeMarksBothRowsRed) {
    FillMainPage("@0000 FF FF\n", u"0x0200");
    if (HasFatalFailure()) return;
    CMainDlg& main = window->MainPage();
    main.StrictRadio().click();
    Click(main, ids::main_page::kComposeButton);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Compose run complete.\nAddress Conflict detected!"});
    EXPECT_EQ(main.ConflictFlag(), 1);
    CListCtrlStyled& map = main.MapList();
    int red = 0;
    for (int r = 0; r < map.GetItemCount(); ++r) {
        const bool conflict = map.GetItemText(r, 3).contains(QStringLiteral("Conflict"));
        EXPECT_EQ(map.TextColourOf(r, 0) == kRedText, conflict)
            << map.GetItemText(r, 0).toStdString() << " " << map.GetItemText(r, 3).toStdString();
        red += conflict ? 1 : 0;
    }
    EXPECT_EQ(red, 2) << "both files of the overlap";

    // The same files ORed: the rows say so and nothing stays red from before.
    ports.messages.shown.clear();
    main.LogicOrRadio().click();
    Click(main, ids::main_page::kComposeButton);
    ASSERT_FALSE(ports.messages.shown.empty());
    EXPECT_EQ(Boxes().back(), "Compose run completed successfully.");
    EXPECT_EQ(main.ConflictFlag(), 0);
    int overlays = 0;
    for (int r = 0; r < map.GetItemCount(); ++r) {
        EXPECT_NE(map.TextColourOf(r, 0), kRedText) << "row " << r;
        overlays += map.GetItemText(r, 3).contains(QStringLiteral("Overlay")) ? 1 : 0;
    }
    EXPECT_EQ(overlays, 2);
}

TEST_F(BurnScenario, BurnThenResetShowsTheBurnedChip) {
    FillMainPage("11 22 33 44\n", u"0x0800");
    if (HasFatalFailure()) return;
    CMainDlg& main = window->MainPage();
    On<QCheckBox>(main, ids::main_page::kUserBox)->click();  // User
    ASSERT_TRUE(main.Box(ids::main_page::kUserBox).isChecked());
    Click(main, ids::main_page::kComposeButton);
    ASSERT_EQ(Boxes(), std::vector<std::string>{"Compose run completed successfully."});
    ports.messages.shown.clear();
    Click(main, ids::main_page::kBurnButton);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Burn Succeeded"});

    Band(ids::main_window::kResetButton)->click();
    ASSERT_EQ(window->Connected(), 1);
    EXPECT_EQ(Device(1), QStringLiteral("0x0200"));
    EXPECT_EQ(Device(2), QStringLiteral("0x0200")) << "the boot image was copied";
    EXPECT_EQ(Device(5), QStringLiteral("0x07 (0000_0111)")) << "trim, copy and user CRC";
    EXPECT_EQ(Device(7), QStringLiteral("0x03 (0000_0011)")) << "boot state User";

    ById<QPushButton>(window->CrcPage(), ids::crc::kRunButton)->click();
    QStringList lines = window->CrcPage().OutputBox().toPlainText().split('\n');
    ASSERT_GE(lines.size(), 6) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("NVM USER CRC32: 0x")));
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral(".. OK"))) << lines[5].toStdString();
}

TEST_F(RunScenario, RunStateIsBurnedAndBootsAfterReset) {
    FillMainPage("11 22 33 44\n", u"0x0800");
    if (HasFatalFailure()) return;
    CMainDlg& main = window->MainPage();
    On<QCheckBox>(main, ids::main_page::kRunBox)->click();  // Run
    ASSERT_TRUE(main.Box(ids::main_page::kRunBox).isChecked());
    Click(main, ids::main_page::kComposeButton);
    ASSERT_EQ(Boxes(), std::vector<std::string>{"Compose run completed successfully."});
    ports.messages.shown.clear();
    Click(main, ids::main_page::kBurnButton);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Burn Succeeded"});
    Band(ids::main_window::kResetButton)->click();
    ASSERT_EQ(window->Connected(), 1);
    EXPECT_EQ(Device(5), QStringLiteral("0x07 (0000_0111)"));
    EXPECT_EQ(Device(7), QStringLiteral("0x07 (0000_0111)")) << "boot state Run";
}

TEST_F(SettingsScenario, SavedWorkComposesTheSameInANewWindow) {
    FillMainPage("11 22 33 44\n", u"0x0800");
    if (HasFatalFailure()) return;
    Click(window->MainPage(), ids::main_page::kComposeButton);
    ASSERT_EQ(Boxes(), std::vector<std::string>{"Compose run completed successfully."});
    const int rows = window->MainPage().MapCount();
    ById<QPlainTextEdit>(window->DirectBurnPage(), ids::direct_burn::kDirectTextEdit)
        ->setPlainText(QStringLiteral("@1000 AA 55"));
    const std::u16string set = WidenText(work.path().toStdString() + "/work.set");
    ports.files.answers = {set};
    window->OnFileSaveAs();
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(std::u16string(set))));
    Band(ids::main_window::kConnectButton)->click();

    window = std::make_unique<CZeltra_NVM_BurnerDlg>(ordwin, ports.ports());
    ConnectOrFail();
    ports.files.answers = {set};
    window->OnFileOpen();
    CMainDlg& main = window->MainPage();
    ASSERT_EQ(main.BootCount(), 1);
    ASSERT_EQ(main.AppCount(), 1);
    EXPECT_EQ(main.AppList().GetItemText(0, 1), QStringLiteral("0x0800"));
    EXPECT_EQ(main.BurnFilePath(), burnFile);
    EXPECT_EQ(main.MapCount(), rows) << "the burn file's map is shown again";
    EXPECT_EQ(window->DirectBurnPage().DirectBurnText(), u"@1000 AA 55");
    Click(main, ids::main_page::kComposeButton);
    EXPECT_EQ(Boxes().back(), "Compose run completed successfully.");
    EXPECT_EQ(main.MapCount(), rows);
}

TEST_F(DirectBurnScenario, TypedBytesLandOnTheChip) {
    CDirectBurnDlg& page = window->DirectBurnPage();
    page.DirectRadio().click();
    auto* text = ById<QPlainTextEdit>(page, ids::direct_burn::kDirectTextEdit);
    ASSERT_NE(text, nullptr) << "no Direct Burn Text box";
    text->setPlainText(QStringLiteral("@1000 AA 55"));
    const std::u16string nbf = WidenText(work.path().toStdString() + "/direct.nbf");
    ports.files.answers = {nbf};
    Click(page, ids::direct_burn::kNewBurnFileButton);
    Click(page, ids::direct_burn::kComposeButton);
    ASSERT_EQ(Boxes(), std::vector<std::string>{"Direct Compose run completed successfully."});
    ports.messages.shown.clear();
    Click(page, ids::direct_burn::kBurnButton);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Burn Succeeded"});

    // The same from a Direct Burn File, into the same burn file.
    ports.messages.shown.clear();
    On<QRadioButton>(page, ids::direct_burn::kFromFileRadio)->click();
    ports.files.answers = {WidenText(File("direct.mem", "@1100 12\n"))};
    Click(page, ids::direct_burn::kOpenDirectFileButton);
    Click(page, ids::direct_burn::kComposeButton);
    Click(page, ids::direct_burn::kBurnButton);
    EXPECT_EQ(Boxes().back(), "Burn Succeeded") << "after the overwrite question";

    Band(ids::main_window::kConnectButton)->click();
    ASSERT_EQ(window->Connected(), 0);
    std::vector<uint8_t> nvm = Nvm();
    ASSERT_EQ(nvm.size(), 8192u);
    EXPECT_EQ(nvm[0x1000], 0xAA);
    EXPECT_EQ(nvm[0x1001], 0x55);
    EXPECT_EQ(nvm[0x1100], 0x12);
    for (unsigned a = 0x0200; a < 0x2000; ++a)
        if (a != 0x1000 && a != 0x1001 && a != 0x1100) {
            ASSERT_EQ(nvm[a], 0) << "NVM " << a;
        }
}

}  // namespace
}  // namespace cindral
