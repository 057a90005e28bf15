// The main window and its pages driven through their controls, against the
// scripted library double.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QtMath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/connection.h"
#include "core/text.h"
#include "fake_ordwin.h"
#include "shell/about_dlg.h"
#include "shell/main_window.h"

namespace cindral {
namespace {

using test::FakeOrdwin;
using test::TestPorts;

QStringList Items(QComboBox& combo) {
    QStringList out;
    for (int i = 0; i < combo.count(); ++i) out << combo.itemText(i);
    return out;
}

class WindowTest : public ::testing::Test {
  protected:
    void Make() { window = std::make_unique<CZeltra_NVM_BurnerDlg>(ordwin, ports.ports()); }
    void ZeltraAt(uint8_t userHi, uint8_t userLo, uint8_t prot) {
        ordwin.xdata[0x11F5] = userHi;
        ordwin.xdata[0x11F6] = userLo;
        ordwin.sfr[0xDA] = prot;
    }
    QString Value(int row) { return window->DevicePage().List().GetItemText(row, 1); }
    QPushButton* Button(int id) {
        return window->findChild<QPushButton*>(ControlName(id), Qt::FindDirectChildrenOnly)
                   ?: FindInBand(id);
    }
    QPushButton* FindInBand(int id) {
        for (QPushButton* b : window->findChildren<QPushButton*>(ControlName(id)))
            if (!window->TabFrame().isAncestorOf(b)) return b;
        return nullptr;
    }

    FakeOrdwin ordwin;
    TestPorts ports;
    std::unique_ptr<CZeltra_NVM_BurnerDlg> window;
};

TEST_F(WindowTest, StartUpLayoutCaptionsAndTabs) {
    Make();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Cindral"));
    CDlgTabCtrl& tabs = window->TabFrame();
    ASSERT_EQ(tabs.count(), 5);
    const char* captions[] = {"Main", "Direct Burn", "MTP Write", "Device", "CRC"};
    const int templates[] = {130, 131, 137, 134, 139};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tabs.tabText(i), QString::fromLatin1(captions[i]));
        EXPECT_EQ(tabs.TemplateOf(i), templates[i]);
    }
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_EQ(tabs.objectName(), QStringLiteral("1000"));
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));
    EXPECT_EQ(Button(ids::main_window::kResetButton)->text(),
              QStringLiteral("System Reset/Reboot"));
    EXPECT_FALSE(Button(ids::main_window::kResetButton)->isEnabled());
    EXPECT_EQ(Button(ids::main_window::kExitButton)->text(), QStringLiteral("Exit"));
    EXPECT_TRUE(Button(ids::main_window::kExitButton)->isDefault());
    EXPECT_EQ(window->Connected(), 0);
    EXPECT_STREQ(window->SelectedSerial(), "");

    QMenuBar& bar = window->MenuBar();
    ASSERT_EQ(bar.actions().size(), 2);
    EXPECT_EQ(bar.actions()[0]->text(), QStringLiteral("File"));
    EXPECT_EQ(bar.actions()[1]->text(), QStringLiteral("&Help"));
    QStringList file;
    for (QAction* a : bar.actions()[0]->menu()->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + ' ' + a->text());
    EXPECT_EQ(file, (QStringList{"57601 &Open...", "-", "57603 &Save", "32772 Save &As...", "-",
                                 "32773 E&xit"}));
    EXPECT_EQ(bar.actions()[1]->menu()->actions()[0]->objectName(), QStringLiteral("32774"));

    CDeviceInformation& dev = window->DevicePage();
    EXPECT_EQ(dev.RowCount(), 8);
    EXPECT_EQ(dev.List().headerItem()->text(0), QStringLiteral("Variable or SFR"));
    EXPECT_EQ(dev.List().headerItem()->text(1), QStringLiteral("Value"));
    EXPECT_EQ(dev.List().columnWidth(0), 188);
    EXPECT_EQ(dev.List().columnWidth(1), 120);
    EXPECT_EQ(dev.List().GetItemText(7, 0), QStringLiteral("PROT0_CTRL"));
}

