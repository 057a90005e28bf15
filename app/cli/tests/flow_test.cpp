// cindral-cli end to end on virtual chips with nothing but the platform layer:
// the same cases run on Linux and, built for Windows, under Wine.
#include <gcrypt.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "zt/platform/files.h"
#include "zt/platform/places.h"
#include "zt/platform/process.h"
#include "zt/platform/system.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using zt::platform::kPathSeparator;

// 16 bytes at 0x0000 and one at 0x0020.
constexpr const char* kBootHex =
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n:01002000558A\r\n:00000001FF\r\n";

// Paths are UTF-8 here, as the platform layer takes them.
fs::path P(const std::string& path) {
    return fs::path(std::u8string(path.begin(), path.end()));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(P(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(P(path), std::ios::binary) << text;
}

std::string Sha256(const std::string& bytes) {
    static const bool ready = gcry_check_version(nullptr) != nullptr;
    EXPECT_TRUE(ready);
    unsigned char digest[32];
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest, bytes.data(), bytes.size());
    std::string hex;
    char two[3];
    for (unsigned char b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

struct Result {
    int exit = -1;
    std::string out, err;
    // One JSON object per line; a Windows child's lines end in CR LF.
    std::vector<Json> Objects() const {
        std::vector<Json> objects;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) objects.push_back(Json::parse(line, nullptr, false));
        }
        return objects;
    }
};

class CliFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        dir_ = zt::platform::MakeTempDirectory("cindral-cli-flow-", &error);
        ASSERT_FALSE(dir_.empty()) << error;
        saved_ = zt::platform::GetEnvironment("WICKPORT_VIRTUAL");
    }
    void TearDown() override {
        zt::platform::SetEnvironment("WICKPORT_VIRTUAL", saved_ ? saved_->c_str() : nullptr);
        std::error_code ec;
        fs::remove_all(P(dir_), ec);
    }

    std::string Path(const std::string& name) const { return dir_ + kPathSeparator + name; }
    std::string Adapter(const std::string& serial, const std::string& extra = "") const {
        return serial + ":speed=max,state=" + Path(serial) + extra;
    }
    std::string Nvm(const std::string& serial) const {
        return ReadAll(Path(serial) + kPathSeparator + "nvm.bin");
    }

    // Runs the program with these virtual adapters, both streams captured.
    Result Run(const std::vector<std::string>& args, const std::string& adapters) {
        zt::platform::SetEnvironment("WICKPORT_VIRTUAL", adapters.c_str());
        std::vector<std::string> argv{zt::platform::ExecutableDirectory() + "cindral-cli" +
                                      zt::platform::ExecutableSuffix()};
        argv.insert(argv.end(), args.begin(), args.end());
        Result r;
        {
            zt::platform::OutputFile out, err;
            EXPECT_EQ(out.Create(Path(".stdout")), "");
            EXPECT_EQ(err.Create(Path(".stderr")), "");
            zt::platform::ChildProcess child;
            int error = 0;
            EXPECT_TRUE(child.Start(argv, out, &error, &err)) << argv[0] << ": " << error;
            using Wait = zt::platform::ChildProcess::Wait;
            Wait w = Wait::kRunning;
            for (int slice = 0; slice < 120 && w == Wait::kRunning; ++slice)
                w = child.WaitFor(1000);
            EXPECT_EQ(w, Wait::kEnded) << "still running after two minutes";
            r.exit = child.exit_code();
        }
        r.out = ReadAll(Path(".stdout"));
        r.err = ReadAll(Path(".stderr"));
        return r;
    }

    std::string dir_;
    std::optional<std::string> saved_;
};

