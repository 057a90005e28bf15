#include "compose_map.h"

namespace cindral {

namespace {
constexpr std::u16string_view kHeader = u"[Compose Map]";
// The header and its CR LF.
constexpr std::size_t kHeaderAndLineEnd = 15;
}  // namespace

bool ParseReportLine(std::u16string_view line, ComposeMapRow& row) {
    std::vector<std::u16string_view> tokens;
    std::size_t i = 0;
    while (tokens.size() < 5) {
        while (i < line.size() && line[i] == u' ') ++i;
        if (i >= line.size()) break;
        std::size_t start = i;
        while (i < line.size() && line[i] != u' ') ++i;
        tokens.push_back(line.substr(start, i - start));
    }
    if (tokens.empty()) return false;
    while (i < line.size() && line[i] == u' ') ++i;
    auto pair = [&](std::size_t a, const char16_t* joint, const char16_t* close) {
        std::u16string out;
        if (tokens.size() > a) out = tokens[a];
        if (tokens.size() > a + 1) {
            out += joint;
            out += tokens[a + 1];
            out += close;
        }
        return out;
    };
    row = ComposeMapRow{};
    row.map.fileName = std::u16string(tokens[0]);
    row.map.nvmRange = pair(1, u" .. ", u"");
    row.map.length = pair(3, u" (", u")");
    if (tokens.size() == 5) row.map.status = std::u16string(line.substr(i));
    row.conflict = row.map.status.find(u"Conflict") != std::u16string::npos;
    row.error = row.map.status.find(u"Error") != std::u16string::npos;
    return true;
}

std::vector<ComposeMapRow> ParseComposeMap(std::u16string_view text) {
    std::vector<ComposeMapRow> rows;
    std::size_t header = text.find(kHeader);
    if (header == std::u16string_view::npos) return rows;
    std::size_t pos = header + kHeaderAndLineEnd;
    while (pos < text.size()) {
        std::size_t lf = text.find(u'\n', pos);
        if (lf == std::u16string_view::npos) break;
        std::u16string_view line = text.substr(pos, lf - pos);
        pos = lf + 1;
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (line.empty() || line.find(u';') != std::u16string_view::npos) break;
        ComposeMapRow row;
        if (ParseReportLine(line, row)) rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace cindral
