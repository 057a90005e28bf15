// The Direct Burn page offscreen: its defaults, refusals, file choosers, the
// line-break replacement and Compose and Burn through its engine.
#include <QApplication>
#include <QTest>
#include <filesystem>

#include "burn/device_page.h"
#include "burn/direct_burn_page.h"
#include "burn_test_support.h"
#include "shell/burn_progress.h"
#include "shell/main_window.h"

namespace cindral {
namespace {

using test::Narrow;
using test::ProgramDir;
using test::TestPorts;

class DirectBurnPage : public ::testing::Test {
  protected:
    DirectBurnPage()
        : device(ordwin, ports.messages), page(ordwin, ports.ports(), device, dir.Wide()) {
        device.SetConnected(1);
    }
    void Warned(const std::string& text) {
        EXPECT_EQ(ports.messages.LastText(), text);
        EXPECT_EQ(Narrow(ports.messages.shown.back().caption), "Warning!");
    }

    test::FakeOrdwin ordwin;
    TestPorts ports;
    ProgramDir dir;
    CDeviceInformation device;
    CDirectBurnDlg page;
};

TEST_F(DirectBurnPage, DefaultsAndRefusals) {
    EXPECT_TRUE(page.FileRadio().isChecked());
    EXPECT_TRUE(page.LogicOrRadio().isChecked());
    EXPECT_FALSE(page.StrictRadio().isChecked());
    EXPECT_EQ(page.BurnButton().objectName(), QStringLiteral("1032"));

    page.OnCompose();
    Warned("An NVM Burn File is required.");
    page.OnBurn();
    Warned("An NVM Burn File is required.");
    page.NvmBurnFileEdit().setText(QString::fromStdString(dir / "o.nbf"));
    page.OnCompose();
    Warned("A Direct Burn File is required.");
    page.DirectRadio().setChecked(true);
    page.OnCompose();
    Warned("Text is required for Composing.");
    test::WriteAll(dir / "o.nbf", "[Burn]\r\nCount=1\r\n");
    page.OnBurn();
    Warned("Text is required to execute the Burn.");
    EXPECT_EQ(ordwin.Count("Download"), 0);
    EXPECT_TRUE(device.OutputBox().toPlainText().isEmpty());
}

TEST_F(DirectBurnPage, TypedLinesReachTheComposerAsOneLine) {
    dir.ScriptComposer("for a in \"$@\"; do echo \"[$a]\"; done");
    page.DirectRadio().setChecked(true);
    page.TextEdit().setPlainText(QStringLiteral("@0300 01\n02\n@0310 03"));
    page.NvmBurnFileEdit().setText(QString::fromStdString(dir / "o.nbf"));
    page.StrictRadio().setChecked(true);
    page.OnCompose();
    EXPECT_EQ(Narrow(page.Engine().DirectCommandLine()),
              dir.Path() + "marlspin  --dir_burn_str=\"@0300 01 02 @0310 03\" --nvm_burn_file=" +
                  (dir / "o.nbf") + " --mode_strict ");
    EXPECT_EQ(ports.messages.LastText(), "Direct Compose run completed successfully.");
    EXPECT_EQ(page.TextEdit().toPlainText(), QStringLiteral("@0300 01\n02\n@0310 03"))
        << "the box keeps its line breaks";
    const QString log = device.OutputBox().toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("[--dir_burn_str=@0300 01 02 @0310 03]")))
        << log.toStdString();
    EXPECT_EQ(ReplaceLineBreaks(u"a\r\nb\rc\nd"), u"a  b c d");
}

