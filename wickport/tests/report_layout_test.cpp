// Report descriptors as adapters give them, and the framing learnt from each.
#include "report_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace wickport {
namespace {

using Bytes = std::vector<uint8_t>;

// Descriptor pieces: a vendor collection around main items.
Bytes Open() {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
}
Bytes Id(uint8_t id) {
    return {0x85, id};
}
// REPORT_SIZE 8, REPORT_COUNT n, then Input / Output / Feature (Data, Var, Abs).
Bytes Main(uint8_t tag, int count) {
    Bytes b = {0x75, 0x08};
    if (count > 255) {
        b.insert(b.end(), {0x96, uint8_t(count), uint8_t(count >> 8)});
    } else {
        b.insert(b.end(), {0x95, uint8_t(count)});
    }
    b.insert(b.end(), {0x09, 0x01, tag, 0x02});
    return b;
}
Bytes In(int n) {
    return Main(0x81, n);
}
Bytes Out(int n) {
    return Main(0x91, n);
}
Bytes Feat(int n) {
    return Main(0xB1, n);
}
Bytes Close() {
    return {0xC0};
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Case {
    const char* name;
    Bytes descriptor;
    // Expected outcome; `error` non-empty means refused with that text.
    const char* error;
    bool numbered = false;
    int outId = 0, outSize = 0, inId = 0, inSize = 0;
    std::map<uint8_t, int> features = {};
};

TEST(ReportLayout, LearnsTheFramingOfEachDescriptor) {
    const Case cases[] = {
        {"unnumbered 64/64", Cat({Open(), In(64), Out(64), Close()}), "", false, 0, 64, 0, 64, {}},
        {"unnumbered with a feature report",
         Cat({Open(), In(64), Out(64), Feat(8), Close()}),
         "",
         false,
         0,
         64,
         0,
         64,
         {{0, 8}}},
        {"numbered, data on ids 1 (out) and 2 (in), controls and pin reports",
         Cat({Open(), Id(1), Out(64), Id(2), In(64), Id(0x40), Feat(1), Id(0x42), Feat(1), Id(0x49),
              Feat(4), Id(0x4A), Feat(1), Id(0x4B), Feat(2), Close()}),
         "",
         true,
         1,
         64,
         2,
         64,
         {{0x40, 1}, {0x42, 1}, {0x49, 4}, {0x4A, 1}, {0x4B, 2}}},
        {"numbered, one id for both directions",
         Cat({Open(), Id(3), In(64), Out(64), Close()}),
         "",
         true,
         3,
         64,
         3,
         64,
         {}},
        {"numbered, a small status report beside the data report",
         Cat({Open(), Id(1), In(4), Id(2), In(64), Id(2), Out(64), Close()}),
         "",
         true,
         2,
         64,
         2,
         64,
         {}},
        {"65-byte reports carry a packet with a byte to spare",
         Cat({Open(), In(65), Out(65), Close()}),
         "",
         false,
         0,
         65,
         0,
         65,
         {}},
        {"an item split over two main items adds up",
         Cat({Open(), In(32), In(32), Out(64), Close()}),
         "",
         false,
         0,
         64,
         0,
         64,
         {}},
        {"reports too small for a packet", Cat({Open(), In(32), Out(32), Close()}),
         "no output report holds a 64-byte packet"},
        {"no input report", Cat({Open(), Out(64), Close()}), "no input report"},
        {"ids on some reports only", Cat({Open(), In(64), Id(2), Out(64), Close()}),
         "reports both with and without ids"},
        {"report id 0", Cat({Open(), Id(0), In(64), Out(64), Close()}), "report id outside 1..255"},
        {"unclosed collection", Cat({Open(), In(64), Out(64)}), "a collection is never closed"},
        {"stray end collection", Cat({In(64), Out(64), Close()}),
         "end of a collection that was never opened"},
        {"truncated item", Bytes{0x06, 0x00}, "item runs past the end of the descriptor"},
        {"truncated long item", Bytes{0xFE, 0x10, 0x00, 0x01},
         "long item runs past the end of the descriptor"},
        {"huge report", Cat({Open(), Main(0x81, 5000), Out(64), Close()}),
         "a report is larger than 4096 bytes"},
        {"empty", Bytes{}, "empty report descriptor"},
        {"garbage that parses as items", Bytes{0xFF, 0xFF, 0xFF, 0x13, 0x37}, "no output report"},
        {"garbage that does not", Bytes{0x13, 0x37, 0xFF, 0x00},
         "item runs past the end of the descriptor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        auto layout = ParseReportDescriptor(c.descriptor.data(), c.descriptor.size(), &why);
        if (*c.error) {
            EXPECT_FALSE(layout.has_value());
            EXPECT_EQ(why, c.error);
            continue;
        }
        ASSERT_TRUE(layout.has_value()) << why;
        EXPECT_FALSE(layout->assumed);
        EXPECT_EQ(layout->numbered, c.numbered);
        EXPECT_EQ(layout->output_id, c.outId);
        EXPECT_EQ(layout->output_size, c.outSize);
        EXPECT_EQ(layout->input_id, c.inId);
        EXPECT_EQ(layout->input_size, c.inSize);
        EXPECT_EQ(layout->features, c.features);
    }
}

TEST(ReportLayout, EveryPrefixOfADescriptorIsRefusedOrParsedWithoutHarm) {
    const Bytes full = Cat({Open(), Id(1), Out(64), Id(2), In(64), Id(0x49), Feat(4), Close()});
    for (size_t n = 0; n < full.size(); ++n) {
        std::string why;
        // Every cut before the end collection is unbalanced or truncated.
        EXPECT_FALSE(ParseReportDescriptor(full.data(), n, &why).has_value()) << n;
        EXPECT_FALSE(why.empty()) << n;
    }
}

TEST(ReportLayout, DescribesTheLayoutForTheProbe) {
    const Bytes numbered = Cat({Open(), Id(1), Out(64), Id(2), In(64), Id(0x49), Feat(4), Close()});
    auto layout = ParseReportDescriptor(numbered.data(), numbered.size(), nullptr);
    ASSERT_TRUE(layout);
    EXPECT_EQ(DescribeLayout(*layout),
              "numbered: output 0x01 (64 bytes), input 0x02 (64 bytes), features 0x49 (4)");
    EXPECT_EQ(DescribeLayout(AssumedLayout()),
              "assumed (no descriptor): output 0x00 (64 bytes), input 0x00 (64 bytes), features "
              "as sent");
}

// A feature transfer framed by each kind of layout, as both backends send it.
TEST(ReportLayout, FramesFeatureReportsByTheLayout) {
    ReportLayout numbered;
    numbered.numbered = true;
    numbered.features = {{0x49, 4}};
    ReportLayout unnumbered;
    unnumbered.features = {{0, 3}};
    const ReportLayout none;  // unnumbered, no feature report declared
    struct Row {
        const char* name;
        const ReportLayout& layout;
        Bytes report;
        Bytes frame;  // empty: refused
    } rows[] = {
        {"numbered, padded to its size", numbered, {0x49, 7}, {0x49, 7, 0, 0, 0}},
        {"numbered, unknown id", numbered, {0x4A, 1}, {}},
        {"numbered, too long", numbered, {0x49, 1, 2, 3, 4, 5}, {}},
        {"numbered, trailing zeros fit", numbered, {0x49, 1, 0, 0, 0, 0, 0}, {0x49, 1, 0, 0, 0}},
        {"unnumbered, id carried as data", unnumbered, {0x49, 7}, {0, 0x49, 7, 0}},
        {"unnumbered, too long", unnumbered, {0x49, 1, 2, 3}, {}},
        {"no feature report", none, {0x49, 7}, {}},
        {"assumed, as sent", AssumedLayout(), {0x49, 7}, {0x49, 7}},
    };
    for (const Row& row : rows) {
        Bytes frame;
        std::string why;
        const bool ok = FrameFeatureReport(row.layout, row.report.data(),
                                           static_cast<int>(row.report.size()), &frame, &why);
        EXPECT_EQ(ok, !row.frame.empty()) << row.name;
        if (ok) {
            EXPECT_EQ(frame, row.frame) << row.name;
        } else {
            EXPECT_FALSE(why.empty()) << row.name;
        }
        // The adapter's echo of that frame gives the caller's bytes back.
        if (!ok) continue;
        Bytes back(row.report.size(), 0xEE);
        ASSERT_TRUE(UnframeFeatureReport(row.layout, row.report[0], frame, back.data(),
                                         static_cast<int>(back.size()), &why))
            << row.name << ": " << why;
        EXPECT_EQ(back, row.report) << row.name;
        // A reply to another report is refused.
        Bytes other = frame;
        other[row.layout.numbered || row.layout.assumed ? 0 : 1] ^= 0xFF;
        EXPECT_FALSE(UnframeFeatureReport(row.layout, row.report[0], other, back.data(),
                                          static_cast<int>(back.size()), &why))
            << row.name;
        EXPECT_NE(why.find("answered as"), std::string::npos) << row.name;
    }
}

}  // namespace
}  // namespace wickport
