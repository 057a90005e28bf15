// Lots, their serial numbers and the record of every chip, in one schema that
// SQLite and PostgreSQL share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "database.h"
#include "serial_place.h"

namespace cindral::lots {

struct Lot {
    std::int64_t id = 0;
    std::string name;
    std::string created;
    std::string burnFileName;  // as given at creation, for people to read
    std::string sha256;        // of the stored burn file
    SerialPlace place;
    std::int64_t first = 0, last = 0, next = 0;
};

// One chip and attempt.
struct Record {
    std::int64_t id = 0;
    std::string lot;
    std::int64_t serial = 0;
    std::string time, station, adapter;
    std::string chip;  // JSON object: the Device page's values, identity
    std::string trimCrc;
    std::string sha256;
    std::string result;  // "allocated" until the station reports back
    std::string message;
    std::string crc;  // JSON object: the CRCs after the burn
    std::optional<double> durationS;
};

struct Outcome {
    std::string result, message, chip, trimCrc, crc;
    std::optional<double> durationS;
};

struct LotStatus {
    std::int64_t burned = 0;      // result "ok"
    std::int64_t failed = 0;      // any other result a station reported
    std::int64_t unfinished = 0;  // allocated, never reported (a station that died)
    std::int64_t remaining = 0;   // never allocated
};

struct RecordFilter {
    std::optional<std::string> lot;
    std::optional<std::int64_t> serial;
    std::optional<std::string> since;  // ISO 8601 UTC, compared as text
};

inline constexpr const char* kAllocated = "allocated";

class LotStore {
  public:
    static constexpr int kSchemaVersion = 1;

    // Brings the schema up to date; every call below may throw DbError.
    explicit LotStore(Database& db);

    int SchemaVersion();
    // False with the reason when the name is taken.
    bool CreateLot(const Lot& lot, const std::string& burnFile, std::string& why);
    std::optional<Lot> FindLot(const std::string& name);
    std::optional<std::string> BurnFile(const std::string& sha256);

    struct Allocation {
        std::int64_t record = 0;
        std::int64_t serial = 0;
    };
    // Takes the lot's next serial and writes its "allocated" row in one
    // transaction: no serial is ever handed out twice. nullopt when the range
    // is used up.
    std::optional<Allocation> Allocate(const Lot& lot, const std::string& time,
                                       const std::string& station, const std::string& adapter);
    void Finish(std::int64_t record, const Outcome& outcome);

    LotStatus Status(const Lot& lot);
    std::vector<Record> Records(const RecordFilter& filter);

  private:
    void Migrate();
    Database& db_;
};

}  // namespace cindral::lots
