#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/settings_archive.h"
#include "core/text.h"
#include "zt/platform/files.h"
#include "zt/platform/places.h"

namespace cindral {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    std::vector<uint8_t> out;
    for (int x : b) out.push_back(static_cast<uint8_t>(x));
    return out;
}

TEST(SettingsArchive, EncodingsOfIntegersAndStrings) {
    SettingsWriter w;
    w.WriteInt(1);
    w.WriteInt(-2);
    w.WriteString(u"");
    w.WriteString(u"A\u20AC");
    EXPECT_EQ(w.Bytes(), Bytes({1,    0,    0,    0,    0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE,
                                0xFF, 0x00, 0xFF, 0xFE, 0xFF, 0x02, 'A',  0,    0xAC, 0x20}));

    SettingsWriter longName;
    longName.WriteString(std::u16string(300, u'x'));
    EXPECT_EQ(std::vector<uint8_t>(longName.Bytes().begin(), longName.Bytes().begin() + 6),
              Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
    EXPECT_EQ(longName.Bytes().size(), 6u + 600u);

    SettingsWriter border;
    border.WriteString(std::u16string(254, u'y'));
    EXPECT_EQ(border.Bytes()[3], 254);
    SettingsWriter huge;
    huge.WriteString(std::u16string(70000, u'z'));
    EXPECT_EQ(std::vector<uint8_t>(huge.Bytes().begin(), huge.Bytes().begin() + 10),
              Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
}

TEST(SettingsArchive, RoundTripThroughAFile) {
    SettingsWriter w;
    const std::u16string longText(70000, u'q');
    w.WriteInt(3);
    w.WriteString(u"C:/fw/boot.hex");
    w.WriteString(std::u16string(300, u'n'));
    w.WriteString(longText);
    w.WriteInt(0);
    const std::string dir = zt::platform::MakeTempDirectory("cindral-settings-", nullptr);
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + zt::platform::kPathSeparator + "main.set";
    ASSERT_TRUE(w.SaveTo(FromUtf8(path)));
    ASSERT_TRUE(w.SaveTo(FromUtf8(path))) << "saved again over itself";
    auto r = SettingsReader::Open(FromUtf8(path));
    ASSERT_TRUE(r.has_value());
    int32_t i = -1;
    std::u16string s;
    EXPECT_TRUE(r->ReadInt(i));
    EXPECT_EQ(i, 3);
    EXPECT_TRUE(r->ReadString(s));
    EXPECT_EQ(s, u"C:/fw/boot.hex");
    EXPECT_TRUE(r->ReadString(s));
    EXPECT_EQ(s.size(), 300u);
    EXPECT_TRUE(r->ReadString(s));
    EXPECT_EQ(s, longText);
    EXPECT_TRUE(r->ReadInt(i));
    EXPECT_EQ(i, 0);
    EXPECT_TRUE(r->AtEnd());
    EXPECT_FALSE(r->Failed());
    EXPECT_FALSE(SettingsReader::Open(u"/nonexistent/x.set").has_value());

    // Saved through a symbolic link, the link stays and its target takes the bytes.
    namespace fs = std::filesystem;
    const std::string link = path + ".link";
    std::error_code ec;
    fs::create_symlink(Utf8Path(path), Utf8Path(link), ec);
    if (!ec) {
        SettingsWriter shorter;
        shorter.WriteInt(7);
        EXPECT_TRUE(shorter.SaveTo(FromUtf8(link)));
        EXPECT_TRUE(fs::is_symlink(Utf8Path(link)));
        auto viaTarget = SettingsReader::Open(FromUtf8(path));
        ASSERT_TRUE(viaTarget.has_value());
        EXPECT_TRUE(viaTarget->ReadInt(i));
        EXPECT_EQ(i, 7);
        EXPECT_TRUE(viaTarget->AtEnd());
    }
    // Nothing is left beside the file.
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(Utf8Path(dir))) entries += e.exists() ? 1 : 0;
    EXPECT_EQ(entries, ec ? 1u : 2u);
    fs::remove_all(Utf8Path(dir), ec);
}

TEST(SettingsArchive, ShortAndForeignInputFailsWithoutTouchingTheTarget) {
    std::u16string s = u"keep";
    int32_t i = 77;
    SettingsReader shortInt(Bytes({1, 2, 3}));
    EXPECT_FALSE(shortInt.ReadInt(i));
    EXPECT_EQ(i, 77);
    EXPECT_TRUE(shortInt.Failed());

    // A length far beyond the file is refused before anything is allocated.
    SettingsReader lying(
        Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}));
    EXPECT_FALSE(lying.ReadString(s));
    EXPECT_EQ(s, u"keep");

    SettingsReader ansi(Bytes({0x03, 'a', 'b', 'c'}));
    EXPECT_FALSE(ansi.ReadString(s));
    EXPECT_EQ(s, u"keep");

    // After a failure every later read fails too.
    SettingsReader mixed(Bytes({0xFF, 0xFE, 0xFF, 0x05, 'a', 0, 9, 0, 0, 0}));
    EXPECT_FALSE(mixed.ReadString(s));
    EXPECT_FALSE(mixed.ReadInt(i));
    EXPECT_EQ(i, 77);

    // Every truncation of a valid stream fails cleanly.
    SettingsWriter w;
    w.WriteInt(5);
    w.WriteString(std::u16string(300, u'p'));
    for (std::size_t n = 0; n < w.Bytes().size(); ++n) {
        SettingsReader r(std::vector<uint8_t>(w.Bytes().begin(), w.Bytes().begin() + n));
        int32_t v = 0;
        std::u16string t;
        bool ok = r.ReadInt(v) && r.ReadString(t);
        EXPECT_FALSE(ok) << n;
    }
}

}  // namespace
}  // namespace cindral