TEST(Sha256, TheTestsOwnDigestKnowsTheStandardVectors) {
    EXPECT_EQ(Sha256(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Compose, burn with an audit log, read back: what a production station does.
TEST_F(CliFlow, ComposeBurnAndReadOneChip) {
    const std::string chip = Adapter("VZF001");
    Result info = Run({"--json", "info"}, chip);
    ASSERT_EQ(info.exit, 0) << info.err;
    const std::string before = Nvm("VZF001");
    ASSERT_EQ(before.size(), 8192u);

    WriteAll(Path("boot.hex"), kBootHex);
    const std::string nbf = Path("job.nbf"), log = Path("audit.log");
    Result compose = Run(
        {"--json", "compose", "--boot", Path("boot.hex") + "@0x0200", "--run", "-o", nbf}, chip);
    ASSERT_EQ(compose.exit, 0) << compose.err;
    const std::vector<Json> composed = compose.Objects();
    ASSERT_EQ(composed.size(), 1u) << compose.out;
    EXPECT_EQ(composed[0]["composer_exit"], 0);
    EXPECT_EQ(composed[0]["map"].at(0)["range"], "0x0200 .. 0x0220");
    const std::string job = ReadAll(nbf);
    ASSERT_NE(job.find("[Burn]"), std::string::npos) << job;

    Result burn = Run({"--json", "--log", log, "burn", nbf}, chip);
    ASSERT_EQ(burn.exit, 0) << burn.err;
    const std::vector<Json> burned = burn.Objects();
    ASSERT_EQ(burned.size(), 1u) << burn.out;
    EXPECT_EQ(burned[0]["result"], "ok");
    EXPECT_EQ(burned[0]["sha256"], Sha256(job));
    Json line = Json::parse(ReadAll(log), nullptr, false);
    ASSERT_TRUE(line.is_object()) << ReadAll(log);
    EXPECT_EQ(line["sha256"], Sha256(job));
    EXPECT_EQ(line["adapter"], "VZF001");
    EXPECT_EQ(line["host"], zt::platform::HostName());

    const std::string after = Nvm("VZF001");
    ASSERT_EQ(after.size(), 8192u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[0x200 + i], static_cast<char>(i)) << i;
    EXPECT_EQ(after[0x220], '\x55');
    info = Run({"--json", "info", "-a", "VZF001"}, chip);
    ASSERT_EQ(info.exit, 0) << info.err;
    const Json read = info.Objects().at(0);
    EXPECT_TRUE(read["crc"]["user_match"].get<bool>()) << read.dump();
    EXPECT_EQ(read["chip"]["hardware_id"], "0x24");
}

// Names beyond ASCII reach the composer and the files as given, on Windows too
// (where a program's argv would hold the ANSI code page's rendering).
TEST_F(CliFlow, NamesBeyondAsciiComposeAndBurn) {
    const std::string chip = Adapter("VZF004");
    const std::string boot = Path("b\xC3\xB6\xC3\xB6t-\xD0\xB6.hex");  // "bööt-ж.hex"
    const std::string nbf = Path(
        "j\xC3\xB6"
        "b-\xE2\x82\xAC.nbf");  // "jöb-€.nbf"
    WriteAll(boot, kBootHex);
    Result compose = Run({"--json", "compose", "--boot", boot + "@0x0200", "-o", nbf}, chip);
    ASSERT_EQ(compose.exit, 0) << compose.err << compose.out;
    EXPECT_EQ(compose.Objects().at(0)["map"].at(0)["file"], "b\xC3\xB6\xC3\xB6t-\xD0\xB6.hex");
    EXPECT_EQ(compose.Objects().at(0)["burn_file"], nbf);
    ASSERT_TRUE(fs::is_regular_file(P(nbf)));
    Result burn = Run({"--json", "burn", nbf}, chip);
    ASSERT_EQ(burn.exit, 0) << burn.err;
    EXPECT_EQ(burn.Objects().at(0)["sha256"], Sha256(ReadAll(nbf)));
    EXPECT_EQ(Nvm("VZF004")[0x20F], '\x0F');
}

// A composer that cannot run is the program's failure, with nothing written.
TEST_F(CliFlow, AMissingInputIsRefusedAndNothingIsBurned) {
    const std::string chip = Adapter("VZF002");
    ASSERT_EQ(Run({"info"}, chip).exit, 0);
    const std::string before = Nvm("VZF002");
    Result compose = Run(
        {"--json", "compose", "--boot", Path("absent.hex") + "@0x0200", "-o", Path("x.nbf")}, chip);
    EXPECT_NE(compose.exit, 0);
    EXPECT_FALSE(fs::exists(P(Path("x.nbf"))));
    Result burn = Run({"burn", Path("x.nbf")}, chip);
    EXPECT_EQ(burn.exit, 6) << burn.err;
    EXPECT_EQ(Nvm("VZF002"), before);
}

// The MTP written and read back through the writer program.
TEST_F(CliFlow, MtpWriteThenRead) {
    const std::string chip = Adapter("VZF003");
    const std::string content = "F0 E1 D2 C3  B4 A5 96 87  78 69 5A 4B  3C 2D 1E 0F";
    Result write = Run({"--json", "mtp", "write", content}, chip);
    ASSERT_EQ(write.exit, 0) << write.err << write.out;
    EXPECT_EQ(write.Objects().at(0)["result"], "ok") << write.out;
    Result read = Run({"--json", "mtp", "read"}, chip);
    ASSERT_EQ(read.exit, 0) << read.err;
    EXPECT_EQ(read.Objects().at(0)["content"], content) << read.out;
}

// One worker process per adapter, their reports back through pipes.
TEST_F(CliFlow, GangBurnOfTwoChips) {
    const std::string adapters = Adapter("VZF011") + ";" + Adapter("VZF012");
    const std::string nbf = Path("d.nbf"), log = Path("gang.log");
    Result compose = Run(
        {"direct-burn", "--text", "@1000 AA 55\n@1100 01", "-o", nbf, "--dry-run", "-a", "VZF011"},
        adapters);
    ASSERT_EQ(compose.exit, 0) << compose.err;
    Result burn = Run({"--json", "--log", log, "burn", nbf, "--all"}, adapters);
    EXPECT_EQ(burn.exit, 0) << burn.err;
    const std::vector<Json> objects = burn.Objects();
    ASSERT_EQ(objects.size(), 3u) << burn.out;
    std::map<std::string, bool> ok;
    for (int k = 0; k < 2; ++k) ok[objects[k]["adapter"]] = objects[k]["ok"];
    EXPECT_EQ(ok, (std::map<std::string, bool>{{"VZF011", true}, {"VZF012", true}}));
    for (const char* serial : {"VZF011", "VZF012"}) {
        const std::string nvm = Nvm(serial);
        ASSERT_EQ(nvm.size(), 8192u) << serial;
        EXPECT_EQ(nvm[0x1000], '\xAA') << serial;
        EXPECT_EQ(nvm[0x1001], '\x55') << serial;
        EXPECT_EQ(nvm[0x1100], '\x01') << serial;
    }
    std::istringstream lines(ReadAll(log));
    int count = 0;
    for (std::string l; std::getline(lines, l); ++count)
        EXPECT_TRUE(Json::parse(l, nullptr, false).is_object()) << l;
    EXPECT_EQ(count, 2);
}

}  // namespace
