// The Main page offscreen: file lists, first boot address, option enabling,
// burn file choice, the map list and Compose with the real composer.
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>

#include "burn/device_page.h"
#include "burn_test_support.h"
#include "compose/main_page.h"
#include "compose/nvm_address_dlg.h"
#include "shell/burn_progress.h"

namespace cindral {
namespace {

using test::Narrow;
using test::ProgramDir;
using test::TestPorts;

class MainPage : public ::testing::Test {
  protected:
    MainPage() : device(ordwin, ports.messages), page(ordwin, ports.ports(), device, dir.Wide()) {
        device.SetConnected(1);
    }
    void Add(bool boot, const std::string& path) {
        ports.files.answers.push_back(WidenText(path));
        boot ? page.OnAddBootFile() : page.OnAddAppFile();
    }
    void Select(CListCtrlStyled& list, int row) {
        list.clearSelection();
        list.topLevelItem(row)->setSelected(true);
    }
    std::string Cell(CListCtrlStyled& list, int row, int col) {
        return list.GetItemText(row, col).toStdString();
    }
    QPushButton* Button(int id) { return ById<QPushButton>(page, id); }
    std::string State() {
        // Ticked/enabled of 1023..1030 as "Te" letters: upper = ticked, '-' = disabled.
        std::string s;
        for (int id = ids::main_page::kUserBox; id <= ids::main_page::kC2DisableBox; ++id) {
            QCheckBox& b = page.Box(id);
            s += b.isChecked() ? 'T' : 't';
            s += b.isEnabled() ? 'e' : '-';
            s += ' ';
        }
        return s + (page.StrictRadio().isChecked() ? "S" : "s");
    }
    std::string Line() {
        page.FillEngine();
        return Narrow(page.Engine().ComposeCommandLine());
    }