TEST_F(WindowTest, EveryButtonIsWideEnoughForItsCaptions) {
    Make();
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        const QFontMetrics metrics(b->font());
        QStringList captions{b->text()};
        if (b == &window->ConnectButton()) captions << QStringLiteral("Disconnect");
        // What the layout gives the button at least.
        const int width = std::max(b->sizeHint().width(), b->minimumWidth());
        for (const QString& caption : captions) {
            EXPECT_GE(width, metrics.horizontalAdvance(caption) + 2 * metrics.averageCharWidth())
                << caption.toStdString();
        }
    }
}

TEST_F(WindowTest, AdapterListIsSortedAndKeepsTheSelectionOnRefresh) {
    ordwin.adapters = {"VZ0003", "VZ0001", "VZ0002"};
    Make();
    AdapterComboBox& combo = window->AdapterCombo();
    EXPECT_EQ(Items(combo), (QStringList{"VZ0001", "VZ0002", "VZ0003"}));
    EXPECT_EQ(combo.currentIndex(), 0);
    combo.setCurrentIndex(2);
    ordwin.adapters = {"VZ0004", "VZ0003", "VZ0000"};
    emit combo.droppedDown();
    EXPECT_EQ(Items(combo), (QStringList{"VZ0000", "VZ0003", "VZ0004"}));
    EXPECT_EQ(combo.currentText(), QStringLiteral("VZ0003"));
    // The chosen adapter was unplugged: the first in sorted order is chosen.
    ordwin.adapters = {"VZ0009", "VZ0004"};
    emit combo.closedUp();
    QApplication::processEvents();
    EXPECT_EQ(combo.currentText(), QStringLiteral("VZ0004"));
    ordwin.adapters.clear();
    emit combo.droppedDown();
    EXPECT_EQ(combo.count(), 0);
    EXPECT_EQ(combo.currentIndex(), -1);
}

TEST_F(WindowTest, PickingAnAdapterInTheDroppedListSelectsIt) {
    ordwin.adapters = {"VZ0002", "VZ0001"};
    Make();
    window->show();
    AdapterComboBox& combo = window->AdapterCombo();
    combo.showPopup();
    QApplication::processEvents();
    QAbstractItemView* view = combo.view();
    ASSERT_TRUE(view->isVisible());
    QPoint at = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QApplication::processEvents();
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(combo.currentText(), QStringLiteral("VZ0002"));
    EXPECT_GE(ordwin.Count("USBDebugDevices"), 3) << "refreshed at start, drop-down and close-up";
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(ordwin.lastSerial, "VZ0002");
}

TEST_F(WindowTest, NoSelectionShowsTheMessageAndDoesNotConnect) {
    Make();
    Button(ids::main_window::kConnectButton)->click();
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    EXPECT_EQ(ports.messages.LastText(),
              "Please select an Adapter from the list! If the list is empty then no USB Debug "
              "Adapter is detected.");
    EXPECT_EQ(ordwin.Count("ConnectUSB"), 0);
    EXPECT_EQ(window->Connected(), 0);

    // Text typed into the edit field that names no listed adapter is no selection either.
    ordwin.adapters = {"VZ0001"};
    emit window->AdapterCombo().droppedDown();
    window->AdapterCombo().setEditText(QStringLiteral("VZ77"));
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(ports.messages.shown.size(), 2u);
    EXPECT_EQ(ordwin.Count("ConnectUSB"), 0);
}

TEST_F(WindowTest, ConnectSetsEveryFlagAndFillsTheDevicePage) {
    ordwin.adapters = {"VZ0001"};
    ZeltraAt(0x02, 0x00, 0x03);
    Make();
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_TRUE(ports.messages.shown.empty());
    EXPECT_EQ(ordwin.lastSerial, "VZ0001");
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(Button(ids::main_window::kResetButton)->isEnabled());
    EXPECT_EQ(window->MainPage().Connected(), 1);
    EXPECT_EQ(window->CrcPage().Connected(), 1);
    EXPECT_EQ(window->DevicePage().Connected(), 1);
    EXPECT_EQ(window->MtpPage().Connected(), 1);
    EXPECT_EQ(window->DirectBurnPage().Connected(), 0) << "told at the next tab change";
    EXPECT_EQ(Value(1), QStringLiteral("0x0200"));
    EXPECT_EQ(Value(7), QStringLiteral("0x03 (0000_0011)"));
    EXPECT_EQ(window->MainPage().BootStatus(), 0x03);
    EXPECT_EQ(window->MainPage().FirstBootAddress(), u"0x0200");

    window->TabFrame().setCurrentIndex(CZeltra_NVM_BurnerDlg::kTabDirectBurn);
    EXPECT_EQ(window->DirectBurnPage().Connected(), 1);

    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(window->Connected(), 0);
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(Button(ids::main_window::kResetButton)->isEnabled());
    EXPECT_EQ(window->MainPage().Connected(), 0);
    EXPECT_EQ(window->CrcPage().Connected(), 0);
    EXPECT_EQ(window->DevicePage().Connected(), 0);
    EXPECT_EQ(window->MtpPage().Connected(), 0);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(Value(r), QString()) << r;
    EXPECT_EQ(window->DevicePage().List().GetItemText(0, 0), QStringLiteral("wBoot_DpramTrimBeg"));
}

