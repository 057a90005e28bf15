#include "nonvolatile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "zt/crc.h"
#include "zt/hex_digit.h"
#include "zt/platform/files.h"

namespace zsim {
namespace {

std::string SysError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Reads a whole file of exactly size bytes. Returns 0 ok, 1 missing, -1 error.
int ReadExact(const std::string& path, uint8_t* out, size_t size, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return 1;
    // The size is checked before reading so a huge or special file is refused, not slurped.
    const auto on_disk = std::filesystem::file_size(path, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
        *error = path + " is not a readable file";
        return -1;
    }
    if (on_disk != size) {
        *error =
            path + " holds " + std::to_string(on_disk) + " bytes, expected " + std::to_string(size);
        return -1;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = SysError("cannot open", path);
        return -1;
    }
    // One byte more than expected tells a file that grew since the size check.
    in.read(reinterpret_cast<char*>(out), std::streamsize(size));
    if (size_t(in.gcount()) != size || in.peek() != std::char_traits<char>::eof()) {
        *error = path + " changed while it was read";
        return -1;
    }
    return 0;
}

uint32_t Fnv1a(const std::string& s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
    return h;
}

// 32 hex digits, one pair per MTP cell.
bool ParseCells(const std::string& text, std::array<uint8_t, kMtpSize>* cells) {
    if (text.size() != 2 * kMtpSize) return false;
    for (int i = 0; i < kMtpSize; ++i) {
        const int b = zt::HexByte(text[2 * i], text[2 * i + 1]);
        if (b < 0) return false;
        (*cells)[i] = uint8_t(b);
    }
    return true;
}

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
    zt::platform::ReplaceFailure failure;
    if (zt::platform::ReplaceFileContents(path,
                                          std::string_view(static_cast<const char*>(data), size),
                                          0644u, &failure, zt::platform::TempName::kTmpSuffix))
        return true;
    using Step = zt::platform::ReplaceFailure::Step;
    switch (failure.step) {
        case Step::kCreate:
            *error = "cannot create " + path + ".tmp: " + failure.reason;
            break;
        case Step::kMode:
        case Step::kWrite:
            *error = "cannot write " + failure.temp + ": " + failure.reason;
            break;
        case Step::kFlush:
            *error = "cannot flush " + failure.temp + ": " + failure.reason;
            break;
        case Step::kReplace:
            *error = "cannot rename " + failure.temp + ": " + failure.reason;
            break;
    }
    return false;
}

void NonVolatile::MakeFactory(const std::string& serial) {
    nvm.fill(0);
    mtp.fill(0);
    mtp_writes = 0;
    // xorshift32 seeded by the serial: the same serial always gives the same trim.
    uint32_t x = Fnv1a(serial) | 1u;
    auto next = [&x]() {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return uint8_t(x >> 11);
    };
    for (int i = 0; i < 0x148; ++i) nvm[i] = next();
    PutBe32(&nvm[kNvmTrimCrc], zt::Crc32(nvm.data(), kNvmTrimEnd));
}

void NonVolatile::Close() {
    lock_.Release();
}

bool NonVolatile::Open(const std::string& dir, const std::string& serial, std::string* error) {
    Close();
    dir_ = dir;
    MakeFactory(serial);
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        *error = "cannot create state directory " + dir + (ec ? ": " + ec.message() : "");
        return false;
    }
    // Two users of one directory would each save only their own bytes.
    std::string reason;
    switch (lock_.Acquire(dir, &reason)) {
        case zt::platform::DirectoryLock::Result::kLocked:
            break;
        case zt::platform::DirectoryLock::Result::kBusy:
            *error = "state directory " + dir + " is in use by another program";
            return false;
        case zt::platform::DirectoryLock::Result::kError:
            *error = "cannot lock state directory " + dir + ": " + reason;
            return false;
    }
    if (!Load(error)) {
        Close();
        return false;
    }
    return true;
}

