// The MTP page's text rules, free of widgets: the 50-character content layout,
// patching the writer program and the save template, loading content from a hex
// file, and the overwrite-style editing of the content box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zt/zeltra_map.h"

namespace cindral::mtp {

constexpr int kBytes = zt::zeltra::kMtpSize;
constexpr int kDigits = 2 * kBytes;
// Two digits a byte, one space between bytes, two after bytes 4, 8 and 12.
constexpr int kLayoutLength = 50;
// The box has one stored format per caret position.
constexpr int kPositions = kLayoutLength + 1;

using Bytes = std::array<uint8_t, kBytes>;
using ChangedBytes = std::array<bool, kBytes>;

inline constexpr const char16_t* kInitialContent =
    u"01 02 03 04  05 06 07 08  09 0A 0B 0C  0D 0E 0F 10";
inline constexpr const char* kInitialSaveTemplate =
    ":10000000AB02EF0187456789119900AA5566778889\r\n:00000001FF";
// What the box shows while disconnected.
std::u16string BlankContent();

// The character position of the first digit of byte i in the layout.
constexpr int BytePosition(int i) {
    return 3 * i + i / 4;
}
// The 16 bytes in the layout, upper case.
std::u16string FormatContent(const Bytes& bytes);
// 32 hex digits (any case) in the layout, upper case; empty when the input is not
// exactly 32 hex digits.
std::u16string LayoutDigits(std::u16string_view digits);
// The box text with its spaces removed, cut to 32 characters.
std::u16string ContentDigits(std::u16string_view text);
// The bytes of 32 hex digits; nothing when the digits are fewer or not hex.
std::optional<Bytes> ParseDigits(std::u16string_view digits);

enum class PatchError { kNone, kBadContent, kNoParameterRecord };
// Puts offset, length and the 32 content digits into the writer's parameter record
// (the record whose address field is the first "010000") and renews its checksum.
// Nothing is changed on an error.
PatchError PatchWriter(std::string& writer, std::u16string_view digits, uint8_t offset = 0,
                       uint8_t length = kBytes);
// Puts the digits into the data record of the save template and renews its checksum.
PatchError PatchSaveTemplate(std::string& saveTemplate, std::u16string_view digits);
// The message for a patch that failed.
std::u16string PatchErrorText(PatchError error);

// Content digits after applying an Intel-HEX file's records to the current
// digits; nothing when the file is not of the accepted form (the caller shows
// "Incompatible file format.\n"). An empty file changes nothing.
std::optional<std::u16string> LoadDigitsFromHex(std::string_view fileText,
                                                std::u16string_view currentDigits);

// The box after the operator changed it from the reference text: the layout kept,
// only hex digits typed over digits, deleted characters put back.
struct Edit {
    std::u16string text;
    int caret = 0;
};
Edit ApplyEdit(std::u16string_view reference, std::u16string_view edited, int caret);

// Marks the bytes whose digits differ between the two texts; marks stay set.
void MarkChanged(std::u16string_view reference, std::u16string_view text, ChangedBytes& changed);

// The message for the writer's result code.
std::u16string ResultMessage(uint8_t code);

}  // namespace cindral::mtp