TEST_F(WindowTest, TabChangesPassTheDeviceStateOnExceptToThePageBeingLeft) {
    ordwin.adapters = {"VZ0001"};
    ZeltraAt(0x03, 0x00, 0x07);
    Make();
    Button(ids::main_window::kConnectButton)->click();
    CDlgTabCtrl& tabs = window->TabFrame();
    tabs.setCurrentIndex(CZeltra_NVM_BurnerDlg::kTabMtp);  // leaving Main: both pages told
    EXPECT_EQ(window->DirectBurnPage().Connected(), 1);
    window->MtpPage().SetConnectionState(0);
    window->DirectBurnPage().SetConnected(0);
    tabs.setCurrentIndex(CZeltra_NVM_BurnerDlg::kTabDevice);  // leaving MTP Write
    EXPECT_EQ(window->MtpPage().Connected(), 1);
    EXPECT_EQ(window->DirectBurnPage().Connected(), 0);
    tabs.setCurrentIndex(CZeltra_NVM_BurnerDlg::kTabDirectBurn);
    window->MtpPage().SetConnectionState(0);
    window->DirectBurnPage().SetConnected(0);
    tabs.setCurrentIndex(CZeltra_NVM_BurnerDlg::kTabCrc);  // leaving Direct Burn
    EXPECT_EQ(window->MtpPage().Connected(), 0);
    EXPECT_EQ(window->DirectBurnPage().Connected(), 1);
    EXPECT_EQ(window->MainPage().FirstBootAddress(), u"0x0300");
    EXPECT_EQ(window->MainPage().BootStatus(), 0x07);
}

TEST_F(WindowTest, ConnectFailureAndInvalidTargetEndDisconnected) {
    ordwin.adapters = {"VZ0001"};
    ordwin.connectResult = static_cast<int32_t>(0x8100000B);
    ordwin.errorText = "Could not open USB device.";
    Make();
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(ports.messages.LastText(), "Connect Failure: Could not open USB device.");
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));

    ordwin.connectResult = 0;
    ordwin.hardwareId = 0x10;
    ordwin.deviceName = "C8051F500";
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(ports.messages.LastText(), "Connection failure:\nInvalid target: C8051F500");
    EXPECT_EQ(window->Connected(), 0);
    EXPECT_EQ(ordwin.connectedFlag, 0);
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(Button(ids::main_window::kResetButton)->isEnabled());
    EXPECT_EQ(Value(1), QString()) << "no read after a refused connect";
}

TEST_F(WindowTest, DisconnectFailureKeepsTheConnection) {
    ordwin.adapters = {"VZ0001"};
    Make();
    Button(ids::main_window::kConnectButton)->click();
    ordwin.disconnectResult = static_cast<int32_t>(0x81000009);
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(ports.messages.LastText(), "Disconnect Failure\n");
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(window->DevicePage().Connected(), 1);
}

TEST_F(WindowTest, SystemResetReconnectsToTheNewlySelectedAdapter) {
    ordwin.adapters = {"VZ0001", "VZ0002"};
    Make();
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(ordwin.lastSerial, "VZ0001");
    window->AdapterCombo().setCurrentIndex(1);
    ordwin.calls.clear();
    Button(ids::main_window::kResetButton)->click();
    EXPECT_EQ(ordwin.lastSerial, "VZ0002");
    EXPECT_EQ(ordwin.calls.front(), "DisconnectUSB");
    EXPECT_EQ(ordwin.Count("ConnectUSB"), 1);
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_TRUE(Button(ids::main_window::kResetButton)->isEnabled());
    EXPECT_GT(ordwin.Count("GetXRAMMemory"), 0) << "the Device page reads again";
}