bool NonVolatile::Load(std::string* error) {
    const std::string& dir = dir_;
    std::error_code ec;
    // Temporary files of a save that crashed; the lock says no save is running now.
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        for (const char* stem : {"nvm.bin.tmp", "mtp.bin.tmp", "meta.txt.tmp"}) {
            if (name.rfind(stem, 0) == 0) std::filesystem::remove(entry.path(), ec);
        }
    }
    ec.clear();
    int nvm_state = ReadExact(dir + "/nvm.bin", nvm.data(), nvm.size(), error);
    if (nvm_state < 0) return false;
    int mtp_state = ReadExact(dir + "/mtp.bin", mtp.data(), mtp.size(), error);
    if (mtp_state < 0) return false;
    if (mtp_state == 0) {
        // A few counters at most: anything larger is not ours and is not read.
        const std::string meta_path = dir + "/meta.txt";
        if (std::filesystem::exists(meta_path, ec) &&
            (!std::filesystem::is_regular_file(meta_path, ec) ||
             std::filesystem::file_size(meta_path, ec) > 4096 || ec)) {
            *error = meta_path + " is not a counter file";
            return false;
        }
        std::ifstream meta(meta_path);
        std::string line;
        while (std::getline(meta, line)) {
            if (line.rfind("mtp=", 0) == 0) {
                std::array<uint8_t, kMtpSize> cells{};
                if (!ParseCells(line.substr(4), &cells)) {
                    *error = meta_path + ": bad mtp value \"" + line.substr(4) + "\"";
                    return false;
                }
                if (cells != mtp) {
                    // The counter file was saved, the cells not yet: finish the step.
                    mtp = cells;
                    if (!WriteFileAtomic(dir + "/mtp.bin", mtp.data(), mtp.size(), error))
                        return false;
                }
                continue;
            }
            if (line.rfind("mtp_writes=", 0) != 0) continue;
            std::string value = line.substr(11);
            char* end = nullptr;
            errno = 0;
            unsigned long n = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || n > 0xFFFFFFFFul) {
                *error = dir + "/meta.txt: bad mtp_writes value \"" + value + "\"";
                return false;
            }
            mtp_writes = uint32_t(n);
        }
    }
    if (nvm_state == 1 && !SaveNvm(error)) return false;
    if (mtp_state == 1 && !SaveMtp(error)) return false;
    return true;
}

bool NonVolatile::SaveNvm(std::string* error) {
    if (dir_.empty()) return true;
    return WriteFileAtomic(dir_ + "/nvm.bin", nvm.data(), nvm.size(), error);
}

bool NonVolatile::SaveMtp(std::string* error) {
    if (dir_.empty()) return true;
    std::string meta = "mtp_writes=" + std::to_string(mtp_writes) + "\nmtp=";
    static const char* hex = "0123456789abcdef";
    for (uint8_t b : mtp) {
        meta += hex[b >> 4];
        meta += hex[b & 15];
    }
    meta += "\n";
    // meta.txt is the commit point: once it is in place the step is done, and
    // an mtp.bin that fails to follow is mended by the next Open.
    if (!WriteFileAtomic(dir_ + "/meta.txt", meta.data(), meta.size(), error)) return false;
    std::string ignored;
    WriteFileAtomic(dir_ + "/mtp.bin", mtp.data(), mtp.size(), &ignored);
    return true;
}

BurnOutcome BurnNvm(uint8_t* nvm, uint32_t dest, const uint8_t* src, int count, bool logic_or,
                    uint32_t writable_begin, uint32_t writable_end, bool vpp) {
    BurnOutcome out;
    for (int i = 0; i < count; ++i) {
        uint32_t a = dest + uint32_t(i);
        if (a < writable_begin || a >= writable_end || a >= uint32_t(kNvmSize)) {
            out.code = kBurnRange;
            out.fail_address = uint16_t(a);
            return out;
        }
    }
    if (!vpp) {
        out.code = kBurnThreshold;
        out.fail_address = uint16_t(dest);
        return out;
    }
    if (!logic_or) {
        for (int i = 0; i < count; ++i) {
            if (nvm[dest + i] & ~src[i]) {
                out.code = kBurnConflict;
                out.fail_address = uint16_t(dest + i);
                return out;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        uint8_t v = uint8_t(nvm[dest + i] | src[i]);
        if (v != nvm[dest + i]) ++out.burned;
        nvm[dest + i] = v;
    }
    return out;
}

}  // namespace zsim
