// The virtual adapters come from a library of their own beside libwickport.so:
// a program linked against Wickport, run against the built libraries or a copy
// of libwickport.so alone (or beside a broken virtual library).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

TEST(VirtualLibraryLoad, ListsVirtualAdaptersOnlyWhenAskedAndExplainsAMissingLibrary) {
    enum Library { kBuilt, kMissing, kGarbage };
    const struct {
        Library library;
        const char* list;  // WICKPORT_VIRTUAL, null for unset
        const char* out;
        bool complains;
    } cases[] = {
        {kBuilt, "VZ7;VZ8", "VZ7\nVZ8\nsimulator loaded\n", false},
        {kBuilt, nullptr, "simulator absent\n", false},
        {kMissing, nullptr, "simulator absent\n", false},
        {kMissing, "VZ7", "simulator absent\n", true},
        {kGarbage, "VZ7", "simulator absent\n", true},
    };
    const fs::path root = fs::temp_directory_path() / ("wickport-load-" + std::to_string(getpid()));
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.library << " " << (c.list ? c.list : "unset"));
        fs::remove_all(root);
        fs::path lib_dir = WICKPORT_LIB_DIR;
        if (c.library != kBuilt) {
            lib_dir = root / "lib";
            fs::create_directories(lib_dir);
            fs::copy_file(WICKPORT_LIB, lib_dir / WICKPORT_SONAME);
            if (c.library == kGarbage)
                std::ofstream(lib_dir / "libwickport-virtual.so") << "no ELF";
        }
        fs::create_directories(root);
        std::string command =
            "env -u WICKPORT_VIRTUAL -u WICKPORT_TRACE LD_LIBRARY_PATH='" + lib_dir.string() + "'";
        if (c.list) command += std::string(" WICKPORT_VIRTUAL='") + c.list + "'";
        command += " '" WICKPORT_PROBE "' >'" + (root / "out").string() + "' 2>'" +
                   (root / "err").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(Slurp(root / "out"), c.out);
        const std::string err = Slurp(root / "err");
        if (c.complains)
            EXPECT_NE(err.find("no virtual adapters can be had: " + lib_dir.string() +
                               "/libwickport-virtual.so"),
                      std::string::npos)
                << err;
        else
            EXPECT_EQ(err, "");
    }
    fs::remove_all(root);
}

}  // namespace