TEST_F(WindowTest, FailedReconnectLeavesConnectCaptionAndResetDisabled) {
    ordwin.adapters = {"VZ0001"};
    Make();
    Button(ids::main_window::kConnectButton)->click();
    ordwin.connectResult = static_cast<int32_t>(0x81030003);
    Button(ids::main_window::kResetButton)->click();
    EXPECT_EQ(window->Connected(), 0);
    EXPECT_FALSE(Button(ids::main_window::kResetButton)->isEnabled());
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Connect"));
    ordwin.connectResult = 0;
    Button(ids::main_window::kConnectButton)->click();
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_EQ(Button(ids::main_window::kConnectButton)->text(), QStringLiteral("Disconnect"));
}

TEST_F(WindowTest, EscapeIsSwallowedAndExitDisconnects) {
    ordwin.adapters = {"VZ0001"};
    Make();
    window->show();
    Button(ids::main_window::kConnectButton)->click();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(&window->TabFrame(), Qt::Key_Escape);
    QTest::keyClick(&window->MainPage(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ordwin.Count("DisconnectUSB"), 0);
    Button(ids::main_window::kExitButton)->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(ordwin.Count("DisconnectUSB"), 1);
}

TEST_F(WindowTest, ReturnInTheAdapterBoxConnectsAndNeverExits) {
    ordwin.adapters = {"VZ0001"};
    Make();
    window->show();
    QWidget* edit = window->AdapterCombo().lineEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_EQ(ordwin.Count("ConnectUSB"), 1);
    EXPECT_EQ(window->ConnectButton().text(), QStringLiteral("Disconnect"));
    // Connected: Return does nothing at all.
    QTest::keyClick(edit, Qt::Key_Enter);
    QTest::keyClick(&window->ConnectButton(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Connected(), 1);
    EXPECT_EQ(ordwin.Count("ConnectUSB"), 1);
    EXPECT_EQ(ordwin.Count("DisconnectUSB"), 0);
}

TEST_F(WindowTest, CloseBoxAndMenuExitDisconnectOnlyWhenConnected) {
    ordwin.adapters = {"VZ0001"};
    Make();
    window->show();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ordwin.Count("DisconnectUSB"), 0);

    Make();
    window->show();
    Button(ids::main_window::kConnectButton)->click();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ordwin.Count("DisconnectUSB"), 1);

    Make();
    window->show();
    Button(ids::main_window::kConnectButton)->click();
    window->MenuBar().actions()[0]->menu()->actions().last()->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ordwin.Count("DisconnectUSB"), 2);
}