TEST_F(DirectBurnPage, ComposesADirectFileWithTheRealComposer) {
    test::WriteAll(dir / "in.mem", "@1F00 01 02 // two bytes\n");
    ports.files.answers = {WidenText(dir / "in.mem")};
    page.OnOpenDirectBurnFile();
    EXPECT_EQ(page.DirectBurnFileEdit().text().toStdString(), dir / "in.mem");
    test::WriteAll(dir / "o.nbf", "old");
    ports.files.answers = {WidenText(dir / "o.nbf")};
    page.OnNewNvmBurnFile();
    EXPECT_EQ(test::ReadAll(dir / "o.nbf"), "") << "New... empties an existing file";
    page.OnCompose();
    EXPECT_EQ(ports.messages.LastText(), "Direct Compose run completed successfully.");
    EXPECT_NE(test::ReadAll(dir / "o.nbf").find("in.mem 0x1F00 0x1F01 0x0002 2 OK\r\n"),
              std::string::npos);

    // Composing again over it asks first.
    ports.messages.answers = {MsgResult::Cancel};
    page.OnCompose();
    EXPECT_NE(ports.messages.LastText().find("exists!"), std::string::npos);
    page.OverwriteBox().setChecked(true);
    page.OnCompose();
    EXPECT_EQ(ports.messages.LastText(), "Direct Compose run completed successfully.");
}

TEST_F(DirectBurnPage, SpacesInChosenPathsAreRefused) {
    ports.files.answers = {u"/a dir/x.mem", u"/b/y z.nbf", u"/c d/n.nbf"};
    page.OnOpenDirectBurnFile();
    page.OnOpenNvmBurnFile();
    page.OnNewNvmBurnFile();
    EXPECT_EQ(ports.messages.shown.size(), 3u);
    for (const auto& s : ports.messages.shown) {
        EXPECT_EQ(Narrow(s.text), "Spaces are not allowed in the file name or file path.");
        EXPECT_EQ(Narrow(s.caption), "Error!");
    }
    EXPECT_TRUE(page.DirectBurnFileEdit().text().isEmpty());
    EXPECT_TRUE(page.NvmBurnFileEdit().text().isEmpty());
}

TEST_F(DirectBurnPage, SettingsRoundTrip) {
    SettingsWriter empty;
    page.StoreDirectBurnSettings(empty);
    EXPECT_EQ(empty.Bytes().size(), 32u) << "five states and three empty strings";
    page.DirectRadio().setChecked(true);
    page.StrictRadio().setChecked(true);
    page.OverwriteBox().setChecked(true);
    page.DirectBurnFileEdit().setText(QStringLiteral("/d/in.mem"));
    page.NvmBurnFileEdit().setText(QStringLiteral("/d/o.nbf"));
    page.TextEdit().setPlainText(QStringLiteral("@0300 01\n02"));
    SettingsWriter out;
    page.StoreDirectBurnSettings(out);

    CDirectBurnDlg other(ordwin, ports.ports(), device, dir.Wide());
    SettingsReader in(out.Bytes());
    other.LoadDirectBurnSettings(in);
    EXPECT_TRUE(other.DirectRadio().isChecked());
    EXPECT_TRUE(other.StrictRadio().isChecked());
    EXPECT_TRUE(other.OverwriteBox().isChecked());
    EXPECT_EQ(other.DirectBurnFileEdit().text(), QStringLiteral("/d/in.mem"));
    EXPECT_EQ(other.NvmBurnFileEdit().text(), QStringLiteral("/d/o.nbf"));
    EXPECT_EQ(other.TextEdit().toPlainText(), QStringLiteral("@0300 01\n02"));

    // Cut inside the first path: the states are kept, no path is.
    std::vector<uint8_t> bytes = out.Bytes();
    bytes.resize(5 * 4 + 4 + 2);
    CDirectBurnDlg cut(ordwin, ports.ports(), device, dir.Wide());
    SettingsReader cutIn(bytes);
    cut.LoadDirectBurnSettings(cutIn);
    EXPECT_TRUE(cut.DirectRadio().isChecked());
    EXPECT_TRUE(cut.DirectBurnFileEdit().text().isEmpty());
    EXPECT_TRUE(cut.NvmBurnFileEdit().text().isEmpty());

    // What was typed on the page survives a file that ends early or is garbage.
    for (std::vector<uint8_t> input :
         {std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().begin() + 5 * 4 + 4 + 2),
          std::vector<uint8_t>{'g', 'a', 'r', 'b', 'a', 'g', 'e'}}) {
        cut.DirectBurnFileEdit().setText(QStringLiteral("/typed/in.mem"));
        cut.NvmBurnFileEdit().setText(QStringLiteral("/typed/o.nbf"));
        cut.TextEdit().setPlainText(QStringLiteral("@0400 07"));
        SettingsReader partial(input);
        cut.LoadDirectBurnSettings(partial);
        EXPECT_EQ(cut.DirectBurnFileEdit().text(), QStringLiteral("/typed/in.mem"));
        EXPECT_EQ(cut.NvmBurnFileEdit().text(), QStringLiteral("/typed/o.nbf"));
        EXPECT_EQ(cut.TextEdit().toPlainText(), QStringLiteral("@0400 07"));
    }
}

