#include "compose.h"

#include <algorithm>
#include <utility>

#include "failure.h"
#include "zt/crc.h"

namespace marlspin {
namespace {

using Run = std::pair<uint32_t, uint32_t>;  // first, last (inclusive)

std::vector<Run> RunsOf(const PlacedBytes& bytes, uint32_t lo, uint32_t hi) {
    std::vector<Run> runs;
    for (uint32_t a = lo; a <= hi && a < kNvmSize; ++a) {
        if (!bytes.IsSet(a)) continue;
        if (!runs.empty() && runs.back().second + 1 == a)
            runs.back().second = a;
        else
            runs.push_back({a, a});
    }
    return runs;
}

void AppendSegments(const PlacedBytes& bytes, Run run, std::vector<Segment>& out) {
    for (uint32_t start = run.first; start <= run.second; start += kMaxSegment) {
        uint32_t end = std::min<uint32_t>(run.second, start + kMaxSegment - 1);
        Segment s;
        s.address = start;
        for (uint32_t a = start; a <= end; ++a) s.bytes.push_back(bytes.At(a));
        out.push_back(std::move(s));
    }
}

const char* KindName(InputFile::Kind kind) {
    switch (kind) {
        case InputFile::Kind::kBootHex:
            return "boot hex";
        case InputFile::Kind::kBootMem:
            return "boot mem";
        case InputFile::Kind::kAppHex:
            return "app hex";
        case InputFile::Kind::kAppMem:
            return "app mem";
    }
    return "input";
}

int InputExitCode(InputFile::Kind kind) {
    switch (kind) {
        case InputFile::Kind::kBootHex:
            return kExitBootHexInput;
        case InputFile::Kind::kBootMem:
            return kExitBootMemInput;
        case InputFile::Kind::kAppHex:
            return kExitAppHexInput;
        case InputFile::Kind::kAppMem:
            return kExitAppMemInput;
    }
    return kExitUnhandled;
}

bool IsHex(InputFile::Kind kind) {
    return kind == InputFile::Kind::kBootHex || kind == InputFile::Kind::kAppHex;
}

std::string Where(const std::string& path, const InputError& e) {
    if (e.line() == 0) return path + ": " + e.what();
    return Format("%s:%zu: %s", path.c_str(), e.line(), e.what());
}

unsigned long long ULL(uint64_t v) {
    return static_cast<unsigned long long>(v);
}

struct Loaded {
    const InputFile* file;
    bool boot;
    PlacedBytes bytes;
    bool inside = true;
};

void Load(Loaded& in, uint64_t base) {
    const InputFile& f = *in.file;
    const int code = InputExitCode(f.kind);
    std::string text;
    try {
        text = ReadInputFile(f.path);
    } catch (const InputError& e) {
        throw Failure(code, Where(f.path, e));
    }
    try {
        if (IsHex(f.kind))
            ReadIntelHex(text, base, in.bytes);
        else
            ReadMemText(text, base, in.bytes);
    } catch (const InputError& e) {
        throw Failure(code, Where(f.path, e));
    }
    if (in.bytes.empty()) throw Failure(code, f.path + ": no data bytes");
}

}  // namespace

std::vector<Segment> SegmentsOf(const PlacedBytes& bytes, uint32_t lo, uint32_t hi) {
    std::vector<Segment> out;
    for (const Run& run : RunsOf(bytes, lo, hi)) AppendSegments(bytes, run, out);
    return out;
}

Composition Compose(const ComposeRequest& request, std::ostream& info, std::ostream& warn) {
    if (request.boot.empty())
        throw Failure(kExitFirstBootAddress,
                      "no boot file given: the first boot file's address is the user begin");
    if (request.boot.size() + request.app.size() > kMaxInputFiles)
        throw Failure(kExitCommandLine, Format("more than %zu input files", kMaxInputFiles));

    const std::string& first_text = request.boot.front().address;
    std::optional<uint32_t> first = ParseAddress(first_text);
    if (!first)
        throw Failure(kExitFirstBootAddress, "first boot file address '" + Printable(first_text) +
                                                 "' is not an address (0x hex or decimal)");
    if (*first < kMinUserBegin || *first > kUserEnd)
        throw Failure(kExitFirstBootAddress,
                      Format("first boot file address 0x%04X is outside 0x%04X..0x%04X", *first,
                             kMinUserBegin, kUserEnd));
    const uint32_t user_begin = *first;

    std::vector<Loaded> inputs;
    inputs.reserve(request.boot.size() + request.app.size());
    for (const InputFile& f : request.boot) inputs.push_back({&f, true, {}, true});
    for (const InputFile& f : request.app) inputs.push_back({&f, false, {}, true});

    for (Loaded& in : inputs) {
        std::optional<uint32_t> base = ParseAddress(in.file->address);
        if (!base)
            throw Failure(kExitAddressSpec, "NVM address '" + Printable(in.file->address) +
                                                "' of " + in.file->path +
                                                " is not an address (0x hex or decimal)");
        Load(in, *base);
        info << Format("Read %s file %s at 0x%04X: 0x%04llX..0x%04llX\n", KindName(in.file->kind),
                       in.file->path.c_str(), *base, ULL(in.bytes.first()), ULL(in.bytes.last()));
    }

    // Which NVM bytes more than one file gives; files outside the region take no part.
    std::vector<uint8_t> owners(kNvmSize, 0);
    for (Loaded& in : inputs) {
        in.inside = in.bytes.Within(user_begin, kUserEnd);
        if (!in.inside) {
            warn << Format(
                "Error: %s gives bytes at 0x%04llX..0x%04llX, outside the user NVM "
                "0x%04X..0x%04X; it is not burned\n",
                in.file->path.c_str(), ULL(in.bytes.first()), ULL(in.bytes.last()), user_begin,
                kUserEnd);
            continue;
        }
        for (uint32_t a = user_begin; a <= kUserEnd; ++a)
            if (in.bytes.IsSet(a) && owners[a] < 2) ++owners[a];
    }

    Composition c;
    c.strict = request.strict;
    c.user_begin = user_begin;
    c.has_boot_record = true;
    // The composed user region, unset bytes 0x00, as the boot record's CRC covers it.
    std::vector<uint8_t> user_region(kUserEnd + 1 - user_begin, 0);
    uint32_t boot_end = user_begin;  // one past the highest boot byte

    for (Loaded& in : inputs) {
        MapRow row;
        row.name = BaseName(in.file->path);
        row.first = in.bytes.first();
        row.last = in.bytes.last();
        if (!in.inside) {
            row.status = "Error: outside user NVM";
            c.rows.push_back(std::move(row));
            continue;
        }
        std::size_t shared = 0;
        uint32_t first_shared = 0;
        for (uint32_t a = user_begin; a <= kUserEnd; ++a) {
            if (!in.bytes.IsSet(a)) continue;
            // Bits only ever add up in the NVM, so the composed byte is the OR in both modes.
            user_region[a - user_begin] |= in.bytes.At(a);
            if (owners[a] > 1 && shared++ == 0) first_shared = a;
        }
        if (shared == 0) {
            row.status = "OK";
        } else if (request.strict) {
            row.status = "Conflict";
            warn << Format(
                "Conflict: %zu bytes of %s from 0x%04X on are also given by another "
                "file\n",
                shared, in.file->path.c_str(), first_shared);
        } else {
            row.status = "Overlay";
            info << Format("Overlay: %zu bytes of %s from 0x%04X on are ORed with another file\n",
                           shared, in.file->path.c_str(), first_shared);
        }
        if (in.boot) boot_end = std::max<uint32_t>(boot_end, static_cast<uint32_t>(row.last) + 1);
        BurnImage image;
        image.title = row.name;
        image.segments = SegmentsOf(in.bytes, user_begin, kUserEnd);
        c.images.push_back(std::move(image));
        c.rows.push_back(std::move(row));
    }

    c.boot_length = static_cast<uint16_t>(boot_end - user_begin);
    c.user_crc = zt::Crc32(user_region.data(), user_region.size());
    Segment record;
    record.address = kBootRecord;
    record.bytes = {request.state,
                    request.flags,
                    static_cast<uint8_t>(c.boot_length >> 8),
                    static_cast<uint8_t>(c.boot_length),
                    static_cast<uint8_t>(c.user_crc >> 24),
                    static_cast<uint8_t>(c.user_crc >> 16),
                    static_cast<uint8_t>(c.user_crc >> 8),
                    static_cast<uint8_t>(c.user_crc)};
    c.images.push_back({"boot record", {std::move(record)}});
    if (c.images.size() > kMaxImages)
        throw Failure(kExitBurnerCreation,
                      Format("%zu burner images needed; a burn file holds at most %zu",
                             c.images.size(), kMaxImages));
    info << Format(
        "User begin 0x%04X, boot image length 0x%04X, user region CRC32 0x%08X, state "
        "0x%02X, flags 0x%02X\n",
        user_begin, c.boot_length, c.user_crc, request.state, request.flags);
    return c;
}

Composition ComposeDirect(const DirectRequest& request, std::ostream& info) {
    std::string text;
    std::string name = "direct";
    std::string where = "direct burn text";
    if (request.file) {
        name = BaseName(*request.file);
        where = *request.file;
        try {
            text = ReadInputFile(*request.file);
        } catch (const InputError& e) {
            throw Failure(kExitDirectInput, Where(where, e));
        }
    } else {
        text = request.text;
        // The text comes as one line (Cindral turns its line breaks into spaces), so a
        // comment would silently swallow every byte typed on the lines after it.
        const std::size_t comment = text.find("//");
        if (comment != std::string::npos &&
            text.find_first_not_of(" \t\r\n\v\f", comment + 2) != std::string::npos)
            throw Failure(kExitDirectInput,
                          "direct burn text: '//' would make all that follows it a comment (" +
                              Printable(text.substr(comment)) +
                              "); the text arrives as one line, so it takes no comments");
    }
    PlacedBytes bytes;
    try {
        ReadMemText(text, 0, bytes, kNvmSize);
    } catch (const InputError& e) {
        throw Failure(kExitDirectInput, Where(where, e));
    }
    if (bytes.empty()) throw Failure(kExitDirectInput, where + ": no data bytes");

    Composition c;
    c.strict = request.strict;
    for (const Run& run : RunsOf(bytes, 0, kNvmSize - 1)) {
        MapRow row;
        row.name = name;
        row.first = run.first;
        row.last = run.second;
        row.status = "OK";
        BurnImage image;
        image.title = name;
        AppendSegments(bytes, run, image.segments);
        c.rows.push_back(std::move(row));
        c.images.push_back(std::move(image));
    }
    if (c.images.size() > kMaxDirectImages)
        throw Failure(kExitDirectInput,
                      Format("%s: %zu separate runs of bytes; a direct burn takes at most %zu",
                             where.c_str(), c.images.size(), kMaxDirectImages));
    for (const MapRow& row : c.rows)
        info << Format("Direct burn run 0x%04llX..0x%04llX\n", ULL(row.first), ULL(row.last));
    return c;
}

}  // namespace marlspin