TEST_F(WindowTest, SaveAsksForANameOnceThenWritesToIt) {
    Make();
    QMenu* file = window->MenuBar().actions()[0]->menu();
    auto action = [&](int id) {
        for (QAction* a : file->actions())
            if (a->objectName() == ControlName(id)) return a;
        return static_cast<QAction*>(nullptr);
    };
    const std::string path = "/tmp/cindral-window-" + std::to_string(getpid()) + ".set";
    std::remove(path.c_str());
    ports.files.answers = {WidenText(path)};
    action(ids::main_window::kFileSave)->trigger();  // Save with no current path: asks like Save As
    ASSERT_EQ(ports.files.requests.size(), 1u);
    EXPECT_EQ(ports.files.requests[0].proposedName, u"Presets");
    EXPECT_EQ(ports.files.requests[0].defaultExtension, u"set");
    EXPECT_TRUE(ports.files.requests[0].confirmOverwrite);
    EXPECT_EQ(ports.files.requests[0].filter,
              u"NVM Burner Settings (*.set)|*.set|All Files (*.*)|*.*||");
    EXPECT_EQ(window->SettingsPath(), WidenText(path));
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    ASSERT_TRUE(in.is_open());
    EXPECT_EQ(static_cast<long>(in.tellg()), 88) << "empty pages: counts, strings and states";

    // The second Save writes without asking; a cancelled Save As keeps the path.
    std::remove(path.c_str());
    action(ids::main_window::kFileSave)->trigger();
    EXPECT_TRUE(std::ifstream(path).is_open());
    EXPECT_EQ(ports.files.requests.size(), 1u);
    action(ids::main_window::kFileSaveAs)->trigger();
    EXPECT_EQ(window->SettingsPath(), WidenText(path));

    // Opening loads without changing the path that Save writes to.
    ports.files.answers = {WidenText(path)};
    action(ids::main_window::kFileOpen)->trigger();
    EXPECT_EQ(window->SettingsPath(), WidenText(path));
    // Missing, empty and foreign files load silently.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "garbage";
    ports.files.answers = {WidenText(path), u"/nonexistent/x.set"};
    action(ids::main_window::kFileOpen)->trigger();
    action(ids::main_window::kFileOpen)->trigger();
    EXPECT_TRUE(ports.messages.shown.empty());

    // A save that cannot be written says so and leaves the old file whole.
    ports.files.answers = {u"/nonexistent/dir/x.set"};
    action(ids::main_window::kFileSaveAs)->trigger();
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    EXPECT_EQ(ports.messages.LastText(),
              "The settings could not be saved to /nonexistent/dir/x.set:\nNo such file or "
              "directory");
    // Written in full before it replaces anything: a target that cannot be
    // replaced keeps what it held, and no temporary file is left beside it.
    std::remove(path.c_str());
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    std::ofstream(path + "/inside", std::ios::binary) << "kept";
    ports.files.answers = {WidenText(path)};
    action(ids::main_window::kFileSaveAs)->trigger();
    EXPECT_EQ(ports.messages.shown.size(), 2u);
    EXPECT_NE(ports.messages.LastText().find("Is a directory"), std::string::npos);
    std::ifstream kept(path + "/inside", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
    std::filesystem::remove_all(path);
    const std::string stem = std::filesystem::path(path).filename().string() + ".";
    for (const auto& e : std::filesystem::directory_iterator("/tmp"))
        EXPECT_NE(e.path().filename().string().rfind(stem, 0), 0u) << e.path();
}

TEST_F(WindowTest, AboutShowsTheVersionLine) {
    Make();
    QString shown;
    window->SetModalRunner([&](QDialog& d) {
        auto* label = ById<QLabel>(d, ids::about::kVersionLabel);
        if (label) shown = label->text();
        return int(QDialog::Accepted);
    });
    window->MenuBar().actions()[1]->menu()->actions()[0]->trigger();
    EXPECT_EQ(shown, QStringLiteral("Cindral Version 1.3"));
}

TEST_F(WindowTest, CrcPageRunAndClear) {
    ordwin.adapters = {"VZ0001"};
    Make();
    CRunCRCDlg& crc = window->CrcPage();
    auto* run = ById<QPushButton>(crc, ids::crc::kRunButton);
    auto* clear = ById<QPushButton>(crc, ids::crc::kClearButton);
    ASSERT_TRUE(run && clear);
    run->click();
    EXPECT_EQ(ports.messages.LastText(), "Not connected to the device.\n");
    EXPECT_TRUE(crc.OutputBox().toPlainText().isEmpty());
    EXPECT_EQ(ordwin.Count("GetPageCRC:249"), 0);

    Button(ids::main_window::kConnectButton)->click();
    ordwin.SetRegionCrc(0xF9, 0x01020304);
    for (int i = 0; i < 4; ++i) ordwin.ram[0x70 + 76 + i] = static_cast<uint8_t>(i + 1);
    run->click();
    QStringList lines = crc.OutputBox().toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], QString());
    EXPECT_EQ(lines[1], QStringLiteral("NVM TRIM CRC32: 0x01020304"));
    EXPECT_EQ(lines[2], QStringLiteral("PT  TRIM CRC32: 0x01020304.. OK"));
    EXPECT_EQ(lines[3], QString());
    EXPECT_EQ(lines[9], QStringLiteral("PT DATA: "));
    EXPECT_EQ(lines[19], QStringLiteral("0048:   00 00 00 00 01 02 03 04"));
    EXPECT_TRUE(crc.OutputBox().isReadOnly());
    QTextCursor last(crc.OutputBox().document());
    last.movePosition(QTextCursor::End);
    EXPECT_EQ(last.charFormat().fontFamilies().toStringList().value(0),
              QStringLiteral("Courier New"));
    run->click();
    EXPECT_EQ(crc.OutputBox().toPlainText().count(QStringLiteral("PT DATA")), 2)
        << "output accumulates";
    clear->click();
    EXPECT_TRUE(crc.OutputBox().toPlainText().isEmpty());
    run->click();
    EXPECT_TRUE(crc.OutputBox().toPlainText().startsWith(QStringLiteral("\nNVM TRIM")));
}