// The window is busy while a burn runs: a second Burn press starts nothing.

TEST(DirectBurnBusy, SecondBurnPressDuringABurnStartsNothing) {
    test::ScriptedBurner ordwin;
    TestPorts ports;
    ProgramDir dir;
    CDeviceInformation device(ordwin, ports.messages);
    device.SetConnected(1);
    CDirectBurnDlg page(ordwin, ports.ports(), device, dir.Wide());
    QTemporaryDir work;
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());
    test::WriteAll(dir / "o.nbf", test::BurnFileText(1, 1));
    page.DirectRadio().setChecked(true);
    page.TextEdit().setPlainText(QStringLiteral("@1F00 01"));
    page.NvmBurnFileEdit().setText(QString::fromStdString(dir / "o.nbf"));
    bool disabledDuring = false;
    ordwin.onPoll = [&] {
        disabledDuring = !page.BurnButton().isEnabled();
        page.BurnButton().click();
        page.OnBurn();
    };
    page.BurnButton().click();
    QDir::setCurrent(before);
    EXPECT_EQ(ordwin.downloads, 1);
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(page.isEnabled()) << "enabled again afterwards";
    EXPECT_EQ(test::Texts(ports.messages), "Burn Succeeded|");
}

TEST(DirectBurnBusy, TheWindowOffersNothingElseWhileABurnRuns) {
    test::ScriptedBurner ordwin;
    TestPorts ports;
    CZeltra_NVM_BurnerDlg window(ordwin, ports.ports());
    window.DevicePage().SetConnected(1);
    QTemporaryDir work;
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());
    test::WriteAll("o.nbf", test::BurnFileText(1, 1));
    CDirectBurnDlg& page = window.DirectBurnPage();
    page.DirectRadio().setChecked(true);
    page.TextEdit().setPlainText(QStringLiteral("@1F00 01"));
    page.NvmBurnFileEdit().setText(QStringLiteral("o.nbf"));
    window.show();
    std::string during;
    std::string fileMenu;
    bool closed = true;
    ordwin.onPoll = [&] {
        during =
            Format("%d%d%d%d%d%d", window.ConnectButton().isEnabled(), window.MtpPage().isEnabled(),
                   window.CrcPage().isEnabled(), window.MainPage().isEnabled(), page.isEnabled(),
                   QApplication::overrideCursor() != nullptr);
        for (QAction* a : window.MenuBar().actions()[0]->menu()->actions())
            if (!a->isSeparator()) fileMenu += a->isEnabled() ? '1' : '0';
        window.OnConnect();
        window.MainPage().OnBurn();
        // The close box is answered, and the burn goes on.
        closed = window.close();
    };
    page.BurnButton().click();
    QDir::setCurrent(before);
    EXPECT_EQ(during, "000001");
    EXPECT_EQ(fileMenu, "0000") << "Open, Save, Save As and Exit";
    EXPECT_FALSE(closed);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(test::Texts(ports.messages), "A burn is in progress.|Burn Succeeded|");
    for (QAction* a : window.MenuBar().actions()[0]->menu()->actions())
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_EQ(ordwin.Count("ConnectUSB"), 0);
    EXPECT_EQ(ordwin.downloads, 1);
    EXPECT_TRUE(window.ConnectButton().isEnabled());
    EXPECT_TRUE(window.CrcPage().isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The Direct Burn page's Burn: the same questions as the Main page's, the bare
// NVM burn file name made absolute, and the record in the log.
TEST(DirectBurnChecks, QuestionsBeforeBurningAndTheRecordAfter) {
    QTemporaryDir work;
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());
    const std::string job = work.path().toStdString() + "/direct.nbf";
    struct Case {
        const char* name;
        const char* mapStatus;
        bool failAfter;  // a compose fails after the good one
        std::vector<MsgResult> answers;
        std::vector<std::string> asked;
        int downloads;
    };
    const std::string stale =
        "The last compose failed. Burn the previous burn file " + job + " anyway?";
    const std::string troubled = "The burn file's map reports conflicts or errors. Burn it anyway?";
    const Case cases[] = {
        {"clean", "OK", false, {}, {}, 1},
        {"failed compose, No", "OK", true, {}, {stale}, 0},
        {"failed compose, Yes", "OK", true, {MsgResult::Yes}, {stale}, 1},
        {"conflict, No", "Conflict", false, {MsgResult::No}, {troubled}, 0},
        {"conflict, Yes", "Conflict", false, {MsgResult::Yes}, {troubled}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScriptedBurner ordwin;
        TestPorts ports;
        ProgramDir dir;
        CDeviceInformation device(ordwin, ports.messages);
        device.SetConnected(1);
        device.SetAdapterSerial(u"VZT002");
        CDirectBurnDlg page(ordwin, ports.ports(), device, dir.Wide());
        CBurnProgress progress;
        page.SetBurnProgress(&progress);
        std::string during;
        ordwin.onPoll = [&] { during = progress.StepText().toStdString(); };

        test::WriteAll(dir / "made.nbf", test::OneImageBurnFile(c.mapStatus));
        dir.ScriptComposer(test::ComposerCopying(dir / "made.nbf"));
        page.DirectRadio().setChecked(true);
        page.OverwriteBox().setChecked(true);
        page.TextEdit().setPlainText(QStringLiteral("@1F00 01"));
        page.NvmBurnFileEdit().setText(QStringLiteral("direct.nbf"));
        page.OnCompose();
        ASSERT_EQ(ports.messages.LastText(), "Direct Compose run completed successfully.");
        EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Information);
        EXPECT_EQ(page.NvmBurnFileEdit().text().toStdString(), job);
        EXPECT_TRUE(std::filesystem::exists(job));
        EXPECT_FALSE(std::filesystem::exists(dir / "direct.nbf"));
        if (c.failAfter) {
            dir.ScriptComposer(test::kComposerFailing);
            page.OnCompose();
            EXPECT_NE(ports.messages.LastText().find("cannot open it"), std::string::npos);
        }
        ports.messages.shown.clear();
        ports.messages.answers = c.answers;
        page.OnBurn();
        std::vector<std::string> asked;
        for (const auto& s : ports.messages.shown)
            if (s.buttons == MsgButtons::YesNoDefaultNo) asked.push_back(Narrow(s.text));
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(ordwin.downloads, c.downloads);
        const QString log = device.OutputBox().toPlainText();
        if (c.downloads == 0) {
            EXPECT_FALSE(log.contains(QStringLiteral("ended:")));
            continue;
        }
        EXPECT_EQ(during, "Burning image 1 of 1");
        EXPECT_TRUE(
            log.contains(QString::fromStdString("Direct Burn ended: adapter VZT002, burn file " +
                                                job + ": Burn Succeeded; images burned: 1\n")))
            << log.toStdString();
    }
    QDir::setCurrent(before);
}

}  // namespace
}  // namespace cindral
