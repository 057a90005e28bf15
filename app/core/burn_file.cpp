#include "burn_file.h"

#include <limits>

namespace cindral {

namespace {

class LineReader {
  public:
    explicit LineReader(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    std::string_view Next() {
        std::size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
        std::string_view line = data_.substr(start, pos_ - start);
        if (pos_ < data_.size()) {
            if (data_[pos_] == '\r' && pos_ + 1 < data_.size() && data_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
        }
        return line;
    }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// ":LLAAAATT..." with record type 01.
bool IsEndRecord(std::string_view record) {
    return record.size() >= 9 && record[7] == '0' && record[8] == '1';
}

}  // namespace

bool BurnSection::Complete() const {
    if (count <= 0) return true;
    if (static_cast<long long>(images.size()) < count) return false;
    for (const BurnImage& image : images)
        if (!image.hasEndRecord) return false;
    return true;
}

long long ParseCountValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::vector<BurnSection> ParseBurnFile(std::string_view data) {
    std::vector<BurnSection> sections;
    LineReader reader(data);
    while (!reader.AtEnd()) {
        if (!StartsWith(reader.Next(), "[Burn]")) continue;
        BurnSection section;
        std::string_view countLine = reader.AtEnd() ? std::string_view() : reader.Next();
        std::size_t eq = countLine.find('=');
        std::string_view value =
            eq == std::string_view::npos ? countLine : countLine.substr(eq + 1);
        section.countGiven = !value.empty();
        section.count = ParseCountValue(value);
        if (!reader.AtEnd()) reader.Next();

        // The line that ends one image's records is the next image's header.
        std::string_view header;
        bool haveHeader = false;
        for (long long i = 1; i <= section.count; ++i) {
            if (i == 1) {
                if (reader.AtEnd()) break;
                header = reader.Next();
                haveHeader = true;
            }
            if (!haveHeader) break;
            BurnImage image;
            image.header = std::string(header);
            haveHeader = false;
            while (!reader.AtEnd()) {
                std::string_view line = reader.Next();
                if (!StartsWith(line, ":")) {
                    header = line;
                    haveHeader = true;
                    break;
                }
                image.records.append(line);
                image.records.push_back('\r');
                if (IsEndRecord(line)) image.hasEndRecord = true;
            }
            section.images.push_back(std::move(image));
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

}  // namespace cindral