TEST_F(WindowTest, OutputLogAppendsAtTheEndEvenWithASelection) {
    Make();
    CDeviceInformation& dev = window->DevicePage();
    dev.WriteOutputText(u"first", false, true);
    dev.WriteOutputText(u"second", false, true);
    QTextCursor c = dev.OutputBox().textCursor();
    c.setPosition(0);
    c.setPosition(3, QTextCursor::KeepAnchor);
    dev.OutputBox().setTextCursor(c);
    dev.WriteOutputLine(u"Burn Succeeded");
    QStringList lines = dev.OutputBox().toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("first"));
    EXPECT_EQ(lines[1], QStringLiteral("second"));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" Burn Succeeded")));
    EXPECT_EQ(lines[2].size(), 9 + 14);
    EXPECT_EQ(dev.OutputBox().objectName(), QStringLiteral("1035"));
    EXPECT_FALSE(dev.OutputBox().isReadOnly());
}

// A library double that can act while a connect runs (a second click arriving).
class SlowConnect : public FakeOrdwin {
  public:
    std::function<void()> during;
    int ConnectUSB(const char* sn, int protocol, int option, int disableDialogs) override {
        if (during) during();
        return FakeOrdwin::ConnectUSB(sn, protocol, option, disableDialogs);
    }
};

