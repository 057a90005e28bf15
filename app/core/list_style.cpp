#include "list_style.h"

namespace cindral {

namespace {
const iLS_item* Pick(const iLS_item* record, bool selected) {
    if (record == nullptr) return nullptr;
    if (selected && record->selectedStyle) return record->selectedStyle.get();
    return record;
}
}  // namespace

ResolvedStyle ResolveStyle(const iLS_item* item, int column, const iLS_item* columnRecord,
                           bool selected) {
    const iLS_item* cell = nullptr;
    const iLS_item* row = nullptr;
    if (item != nullptr) {
        if (column == 0) {
            cell = item;
        } else if (column > 0 && static_cast<std::size_t>(column - 1) < item->subItems.size()) {
            cell = item->subItems[static_cast<std::size_t>(column - 1)].get();
        }
        row = item->rowStyle.get();
    }
    const iLS_item* candidates[3] = {Pick(cell, selected), Pick(row, selected),
                                     Pick(columnRecord, selected)};
    ResolvedStyle out;
    bool textBlocked = false;
    bool backBlocked = false;
    for (const iLS_item* c : candidates) {
        if (c == nullptr) continue;
        if (!out.text && !textBlocked && (c->flags & kStyleTextColour)) out.text = c->textColour;
        if (!out.back && !backBlocked && (c->flags & kStyleBackColour)) out.back = c->backColour;
        if (c->flags & kStyleNoLowerText) textBlocked = true;
        if (c->flags & kStyleNoLowerBack) backBlocked = true;
        if (c->fontStyle) {
            // Each record's font differs from the plain base font only in the bits it
            // sets, so merging the descriptions adds those bits up.
            out.fontBits |= c->flags & kStyleFontMask;
            out.hasFont = true;
        }
    }
    return out;
}

}  // namespace cindral