    test::FakeOrdwin ordwin;
    TestPorts ports;
    ProgramDir dir;
    CDeviceInformation device;
    CMainDlg page;
};

TEST_F(MainPage, ControlsAtCreation) {
    EXPECT_EQ(page.TemplateId(), 130);
    EXPECT_EQ(page.BootList().objectName(), QStringLiteral("1003"));
    EXPECT_EQ(page.MapList().columnCount(), 4);
    EXPECT_EQ(page.MapList().headerItem()->text(3), QStringLiteral("Conflict"));
    EXPECT_EQ(page.MapList().columnWidth(0), 300);
    EXPECT_EQ(page.BootList().columnWidth(0), 227);
    for (CListCtrlStyled* list : {&page.BootList(), &page.AppList(), &page.MapList()})
        EXPECT_EQ(list->GetExtendedStyle(), 0x121u) << "grid lines, full-row select, flat bars";
    EXPECT_EQ(page.BurnButton().text(), QStringLiteral("Burn"));
    EXPECT_FALSE(ById<QLineEdit>(page, ids::main_page::kBurnCountEdit)->isVisibleTo(&page));
    EXPECT_EQ(ById<QLineEdit>(page, ids::main_page::kBurnCountEdit)->text(), QStringLiteral("0"));
    EXPECT_EQ(State(), "te te te t- t- t- t- t- S");
}

TEST_F(MainPage, FirstBootFileGetsTheFirstBootAddress) {
    Add(true, "/p/boot1.hex");
    EXPECT_EQ(Cell(page.BootList(), 0, 1), "0");
    page.SetFirstBootAddress(u"0x0200");
    EXPECT_EQ(Cell(page.BootList(), 0, 1), "0x0200");
    Add(true, "/p/boot2.mem");
    Add(false, "/p/app.hex");
    EXPECT_EQ(Cell(page.BootList(), 1, 1), "0");
    EXPECT_EQ(Cell(page.AppList(), 0, 1), "0");
    EXPECT_EQ(page.BootEntries()[1].hexFlag, 0);
    EXPECT_EQ(page.AppEntries()[0].fileName, u"app.hex");
    EXPECT_EQ(page.AppEntries()[0].hexFlag, 1);

    // Removing row 0 through the context menu: the new row 0 takes the address.
    Select(page.BootList(), 0);
    // One right click shows the popup's own items: "Clear" at once, no submenu.
    page.SetMenuRunner([](QMenu& menu, const QPoint&) {
        EXPECT_EQ(menu.title(), QStringLiteral("Clear List"));
        EXPECT_EQ(menu.actions().size(), 1);
        QAction* clear = menu.actions().at(0);
        EXPECT_EQ(clear->text(), QStringLiteral("Clear"));
        EXPECT_EQ(clear->menu(), nullptr);
        return clear;
    });
    page.OnListContextMenu(true, QPoint());
    ASSERT_EQ(page.BootCount(), 1);
    EXPECT_EQ(Cell(page.BootList(), 0, 0), "boot2.mem");
    EXPECT_EQ(Cell(page.BootList(), 0, 1), "0x0200");
    EXPECT_EQ(page.BootEntries()[0].nvmAddress, u"0x0200");

    page.SetFirstBootAddress(u"");
    EXPECT_EQ(page.FirstBootAddress(), u"0x0200");
    page.OnClearBootFiles();
    EXPECT_EQ(page.BootCount(), 0);
    EXPECT_TRUE(page.BootEntries().empty());
    Add(true, "/p/again.hex");
    EXPECT_EQ(Cell(page.BootList(), 0, 1), "0x0200") << "Clear All keeps the first address";
}

TEST_F(MainPage, NvmAddressDialogAndItsRefusals) {
    page.OnAppNvmAddress();
    EXPECT_EQ(ports.messages.LastText(), "Make a selection from the App Files list.");
    page.OnBootNvmAddress();
    EXPECT_EQ(ports.messages.LastText(), "Make a selection from the User Boot list.");
    Add(true, "/p/b0.hex");
    Add(true, "/p/b1.hex");
    Add(false, "/p/a0.mem");
    Select(page.BootList(), 0);
    page.OnBootNvmAddress();
    EXPECT_EQ(ports.messages.LastText(), "This address is not editable.");
    EXPECT_EQ(Cell(page.BootList(), 0, 1), "0");

    std::string shownText;
    QString typed = QStringLiteral("0x1F00 --bf_c2_dis");
    page.SetModalRunner([&](QDialog& d) {
        auto& dlg = static_cast<CNVMAddressDlg&>(d);
        shownText = dlg.Edit().text().toStdString();
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("NVM Address"));
        // The text is selected on open: typing replaces it.
        QTest::keyClicks(&dlg.Edit(), typed);
        dlg.accept();
        return static_cast<int>(QDialog::Accepted);
    });
    Select(page.BootList(), 1);
    page.OnBootNvmAddress();
    EXPECT_EQ(shownText, "0x0000");
    EXPECT_EQ(ports.messages.LastText(),
              "Invalid NVM address: 0x1F00 --bf_c2_dis\nAn NVM address is one number: 0x and "
              "hexadecimal digits, or decimal digits.");
    EXPECT_EQ(Cell(page.BootList(), 1, 1), "0") << "the old address stays";
    typed = QStringLiteral("0x1F00");
    page.OnBootNvmAddress();
    EXPECT_EQ(Cell(page.BootList(), 1, 1), "0x1F00");
    EXPECT_EQ(page.BootEntries()[1].nvmAddress, u"0x1F00");
    page.SetModalRunner([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
    Select(page.AppList(), 0);
    page.OnAppNvmAddress();
    EXPECT_EQ(page.AppEntries()[0].nvmAddress, u"0");
}

TEST_F(MainPage, PathsWithSpacesAreRefused) {
    Add(true, "/my files/b.hex");
    EXPECT_EQ(page.BootCount(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Spaces are not allowed in the file name or file path.");
    EXPECT_EQ(Narrow(ports.messages.shown.back().caption), "Error!");
    ports.files.answers.push_back(WidenText(dir / "a b.nbf"));
    page.OnNewBurnFile();
    EXPECT_TRUE(page.BurnFilePath().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "a b.nbf"));
}

TEST_F(MainPage, BootStatusLocksWhatTheChipMadePermanent) {
    page.SetBootStatus(0x45);
    EXPECT_EQ(State(), "T- te te te t- t- t- T- S");
    page.Box(ids::main_page::kRunBox).click();  // Run ticked
    EXPECT_EQ(State(), "T- Te te te te te te T- S");
    page.Box(ids::main_page::kNvmDisableBox).setChecked(true);
    page.Box(ids::main_page::kRunBox).click();  // Run unticked: C2 Disable stays locked ticked
    EXPECT_EQ(State(), "T- te te te t- t- t- T- S");

    page.SetConnected(0);
    EXPECT_EQ(State(), "te te te t- t- t- t- t- S");
    page.SetBootStatus(0x07);
    EXPECT_EQ(State(), "T- T- te te te te te te S");
    page.Box(ids::main_page::kNvmDisableBox).setChecked(true);
    page.Box(ids::main_page::kC2DisableBox).setChecked(true);
    page.LogicOrRadio().setChecked(true);
    page.SetConnected(0);
    EXPECT_EQ(State(), "te te te t- T- t- t- t- S") << "NVM Disable keeps its tick";

    // User alone switches Exe User Boot.
    page.Box(ids::main_page::kUserBox).click();
    EXPECT_EQ(State(), "Te te te te T- t- t- t- S");
    page.Box(ids::main_page::kExeUserBootBox).setChecked(true);
    page.Box(ids::main_page::kUserBox).click();
    EXPECT_EQ(State(), "te te te t- T- t- t- t- S");
}

TEST_F(MainPage, DisabledTickedOptionsStillReachTheComposer) {
    page.SetBootStatus(0x47);
    Add(true, "/p/PROG.HEX");
    EXPECT_EQ(Line(), dir.Path() +
                          "marlspin  --boot_mem=/p/PROG.HEX 0 --nvm_burn_file= --state=run "
                          " --bf_c2_dis  --mode_strict ");
    page.OnBurn();
    EXPECT_EQ(ports.messages.LastText(), "An NVM Burn File is required.");
    EXPECT_EQ(Narrow(ports.messages.shown.back().caption), "Warning!");
}

TEST_F(MainPage, ComposeAppendsTheExtensionAndShowsTheMap) {
    test::WriteAll(dir / "boot.hex", test::kBootHex);
    test::WriteAll(dir / "app.mem", "@1F C0 C1\n");
    page.SetFirstBootAddress(u"0x0200");
    Add(true, dir / "boot.hex");
    Add(false, dir / "app.mem");
    Select(page.AppList(), 0);
    page.SetModalRunner([](QDialog& d) {
        static_cast<CNVMAddressDlg&>(d).Edit().setText(QStringLiteral("0x0201"));
        static_cast<CNVMAddressDlg&>(d).accept();
        return static_cast<int>(QDialog::Accepted);
    });
    page.OnAppNvmAddress();

    page.OnCompose();
    EXPECT_EQ(ports.messages.LastText(), "An NVM Burn File is required.");
    page.BurnFileEdit().setText(QString::fromStdString(dir / "out"));
    Button(ids::main_page::kComposeButton)->click();
    EXPECT_EQ(page.BurnFileEdit().text().toStdString(), dir / "out.nbf");
    ASSERT_EQ(page.MapCount(), 2) << test::Texts(ports.messages);
    EXPECT_EQ(Cell(page.MapList(), 0, 0), "boot.hex");
    EXPECT_EQ(Cell(page.MapList(), 0, 1), "0x0200 .. 0x0220");
    EXPECT_EQ(Cell(page.MapList(), 0, 2), "0x0021 (33)");
    EXPECT_EQ(Cell(page.MapList(), 1, 1), "0x0220 .. 0x0221");
    EXPECT_EQ(Cell(page.MapList(), 0, 3), "Conflict");
    EXPECT_EQ(Cell(page.MapList(), 1, 3), "Conflict");
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(page.MapList().TextColourOf(1, col), QColor(255, 0, 0));
    EXPECT_EQ(page.ConflictFlag(), 1);
    EXPECT_EQ(page.ErrorFlag(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Compose run complete.\nAddress Conflict detected!");
    EXPECT_EQ(Narrow(device.OutputBox().toPlainText().toStdU16String()).find("Invoking Marlspin"),
              9u);

    // Composing again over the existing file asks first; Cancel keeps everything.
    ports.messages.answers = {MsgResult::Cancel};
    page.OnCompose();
    EXPECT_NE(ports.messages.LastText().find("exists!"), std::string::npos);
    EXPECT_EQ(page.MapCount(), 2);

    // Logic OR: the overlap is an overlay and the run is clean.
    page.LogicOrRadio().setChecked(true);
    ById<QCheckBox>(page, ids::main_page::kOverwriteBox)->setChecked(true);
    page.OnCompose();
    EXPECT_EQ(ports.messages.LastText(), "Compose run completed successfully.");
    EXPECT_EQ(Cell(page.MapList(), 1, 3), "Overlay");
    EXPECT_NE(page.MapList().TextColourOf(1, 2), QColor(255, 0, 0)) << "new rows, normal colour";
}

TEST_F(MainPage, NameThatMentionsTheExtensionIsLeftAlone) {
    page.BurnFileEdit().setText(QString::fromStdString(dir / "a.nbf.txt"));
    device.SetConnected(0);
    page.OnCompose();
    EXPECT_EQ(page.BurnFilePath(), WidenText(dir / "a.nbf.txt"));
    EXPECT_EQ(ports.messages.LastText(), "Please connect to device prior to Compose execution.");
}

TEST_F(MainPage, BurnFileChoiceReloadsTheMap) {
    const std::string map = "[Compose Map]\r\nx.hex 0x0200 0x0201 0x0002 2 Error: outside\r\n;\r\n";
    test::WriteAll(dir / "typed.nbf", map);
    page.BurnFileEdit().setText(QString::fromStdString(dir / "typed.nbf"));
    ASSERT_EQ(page.MapCount(), 1);
    EXPECT_EQ(page.ErrorFlag(), 1);
    page.BurnFileEdit().setText(QString::fromStdString(dir / "nothing-here.nbf"));
    EXPECT_EQ(page.MapCount(), 1) << "a file that does not open leaves the map";
    ASSERT_EQ(mkfifo((dir / "pipe.nbf").c_str(), 0600), 0);
    page.BurnFileEdit().setText(QString::fromStdString(dir / "pipe.nbf"));
    EXPECT_EQ(page.MapCount(), 0) << "a pipe is no burn file: the map is emptied, not read";

    ports.files.answers.push_back(WidenText(dir / "typed.nbf"));
    page.OnNewBurnFile();
    EXPECT_EQ(test::ReadAll(dir / "typed.nbf"), "") << "New... empties an existing file";
    EXPECT_EQ(page.MapCount(), 0);

    test::WriteAll(dir / "other.nbf", map + map);
    ports.files.answers.push_back(WidenText(dir / "other.nbf"));
    page.OnOpenBurnFile();
    EXPECT_EQ(page.BurnFileEdit().text().toStdString(), dir / "other.nbf");
    EXPECT_EQ(page.MapCount(), 1) << "exactly one file's report, up to its ';' line";
}

TEST_F(MainPage, SettingsRoundTripAndShortFiles) {
    SettingsWriter empty;
    page.StoreMainSettings(empty);
    EXPECT_EQ(empty.Bytes().size(), 56u) << "two counts, one empty string, eleven states";

    test::WriteAll(dir / "m.nbf", "[Compose Map]\r\nb.hex 0x0200 0x0201 0x0002 2 OK\r\n;\r\n");
    Add(true, "/p/b.hex");
    Add(true, "/p/c.mem");
    Add(false, "/p/a.mem");
    page.BurnFileEdit().setText(QString::fromStdString(dir / "m.nbf"));
    ById<QCheckBox>(page, ids::main_page::kOverwriteBox)->setChecked(true);
    page.Box(ids::main_page::kRunBox).click();
    page.Box(ids::main_page::kRamClearBox).setChecked(true);
    page.LogicOrRadio().setChecked(true);
    SettingsWriter out;
    page.StoreMainSettings(out);

    CMainDlg other(ordwin, ports.ports(), device, dir.Wide());
    SettingsReader in(out.Bytes());
    other.LoadMainSettings(in);
    EXPECT_TRUE(in.AtEnd());
    ASSERT_EQ(other.BootCount(), 2);
    EXPECT_EQ(other.BootEntries()[1].fullPath, u"/p/c.mem");
    EXPECT_EQ(other.BootEntries()[0].hexFlag, 1);
    EXPECT_EQ(other.AppEntries().at(0).fileName, u"a.mem");
    EXPECT_EQ(other.BootList().GetItemText(1, 0), QStringLiteral("c.mem"));
    EXPECT_EQ(other.BurnFileEdit().text().toStdString(), dir / "m.nbf");
    EXPECT_EQ(other.MapCount(), 1) << "the map is read from the named file";
    EXPECT_TRUE(ById<QCheckBox>(other, ids::main_page::kOverwriteBox)->isChecked());
    std::string loaded;
    for (int id = ids::main_page::kUserBox; id <= ids::main_page::kC2DisableBox; ++id)
        loaded += other.Box(id).isChecked() ? 'T' : 't';
    EXPECT_EQ(loaded, "tTttttTt");
    EXPECT_TRUE(other.Box(ids::main_page::kRamClearBox).isEnabled())
        << "the Run rule enabled the options";
    EXPECT_TRUE(other.LogicOrRadio().isChecked());

    // A file that ends after the burn file path: lists and path only, boxes untouched.
    std::vector<uint8_t> bytes = out.Bytes();
    bytes.resize(bytes.size() - 11 * 4);
    CMainDlg cut(ordwin, ports.ports(), device, dir.Wide());
    cut.Box(ids::main_page::kXoEarlyEnableBox).setChecked(true);
    SettingsReader shortIn(bytes);
    cut.LoadMainSettings(shortIn);
    EXPECT_EQ(cut.BootCount(), 2);
    EXPECT_EQ(cut.BurnFilePath(), WidenText(dir / "m.nbf"));
    EXPECT_TRUE(cut.Box(ids::main_page::kXoEarlyEnableBox).isChecked());
    EXPECT_TRUE(cut.StrictRadio().isChecked());

    // A foreign file with a huge count reads what is there and stops.
    SettingsWriter foreign;
    foreign.WriteInt(0x7FFFFFFF);
    foreign.WriteInt(1);
    SettingsReader foreignIn(foreign.Bytes());
    CMainDlg third(ordwin, ports.ports(), device, dir.Wide());
    third.LoadMainSettings(foreignIn);
    EXPECT_EQ(third.BootCount(), 0);
}

TEST_F(MainPage, EnterDoesNothing) {
    QTest::keyClick(&page, Qt::Key_Return);
    EXPECT_TRUE(ports.messages.shown.empty());
}

// What stands between a Burn press and a one-time chip: a compose that failed
// since the burn file was written, a map that reports conflicts, a bare file
// name; and what the operator sees of the burn and reads in the log afterwards.
class MainPageBurn : public ::testing::Test {
  public:
    MainPageBurn()
        : device(ordwin, ports.messages), page(ordwin, ports.ports(), device, dir.Wide()) {
        device.SetConnected(1);
        device.SetAdapterSerial(u"VZT001");
        saved_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
        job = work_.path().toStdString() + "/job.nbf";
        page.SetBurnProgress(&progress);
        // Each look at the clock is a second and a half later than the last.
        page.SetBurnClock([this] {
            now_ += std::chrono::milliseconds(1500);
            return now_;
        });
        ordwin.onPoll = [this] {
            seenDuringBurn =
                Format("%s|%s|%d", progress.StepText().toStdString().c_str(),
                       progress.ElapsedText().toStdString().c_str(),
                       progress.isVisibleTo(progress.parentWidget()) || !progress.isHidden());
        };
    }
    ~MainPageBurn() override { QDir::setCurrent(saved_); }

    // Composes `mapStatus`'s burn file under the bare name "job".
    void ComposeGood(const std::string& mapStatus) {
        test::WriteAll(dir / "made.nbf", test::OneImageBurnFile(mapStatus));
        dir.ScriptComposer(test::ComposerCopying(dir / "made.nbf"));
        ById<QCheckBox>(page, ids::main_page::kOverwriteBox)->setChecked(true);
        page.BurnFileEdit().setText(QStringLiteral("job"));
        page.OnCompose();
    }
    void ComposeFailing() {
        dir.ScriptComposer(test::kComposerFailing);
        page.OnCompose();
    }
    std::vector<std::string> Questions() const {
        std::vector<std::string> out;
        for (const auto& s : ports.messages.shown)
            if (s.buttons == MsgButtons::YesNoDefaultNo) out.push_back(Narrow(s.text));
        return out;
    }
    QStringList LogLines() { return device.OutputBox().toPlainText().split('\n'); }

    test::ScriptedBurner ordwin;
    TestPorts ports;
    ProgramDir dir;
    CDeviceInformation device;
    CMainDlg page;
    CBurnProgress progress;
    std::string job;
    std::string seenDuringBurn;

  private:
    QTemporaryDir work_;
    QString saved_;
    std::chrono::steady_clock::time_point now_{};
};

TEST_F(MainPageBurn, QuestionsBeforeBurningAndTheRecordAfter) {
    const std::string stale =
        "The last compose failed. Burn the previous burn file " + std::string() + "%s anyway?";
    const std::string troubled = "The burn file's map reports conflicts or errors. Burn it anyway?";
    struct Case {
        const char* name;
        const char* mapStatus;
        std::function<void(MainPageBurn&)> between;  // after the good compose
        std::vector<MsgResult> answers;
        bool askedStale, askedTroubled;
        int downloads;
    };
    const auto failAgain = [](MainPageBurn& t) { t.ComposeFailing(); };
    const Case cases[] = {
        {"clean file burns without a question", "OK", nullptr, {}, false, false, 1},
        {"failed compose: No by default", "OK", failAgain, {}, true, false, 0},
        {"failed compose: Yes burns the previous file",
         "OK",
         failAgain,
         {MsgResult::Yes},
         true,
         false,
         1},
        {"failed compose, then the file opened again",
         "OK",
         [](MainPageBurn& t) {
             t.ComposeFailing();
             t.ports.files.answers = {WidenText(t.job)};
             t.page.OnOpenBurnFile();
         },
         {},
         false,
         false,
         1},
        {"failed compose, then a good one",
         "OK",
         [](MainPageBurn& t) {
             t.ComposeFailing();
             t.ComposeGood("OK");
         },
         {},
         false,
         false,
         1},
        {"file written after the failed compose",
         "OK",
         [](MainPageBurn& t) {
             t.ComposeFailing();
             std::filesystem::last_write_time(
                 t.job, t.page.ComposeFailure().FailedAt() + std::chrono::seconds(1));
         },
         {},
         false,
         false,
         1},
        {"conflict in the map: No by default", "Conflict", nullptr, {}, false, true, 0},
        {"error in the map: Yes burns",
         "Error: outside",
         nullptr,
         {MsgResult::Yes},
         false,
         true,
         1},
        {"both: each question asked",
         "Conflict",
         failAgain,
         {MsgResult::Yes, MsgResult::Yes},
         true,
         true,
         1},
        {"both: No to the first asks nothing more",
         "Conflict",
         failAgain,
         {MsgResult::No},
         true,
         false,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ordwin.downloads = 0;
        ports.messages.shown.clear();
        ComposeGood(c.mapStatus);
        // The bare name was made absolute once: the composer wrote it here, the box shows it.
        ASSERT_EQ(page.BurnFileEdit().text().toStdString(), job);
        ASSERT_TRUE(std::filesystem::exists(job));
        EXPECT_FALSE(std::filesystem::exists(dir / "job.nbf"));
        EXPECT_EQ(page.MapCount(), 1);
        if (c.between) c.between(*this);
        const int logLines = static_cast<int>(LogLines().size());
        ports.messages.shown.clear();
        ports.messages.answers = c.answers;
        page.OnBurn();

        std::vector<std::string> asked;
        if (c.askedStale) asked.push_back(Format(stale.c_str(), job.c_str()));
        if (c.askedTroubled) asked.push_back(troubled);
        EXPECT_EQ(Questions(), asked);
        EXPECT_EQ(ordwin.downloads, c.downloads);
        const QStringList log = LogLines();
        if (c.downloads == 0) {
            EXPECT_EQ(log.size(), logLines) << "no burn, no record";
            continue;
        }
        EXPECT_EQ(ports.messages.LastText(), "Burn Succeeded");
        EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Information);
        ASSERT_GE(log.size(), 2);
        EXPECT_EQ(
            log[log.size() - 2].mid(9).toStdString(),
            "Burn ended: adapter VZT001, burn file " + job + ": Burn Succeeded; images burned: 1");
        EXPECT_EQ(seenDuringBurn.substr(0, 22), "Burning image 1 of 1|0");
        EXPECT_NE(seenDuringBurn.substr(21, 5), "0:00|") << seenDuringBurn;
        EXPECT_TRUE(progress.isHidden()) << "gone once the burn ended";
    }
}

TEST_F(MainPageBurn, FailedComposeEmptiesTheMapAndSaysWhy) {
    ComposeGood("OK");
    ASSERT_EQ(page.MapCount(), 1);
    ComposeFailing();
    EXPECT_EQ(page.MapCount(), 0);
    EXPECT_EQ(page.MapList().GetItemCount(), 0);
    EXPECT_EQ(ports.messages.LastText(),
              "Return code: 7: App HEX Input Error\n\nmarlspin: error: /w/missing.hex: cannot "
              "open it");
    EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Error);

    // A failed burn is recorded with the box's text, its lines joined.
    ordwin.status = 0xFA;
    ordwin.ram[0x65] = 0x02;
    ordwin.ram[0x66] = 0x03;
    ports.messages.answers = {MsgResult::Yes};
    page.OnBurn();
    EXPECT_EQ(ports.messages.LastText(),
              "Bit Conflict\nError Code: 0x02\nBit Failure Address: 0x0300");
    EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Error);
    const QStringList log = LogLines();
    EXPECT_EQ(log[log.size() - 2].mid(9).toStdString(),
              "Burn ended: adapter VZT001, burn file " + job +
                  ": Bit Conflict; Error Code: 0x02; Bit Failure Address: 0x0300; images "
                  "burned: 0");

    // Refusals are not burns: nothing asked, nothing logged.
    device.SetConnected(0);
    ports.messages.shown.clear();
    page.OnBurn();
    EXPECT_EQ(test::Texts(ports.messages), "Please connect to device prior to burn execution.|");
    EXPECT_EQ(LogLines().size(), log.size());
}

}  // namespace
}  // namespace cindral
