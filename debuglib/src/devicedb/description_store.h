// The description store: text key/value lists of the older families, looked
// up on the list selected for the connected family.
#pragma once

#include <cstdint>

#include "devicedb/device_tables.h"

namespace ordwin {

class DescriptionStore {
  public:
    static constexpr int kTextSize = 256;

    // Selects the family's list. Families 14, 17 and 19 to 48 have none and
    // are accepted without one; any other family without a list is refused
    // with 0x8100002e.
    int SelectFamily(int familyCode);
    bool HasList() const { return list_ != nullptr; }

    // Keys are matched without regard to letter case. Without a selected
    // list every lookup fails with 0x8100002d.
    int HasKey(const char* key, bool* present) const;
    // Copies the value (cut to fit, always terminated); 0x8100002e when the
    // key is missing.
    int GetText(const char* key, char (&text)[kTextSize]) const;
    // GetText, then the value read as hexadecimal.
    int GetHex(const char* key, uint32_t* value) const;

    // The lists themselves, for checks over the whole store.
    static const devicedb::StorePair* ListOf(int familyCode);

  private:
    const devicedb::StorePair* Find(const char* key) const;

    const devicedb::StorePair* list_ = nullptr;
    int count_ = 0;
};

}  // namespace ordwin