// What the operator can still get wrong around the adapter: the second click of
// a double click, and a lost adapter whose place another one would take.
TEST(WindowSafety, OneActivationPerClickWhileConnecting) {
    SlowConnect ordwin;
    ordwin.adapters = {"VZ0001"};
    TestPorts ports;
    CZeltra_NVM_BurnerDlg window(ordwin, ports.ports());
    window.show();
    QPushButton& connect = window.ConnectButton();
    struct Case {
        const char* name;
        std::function<void(QPushButton&)> secondClick;
    } cases[] = {
        {"delivered at once", [](QPushButton& b) { QTest::mouseClick(&b, Qt::LeftButton); }},
        {"queued behind the connect",
         [](QPushButton& b) {
             const QPointF at = QRectF(b.rect()).center();
             for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                 QCoreApplication::postEvent(
                     &b, new QMouseEvent(
                             type, at, b.mapToGlobal(at), Qt::LeftButton,
                             type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                             Qt::NoModifier));
         }},
        {"the reset button, queued", [&window](QPushButton&) { window.ResetButton().click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ordwin.calls.clear();
        ordwin.during = [&] { c.secondClick(connect); };
        QTest::mouseClick(&connect, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(ordwin.Count("ConnectUSB"), 1);
        EXPECT_EQ(ordwin.Count("DisconnectUSB"), 0);
        EXPECT_EQ(window.Connected(), 1);
        EXPECT_TRUE(connect.isEnabled());
        EXPECT_TRUE(window.ResetButton().isEnabled());
        ordwin.during = nullptr;
        connect.click();
        ASSERT_EQ(window.Connected(), 0);
    }
}

TEST(WindowSafety, ALostAdapterStaysSelectedUntilItIsBackOrAnotherIsChosen) {
    FakeOrdwin ordwin;
    ordwin.adapters = {"VZ0001", "VZ0002"};
    TestPorts ports;
    CZeltra_NVM_BurnerDlg window(ordwin, ports.ports());
    AdapterComboBox& combo = window.AdapterCombo();
    auto loseWhileConnected = [&] {
        window.ConnectButton().click();
        ASSERT_EQ(window.Connected(), 1);
        ASSERT_EQ(ordwin.lastSerial, "VZ0001");
        // The adapter goes; the CRC check's failing call is how the window learns it.
        ordwin.adapters = {"VZ0002"};
        ordwin.failPageCrcCall = ordwin.pageCrcCalls + 1;
        ById<QPushButton>(window.CrcPage(), ids::crc::kRunButton)->click();
        QCoreApplication::processEvents();
        ASSERT_EQ(window.Connected(), 0);
        EXPECT_EQ(ports.messages.LastText(),
                  NarrowText(AdapterLostText(LostDuring::kNothing), 4096));
        EXPECT_EQ(Items(combo), (QStringList{"VZ0001 (missing)", "VZ0002"}));
        EXPECT_EQ(combo.currentText(), QStringLiteral("VZ0001 (missing)"));
    };
    struct Case {
        const char* name;
        std::function<void()> then;
        std::string serialAfterConnect;  // empty: Connect refused
    } cases[] = {
        {"a refresh keeps it", [&] { emit combo.droppedDown(); }, ""},
        {"it comes back",
         [&] {
             ordwin.adapters = {"VZ0002", "VZ0001"};
             emit combo.droppedDown();
         },
         "VZ0001"},
        {"another is chosen",
         [&] {
             combo.setCurrentIndex(1);
             emit combo.activated(1);
             emit combo.closedUp();
             QCoreApplication::processEvents();
         },
         "VZ0002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ordwin.adapters = {"VZ0001", "VZ0002"};
        emit combo.droppedDown();
        combo.setCurrentIndex(0);
        loseWhileConnected();
        c.then();
        ordwin.calls.clear();
        ports.messages.shown.clear();
        window.ConnectButton().click();
        if (c.serialAfterConnect.empty()) {
            EXPECT_EQ(ordwin.Count("ConnectUSB"), 0);
            EXPECT_EQ(ports.messages.LastText(),
                      "The adapter VZ0001 is missing. Plug it in again, or choose another "
                      "adapter from the list.");
            EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Exclamation);
            EXPECT_EQ(window.MissingSerial(), QStringLiteral("VZ0001"));
            // Let it come back so that the next case starts clean.
            ordwin.adapters = {"VZ0001", "VZ0002"};
            emit combo.droppedDown();
            continue;
        }
        EXPECT_EQ(ordwin.lastSerial, c.serialAfterConnect);
        EXPECT_EQ(window.Connected(), 1);
        EXPECT_TRUE(window.MissingSerial().isEmpty());
        EXPECT_FALSE(Items(combo).join(',').contains(QStringLiteral("missing")));
        window.ConnectButton().click();
    }
}

// Every check and write of a chip leaves one line in the log; the CRC report is
// shown from its first line in a box that holds it whole.
TEST(WindowSafety, CrcCheckAndMtpWriteEndWithALogLine) {
    FakeOrdwin ordwin;
    ordwin.adapters = {"VZ0001"};
    TestPorts ports;
    CZeltra_NVM_BurnerDlg window(ordwin, ports.ports());
    window.resize(760, 620);
    window.show();
    window.ConnectButton().click();
    window.TabFrame().setCurrentIndex(CZeltra_NVM_BurnerDlg::kTabCrc);
    ordwin.SetRegionCrc(0xF9, 0x01020304);
    for (int i = 0; i < 4; ++i) ordwin.ram[0x70 + 76 + i] = static_cast<uint8_t>(i + 1);
    auto* run = ById<QPushButton>(window.CrcPage(), ids::crc::kRunButton);
    QTextEdit& report = window.CrcPage().OutputBox();
    for (int pass = 0; pass < 2; ++pass) {
        run->click();
        QCoreApplication::processEvents();
        // The run's first line ("NVM TRIM CRC32") and its last line are both in view.
        const QTextDocument& doc = *report.document();
        const int first =
            doc.find(QStringLiteral("NVM TRIM"), pass == 0 ? 0 : doc.characterCount() / 2)
                .blockNumber();
        ASSERT_GT(first, 0);
        for (int block : {first, first + 18}) {
            const QRect line = report.cursorRect(QTextCursor(doc.findBlockByNumber(block)));
            EXPECT_GE(line.top(), 0) << pass << " " << block;
            EXPECT_LE(line.bottom(), report.viewport()->height()) << pass << " " << block;
        }
    }
    ordwin.failPageCrcCall = ordwin.pageCrcCalls + 3;
    run->click();
    QCoreApplication::processEvents();
    QStringList log = window.DevicePage().OutputBox().toPlainText().split('\n');
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[log.size() - 3].mid(9),
              QStringLiteral("CRC check ended: adapter VZ0001: trim CRC OK, user CRC OK"));
    EXPECT_EQ(log[log.size() - 2].mid(9),
              QStringLiteral("CRC check ended: adapter VZ0001: Error occurred performing CRC "
                             "operations."));
}

// The window on a 1024x768 screen at the scale the test runs with (its own test
// entry runs it at 1.5): the buttons inside the window, every page's lowest
// control reachable by scrolling, and list rows tall enough for their text.
TEST(ScaledWindow, FitsA1024x768ScreenAndRowsHoldTheirText) {
    FakeOrdwin ordwin;
    TestPorts ports;
    CZeltra_NVM_BurnerDlg window(ordwin, ports.ports());
    window.show();
    const qreal scale = window.devicePixelRatioF();
    // The screen in the window's own units, less a frame and a title bar.
    const QSize room = QSize(qFloor(1024 / scale), qFloor(768 / scale)) - QSize(16, 48);
    EXPECT_LE(window.minimumSizeHint().width(), room.width()) << scale;
    EXPECT_LE(window.minimumSizeHint().height(), room.height()) << scale;
    window.resize(room);
    QCoreApplication::processEvents();
    for (QWidget* w : std::initializer_list<QWidget*>{
             &window.ConnectButton(), &window.ResetButton(), &window.AdapterCombo(),
             window.findChild<QPushButton*>(ControlName(ids::main_window::kExitButton))}) {
        ASSERT_NE(w, nullptr);
        const QRect at(w->mapTo(&window, QPoint(0, 0)), w->size());
        EXPECT_TRUE(window.rect().contains(at)) << w->objectName().toStdString();
    }
    struct Lowest {
        int tab;
        QWidget* widget;
    } lowest[] = {
        {CZeltra_NVM_BurnerDlg::kTabMain, &window.MainPage().MapList()},
        {CZeltra_NVM_BurnerDlg::kTabDirectBurn, &window.DirectBurnPage().BurnButton()},
        {CZeltra_NVM_BurnerDlg::kTabMtp,
         window.MtpPage().findChild<QPushButton*>(ControlName(ids::mtp::kWriteButton))},
        {CZeltra_NVM_BurnerDlg::kTabDevice, &window.DevicePage().OutputBox()},
        {CZeltra_NVM_BurnerDlg::kTabCrc, &window.CrcPage().OutputBox()},
    };
    for (const Lowest& l : lowest) {
        SCOPED_TRACE(l.tab);
        ASSERT_NE(l.widget, nullptr);
        window.TabFrame().setCurrentIndex(l.tab);
        QCoreApplication::processEvents();
        auto* frame = qobject_cast<QScrollArea*>(window.TabFrame().widget(l.tab));
        ASSERT_NE(frame, nullptr);
        frame->ensureWidgetVisible(l.widget, 0, 0);
        QCoreApplication::processEvents();
        const QRect at(l.widget->mapTo(frame->viewport(), QPoint(0, 0)),
                       QSize(l.widget->width(), std::min(l.widget->height(), 40)));
        EXPECT_TRUE(frame->viewport()->rect().intersects(at));
        EXPECT_TRUE(frame->viewport()->rect().contains(at.bottomLeft()) ||
                    at.height() >= frame->viewport()->height())
            << "reachable";
    }

    // A row holds the font's whole line: the underline of "wBoot_NvmUserBeg" lies
    // above the row's grid line.
    CListCtrlStyled* lists[] = {&window.MainPage().BootList(), &window.MainPage().MapList(),
                                &window.DevicePage().List()};
    for (CListCtrlStyled* list : lists) {
        if (list->GetItemCount() == 0) list->InsertItem(0, QStringLiteral("wBoot_NvmUserBeg"));
        const QFontMetrics metrics(list->font());
        const int row = list->visualItemRect(list->topLevelItem(0)).height();
        const int textTop = (row - metrics.height()) / 2;
        EXPECT_LT(textTop + metrics.ascent() + metrics.underlinePos() + metrics.lineWidth(),
                  row - 1)
            << list->objectName().toStdString() << " row " << row;
        EXPECT_GE(row, metrics.height() + 3) << list->objectName().toStdString();
    }
}

}  // namespace
}  // namespace cindral
