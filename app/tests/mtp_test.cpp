// The MTP page's text rules and the writer program as the program carries it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "burn/mtp_page.h"
#include "burn_test_support.h"
#include "core/mtp_content.h"
#include "core/mtp_engine.h"
#include "core/text.h"
#include "zeltra/mtp_writer.h"

namespace cindral {
namespace {

namespace fw = zeltra::firmware;
namespace layout = zt::mtp_writer;

std::string N(const std::u16string& s) {
    return NarrowText(s, s.size() + 1);
}

// Code bytes of an Intel-HEX text; fails the test on a bad checksum.
std::vector<int> CodeOf(const std::string& text) {
    std::vector<int> code(0x200, -1);
    std::size_t at = 0;
    while ((at = text.find(':', at)) != std::string::npos) {
        auto byte = [&](std::size_t i) {
            return std::stoi(text.substr(at + 1 + 2 * i, 2), nullptr, 16);
        };
        const int count = byte(0), address = byte(1) * 256 + byte(2);
        int sum = 0;
        for (int i = 0; i < count + 5; ++i) sum += byte(static_cast<std::size_t>(i));
        EXPECT_EQ(sum & 0xFF, 0) << text.substr(at, 12);
        for (int i = 0; i < count && byte(3) == 0; ++i)
            code[static_cast<std::size_t>(address + i)] = byte(static_cast<std::size_t>(4 + i));
        ++at;
    }
    return code;
}

TEST(MtpWriterProgram, CarriedTextHasTheLayoutTheHostRelies) {
    const std::string text = MtpWriterResource();
    EXPECT_EQ(text.substr(0, 49), ":12010000010D0102030405060708090A0B0C0D0E0F1057\r\n");
    EXPECT_EQ(text.size(), fw::kMtpWriterHexSize);
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");
    const std::vector<int> code = CodeOf(text);
    auto at = [&](unsigned a, std::vector<int> bytes) {
        return std::vector<int>(code.begin() + a, code.begin() + a + bytes.size()) == bytes;
    };
    EXPECT_TRUE(at(0x0000, {0x02, 0x00, 0xBC}));      // ljmp start-up
    EXPECT_TRUE(at(0x0003, {0x02, 0x00, 0x08}));      // past 0x0006, a burn's breakpoint
    EXPECT_TRUE(at(layout::kStartup, {0x78, 0x7F}));  // mov r0,#0x7F
    EXPECT_TRUE(at(layout::kStartup + 6, {0x75, 0x81, 0x89, 0x02, 0x00, 0x03}));
    // orl pcon,#1; mov pcon,pcon; sjmp back: the whole final loop.
    EXPECT_TRUE(at(layout::kIdleBegin, {0x43, 0x87, 0x01, 0x85, 0x87, 0x87, 0x80, 0xF8}));
    EXPECT_EQ(layout::kIdleEnd - layout::kIdleBegin, 8);
    EXPECT_EQ(code[layout::kIdleEnd], 0xFF);
}

TEST(MtpContent, LayoutAndPatching) {
    mtp::Bytes ramp{};
    for (int i = 0; i < 16; ++i) ramp[static_cast<std::size_t>(i)] = static_cast<uint8_t>(0x11 * i);
    const std::u16string text = mtp::FormatContent(ramp);
    EXPECT_EQ(N(text), "00 11 22 33  44 55 66 77  88 99 AA BB  CC DD EE FF");
    const std::u16string digits = mtp::ContentDigits(text);
    EXPECT_EQ(mtp::ParseDigits(digits), ramp);
    EXPECT_EQ(mtp::LayoutDigits(u"0011223344556677"
                                u"8899aabbccddeeff"),
              text);
    EXPECT_EQ(mtp::ParseDigits(mtp::ContentDigits(mtp::BlankContent())), std::nullopt);

    // Patching twice leaves one record with the last content and a valid checksum.
    std::string writer = MtpWriterResource();
    ASSERT_EQ(mtp::PatchWriter(writer, mtp::ContentDigits(mtp::kInitialContent)),
              mtp::PatchError::kNone);
    ASSERT_EQ(mtp::PatchWriter(writer, digits), mtp::PatchError::kNone);
    EXPECT_EQ(writer.substr(0, 49),
              ":120100000010"
              "00112233445566778899AABBCCDDEEFF"
              "e5\r\n");
    EXPECT_EQ(writer.substr(49), MtpWriterResource().substr(49));
    CodeOf(writer);

    std::string save = mtp::kInitialSaveTemplate;
    ASSERT_EQ(mtp::PatchSaveTemplate(save, digits), mtp::PatchError::kNone);
    EXPECT_EQ(save, ":1000000000112233445566778899AABBCCDDEEFFf8\r\n:00000001FF");
    EXPECT_EQ(save.size(), 56u);

    // Nothing is patched from content that is not 32 digits or into a text
    // without the parameter record.
    for (std::u16string bad :
         {mtp::ContentDigits(mtp::BlankContent()), std::u16string(32, u'G'), digits.substr(1)}) {
        std::string w = MtpWriterResource();
        EXPECT_EQ(mtp::PatchWriter(w, bad), mtp::PatchError::kBadContent);
        EXPECT_EQ(w, MtpWriterResource());
    }
    for (std::string bad :
         {std::string(":100000000200BC\r\n"), std::string(":0401000001000000FA\r\n"),
          std::string(":12010000010D01")}) {
        std::string w = bad;
        EXPECT_EQ(mtp::PatchWriter(w, digits), mtp::PatchError::kNoParameterRecord) << bad;
        EXPECT_EQ(w, bad);
    }
}

TEST(MtpContent, HexFileLoading) {
    const std::u16string current = mtp::ContentDigits(mtp::kInitialContent);
    struct Case {
        const char* file;
        const char* digits;  // nullptr: "Incompatible file format."
    } cases[] = {
        {":01000F00AB45\r\n:00000001FF\r\n", "0102030405060708090A0B0C0D0E0FAB"},
        {"", nullptr},  // an empty file sets nothing: no write of what the chip holds
        {":10000000AB02EF0187456789119900AA5566778889\r\n:00000001FF",
         "AB02EF0187456789119900AA55667788"},
        {":02000E00aabb8b\r\n", "0102030405060708090A0B0C0D0EAABB"},
        {":02000E00AABB88\r\n", nullptr},               // bad checksum
        {":05000D00C1C2C3C4C521\r\n", nullptr},         // runs past byte 15, not cut short
        {":01000F00AB\r\n", nullptr},                   // no checksum
        {":01001000AB44\r\n:00000001FF\r\n", nullptr},  // address 0x0010
        {":11000000000102030405060708090A0B0C0D0E0F1000\r\n", nullptr},  // count 17
        {":01000F00AB45\r\n; comment\r\n:00000001FF\r\n", nullptr},
        {":01010F00AB45\r\n", nullptr},                         // high address byte
        {"01000F00AB45\r\n", nullptr},                          // no leading ':'
        {":01000F00AB45 trailing text  :00000001FF", nullptr},  // ':' too far away
        {":01000F00", nullptr},                                 // cut short
        {":01000F00ZZ45\r\n", nullptr},
        {":0G000F00AB45\r\n", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<std::u16string> got = mtp::LoadDigitsFromHex(c.file, current);
        if (c.digits == nullptr) {
            EXPECT_EQ(got, std::nullopt) << c.file;
        } else {
            ASSERT_TRUE(got) << c.file;
            EXPECT_EQ(N(*got), c.digits) << c.file;
        }
    }
}

TEST(MtpContent, OverwriteEditing) {
    const std::u16string ref = mtp::kInitialContent;  // "01 02 03 04  05 ..."
    struct Case {
        std::u16string edited;
        int caret;
        const char* text;
        int caretAfter;
    } cases[] = {
        // A digit typed before byte 0 replaces its first digit.
        {u"A" + ref, 1, "A1 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 1},
        // The second digit: the caret skips the space to the next byte.
        {ref.substr(0, 1) + u"f" + ref.substr(1), 2,
         "0F 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 3},
        // Typed on the double space after byte 3: goes to byte 4.
        {ref.substr(0, 11) + u"C" + ref.substr(11), 12,
         "01 02 03 04  C5 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 14},
        // Not a hex digit: deleted.
        {ref.substr(0, 3) + u"G" + ref.substr(3), 4,
         "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 3},
        {ref.substr(0, 3) + u" " + ref.substr(3), 4,
         "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 3},
        // Past the last byte: nothing to overwrite.
        {ref + u"1", 51, "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 50},
        // Deleted (Backspace or Delete): put back, the caret where it went.
        {ref.substr(0, 4) + ref.substr(5), 4, "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10",
         4},
        // A selected character replaced: a digit stays, anything over a space is put back.
        {u"71" + ref.substr(2), 1, "71 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 1},
        {u"01x" + ref.substr(3), 3, "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 3},
        // A paste of several characters: the reference comes back.
        {u"123" + ref, 3, "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 3},
        {ref.substr(5), 0, "01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10", 0},
    };
    for (const Case& c : cases) {
        mtp::Edit e = mtp::ApplyEdit(ref, c.edited, c.caret);
        EXPECT_EQ(N(e.text), c.text) << N(c.edited);
        EXPECT_EQ(e.caret, c.caretAfter) << N(c.edited);
        EXPECT_EQ(e.text.size(), 50u);
    }
    // Marks collect over edits until the page resets them.
    mtp::ChangedBytes changed{};
    mtp::MarkChanged(ref, WidenText(cases[0].text), changed);
    mtp::MarkChanged(ref, WidenText(cases[2].text), changed);
    mtp::MarkChanged(ref, ref, changed);
    mtp::ChangedBytes expected{};
    expected[0] = expected[4] = true;
    EXPECT_EQ(changed, expected);
}

TEST(MtpContent, ResultMessages) {
    const std::vector<std::pair<int, const char*>> table = {{1, "Bad offset parameter."},
                                                            {2, "Bad length parameter."},
                                                            {3, "Programming error."},
                                                            {4, "Verify error"},
                                                            {5, "Write was successful."},
                                                            {0, "Undefined Burn Failure: 0x00"},
                                                            {0xA5, "Undefined Burn Failure: 0xa5"}};
    for (auto [code, text] : table)
        EXPECT_EQ(N(mtp::ResultMessage(static_cast<uint8_t>(code))), text);
}

// The scripted library, with what a write needs: RAM a run leaves behind, the PC
// it halts at and the writer text as downloaded.
class PageOrdwin : public test::FakeOrdwin {
  public:
    uint32_t pc = 0x00B0;
    std::map<unsigned, uint8_t> ramOnGo;
    std::string downloaded;
    int SetRAMMemory(uint8_t* b, unsigned s, unsigned n) override {
        calls.push_back("SetRAMMemory");
        std::memcpy(ram.data() + s, b, n);
        return 0;
    }
    int SetTargetGo() override {
        for (auto [a, v] : ramOnGo) ram[a] = v;
        return test::FakeOrdwin::SetTargetGo();
    }
    int ReadPC(uint32_t* p) override {
        calls.push_back("ReadPC");
        *p = pc;
        return 0;
    }
    int Download(char* name, int a, int b, int c, int d, int e, int f) override {
        downloaded = test::ReadAll(name);
        return test::FakeOrdwin::Download(name, a, b, c, d, e, f);
    }
};

// --- the page, against the scripted library ---------------------------------------------

class MtpPage : public ::testing::Test {
  protected:
    MtpPage() : page(ordwin, ports.ports()) {
        saved = QDir::currentPath();
        QDir::setCurrent(work.path());
        for (int i = 0; i < 16; ++i)
            ordwin.xdata[0x4040 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(0x11 * i);
        ordwin.ramOnGo = {{0x0D, 5}};
    }
    ~MtpPage() override { QDir::setCurrent(saved); }

    bool Red(int position) {
        QTextCursor c(page.ContentBox().document());
        c.setPosition(position + 1);
        return c.charFormat().foreground().color() == QColor(255, 0, 0);
    }
    std::string Reds() {
        std::string out;
        for (int i = 0; i < 50; ++i) out += Red(i) ? 'r' : '.';
        return out;
    }
    std::string Content() { return N(page.ContentText()); }
    std::string Controls() {
        std::string out;
        for (QWidget* w :
             {static_cast<QWidget*>(&page.OpenButton()), static_cast<QWidget*>(&page.SaveButton()),
              static_cast<QWidget*>(&page.ReadButton()), static_cast<QWidget*>(&page.WriteButton()),
              static_cast<QWidget*>(&page.ContentBox())})
            out += w->isEnabled() ? '1' : '0';
        return out;
    }

    test::TestPorts ports;
    PageOrdwin ordwin;
    QTemporaryDir work;
    QString saved;
    CBurnEPROMDlg page;
};

const char* kRamp = "00 11 22 33  44 55 66 77  88 99 AA BB  CC DD EE FF";

TEST_F(MtpPage, ConnectWriteAndDisconnect) {
    EXPECT_EQ(Content(), N(mtp::kInitialContent));
    EXPECT_EQ(Controls(), "00000");
    page.OnWrite();
    EXPECT_EQ(ports.messages.LastText(), "Not connected to the device.\n");

    page.SetConnectionState(1);
    EXPECT_EQ(Controls(), "11111");
    EXPECT_EQ(Content(), kRamp);
    ordwin.calls.clear();
    page.WriteButton().click();
    EXPECT_EQ(ports.messages.LastText(), "Write was successful.");
    EXPECT_EQ(ordwin.calls,
              (std::vector<std::string>{"Download", "WritePC", "SetRAMMemory", "SetTargetGo",
                                        "SetTargetHalt", "ReadPC", "GetRAMMemory"}));
    EXPECT_EQ(ports.sleep.total, 1000);
    // The downloaded writer carries offset 0, length 16 and the content, checksummed.
    EXPECT_EQ(ordwin.downloaded.substr(0, 49),
              ":120100000010"
              "00112233445566778899AABBCCDDEEFF"
              "e5\r\n");
    CodeOf(ordwin.downloaded);
    EXPECT_FALSE(QFile::exists(QStringLiteral("Burn1.hex")));

    ordwin.pc = 0x0003;
    page.WriteButton().click();
    EXPECT_EQ(ports.messages.LastText(),
              "MTP write timed out. The MTP content is unknown; read it back.");

    const int reads = ordwin.Count("GetXRAMMemory");
    page.SetConnectionState(1);  // a tab change repeats the state
    EXPECT_EQ(ordwin.Count("GetXRAMMemory"), reads);
    page.SetConnectionState(0);
    EXPECT_EQ(Content(), std::string(51, ' '));
    EXPECT_EQ(Controls(), "00000");
    EXPECT_EQ(page.WriterText(), MtpWriterResource());

    // While another operation runs nothing on the page can start.
    page.SetConnectionState(1);
    {
        OperationGate::Ticket busy = OperationGate::Shared().TryEnter();
        EXPECT_EQ(Controls(), "00000");
        ordwin.calls.clear();
        page.OnWrite();
        page.OnRead();
        EXPECT_TRUE(ordwin.calls.empty());
    }
    EXPECT_EQ(Controls(), "11111");
}

TEST_F(MtpPage, TypingKeepsTheLayoutAndMarksChangedBytesRed) {
    page.SetConnectionState(1);
    QTextEdit& box = page.ContentBox();
    QTextCursor c = box.textCursor();
    c.setPosition(0);
    box.setTextCursor(c);
    QTest::keyClicks(&box, "G");
    EXPECT_EQ(Content(), kRamp);
    QTest::keyClicks(&box, "7b");
    EXPECT_EQ(Content(), "7B 11 22 33  44 55 66 77  88 99 AA BB  CC DD EE FF");
    EXPECT_EQ(box.textCursor().position(), 3);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(Content(), "7B 11 22 33  44 55 66 77  88 99 AA BB  CC DD EE FF");
    c.setPosition(48);
    box.setTextCursor(c);
    QTest::keyClicks(&box, "1");
    EXPECT_EQ(Reds(), "rr" + std::string(46, '.') + "rr");
    page.WriteButton().click();
    EXPECT_EQ(Reds(), std::string(50, '.'));
}

TEST_F(MtpPage, OpenAndSaveHexFiles) {
    test::WriteAll("last.hex", ":01000F00AB45\r\n:00000001FF\r\n");
    test::WriteAll("high.hex", ":01001000AB44\r\n:00000001FF\r\n");
    test::WriteAll("long.hex", ":11000000000102030405060708090A0B0C0D0E0F1000\r\n");
    test::WriteAll("note.hex", ":01000F00AB45\r\n; note\r\n:00000001FF\r\n");
    const std::u16string dir = WidenText(work.path().toStdString() + "/");
    page.SetConnectionState(1);
    for (const char* bad : {"high.hex", "long.hex", "note.hex"}) {
        ports.files.answers = {dir + WidenText(bad)};
        page.OpenButton().click();
        EXPECT_EQ(ports.messages.LastText(), "Incompatible file format.\n") << bad;
        EXPECT_EQ(Content(), kRamp) << bad;
        EXPECT_TRUE(page.HexFilePath().empty());
    }
    ports.files.answers = {dir + u"last.hex"};
    page.OpenButton().click();
    EXPECT_EQ(Content(), "00 11 22 33  44 55 66 77  88 99 AA BB  CC DD EE AB");
    EXPECT_EQ(Reds(), std::string(48, '.') + "rr");
    EXPECT_EQ(ports.files.requests.back().filter, u"Hex File (*.hex)|*.hex|All Files (*.*)|*.*||");
    ports.files.answers = {u"/a path/x.hex"};
    page.OpenButton().click();
    EXPECT_EQ(ports.messages.shown.back().caption, u"Error!");

    ports.files.answers = {dir + u"saved.hex"};
    page.SaveButton().click();
    const FileDialogRequest& r = ports.files.requests.back();
    EXPECT_EQ(r.proposedName, u"Hex_File");
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_TRUE(r.confirmCreate);
    EXPECT_EQ(test::ReadAll("saved.hex"),
              ":1000000000112233445566778899AABBCCDDEEAB4c\r\n:00000001FF");

    page.SetConnectionState(0);
    const std::size_t dialogs = ports.files.requests.size();
    page.OnSaveHexFile();
    EXPECT_EQ(ports.messages.shown.back().caption, u"Warning!");
    EXPECT_EQ(ports.files.requests.size(), dialogs);
}

}  // namespace
}  // namespace cindral
