#include "devicedb/description_store.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "ordwin.h"

namespace ordwin {
namespace {

int CompareKeys(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

// A known family without a list is described by the tables alone.
bool KnownFamily(int familyCode) {
    return familyCode >= 0 && static_cast<size_t>(familyCode) < devicedb::kFamilyTraitsCount;
}

}  // namespace

const devicedb::StorePair* DescriptionStore::ListOf(int familyCode) {
    for (const devicedb::StoreFamily* f = devicedb::kStoreFamilies; f->family != -1; ++f) {
        if (f->family == familyCode) return f->pairs;
    }
    return nullptr;
}

int DescriptionStore::SelectFamily(int familyCode) {
    list_ = ListOf(familyCode);
    count_ = 0;
    if (list_) {
        while (list_[count_].key) ++count_;
        return 0;
    }
    return KnownFamily(familyCode) ? 0 : ORDWIN_E_STORE_MISSING;
}

const devicedb::StorePair* DescriptionStore::Find(const char* key) const {
    // The lists are sorted by key ignoring case.
    int lo = 0;
    int hi = count_;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareKeys(list_[mid].key, key);
        if (c == 0) return &list_[mid];
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return nullptr;
}

int DescriptionStore::HasKey(const char* key, bool* present) const {
    if (!list_) return ORDWIN_E_NOT_IN_STORE;
    *present = key != nullptr && Find(key) != nullptr;
    return 0;
}

int DescriptionStore::GetText(const char* key, char (&text)[kTextSize]) const {
    if (!list_) return ORDWIN_E_NOT_IN_STORE;
    const devicedb::StorePair* pair = key ? Find(key) : nullptr;
    if (!pair) return ORDWIN_E_STORE_MISSING;
    std::snprintf(text, kTextSize, "%s", pair->value);
    return 0;
}

int DescriptionStore::GetHex(const char* key, uint32_t* value) const {
    char text[kTextSize];
    int result = GetText(key, text);
    if (result != 0) return result;
    unsigned parsed = 0;
    if (std::sscanf(text, "%x", &parsed) != 1) return ORDWIN_E_STORE_ACCESS;
    *value = parsed;
    return 0;
}

}  // namespace ordwin
