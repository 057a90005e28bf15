// Style records of the styled report list: per cell, per row and per column text
// colour, background colour and font style, resolved by priority when painting.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace cindral {

using Colour = uint32_t;  // 0x00BBGGRR
constexpr Colour kRed = 0x000000FF;

enum StyleFlags : uint32_t {
    kStyleBold = 0x01,
    kStyleItalic = 0x02,
    kStyleUnderline = 0x04,
    kStyleStrikeout = 0x08,
    kStyleFontMask = 0x0F,
    kStyleTextColour = 0x10,
    kStyleBackColour = 0x20,
    // A record with this bit lets no lower-priority record give the text colour.
    kStyleNoLowerText = 0x40,
    // A record with this bit lets no lower-priority record give the background.
    kStyleNoLowerBack = 0x80,
};

struct iLS_item {
    intptr_t userData = 0;
    bool hasUserData = false;
    uint32_t flags = 0;
    bool fontStyle = false;  // any of the four font bits set
    Colour textColour = 0;
    Colour backColour = 0;
    std::vector<std::unique_ptr<iLS_item>> subItems;  // one per column after the first
    std::unique_ptr<iLS_item> rowStyle;               // created on first use
    std::unique_ptr<iLS_item> selectedStyle;          // used while the item is selected

    void SetFlags(uint32_t f) {
        flags = f;
        fontStyle = (f & kStyleFontMask) != 0;
    }
    iLS_item& Row() {
        if (!rowStyle) rowStyle = std::make_unique<iLS_item>();
        return *rowStyle;
    }
};

struct ResolvedStyle {
    std::optional<Colour> text;  // nothing: the list's own (or highlight) colour
    std::optional<Colour> back;
    // Merged font bits of every record that has a font style.
    uint32_t fontBits = 0;
    bool hasFont = false;
};

// Resolves the style of one cell: the cell's record, then the row record, then the
// column record (each replaced by its selected-state alternative when selected).
ResolvedStyle ResolveStyle(const iLS_item* item, int column, const iLS_item* columnRecord,
                           bool selected);

}  // namespace cindral
