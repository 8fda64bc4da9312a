// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "qelkit/strings/data_buffer.h"
#include "qelkit/strings/field_writer.h"
#include "qelkit/strings/qel_string_collection.h"
#include "tests/output_capture.h"

namespace {

TEST(FieldWriter, WritesRecordedFieldsTabSeparatedAndGrowsShortRecords) {
    const struct {
        std::vector<int> indexes;
        std::string expected;
        int entriesAfter;
    } cases[] = {{{2, 0}, "c\ta", 3}, {{}, "", 3}, {{0, 5}, "a\t", 6}};
    for (const auto& c : cases) {
        QelStringCollection fields;
        fields.split("a,b,c", QelStringCollection::noStrip, ',');
        FieldWriter writer;
        for (int i : c.indexes) writer.addFieldIndex(i);
        std::ostringstream out;
        writer.write(out, fields);
        EXPECT_EQ(out.str(), c.expected);
        EXPECT_EQ(fields.entries(), c.entriesAfter);
    }
}

// Appends `total` bytes in pieces of `piece` bytes to blocks of 16 and checks size, text, the
// number of blocks (a block is added only for a byte that needs it) and clear().
TEST(DataBuffer, KeepsEveryByteAcrossBlockBoundaries) {
    const unsigned cases[][2] = {{0, 1}, {15, 3}, {16, 16}, {17, 1}, {645, 7}, {640, 100}};
    for (const auto& c : cases) {
        const unsigned total = c[0], piece = c[1];
        std::string expected;
        for (unsigned i = 0; i < total; ++i) expected.push_back(static_cast<char>(i % 251));
        DataBuffer buf(16);
        for (unsigned at = 0; at < total; at += piece)
            buf.append(expected.data() + at, std::min(piece, total - at));
        EXPECT_EQ(buf.size(), total);
        EXPECT_EQ(buf.empty(), total == 0);
        EXPECT_EQ(buf.toString(), RWCString(expected)) << total << "/" << piece;
        buf.newItem();  // size() now counts every earlier block as full
        EXPECT_EQ(buf.size(), total == 0 ? 16 : (total + 15) / 16 * 16) << total;
        buf.clear();
        EXPECT_TRUE(buf.empty() && buf.size() == 0);
    }
}

TEST(DataBuffer, FillAppendsCountsAndZeroSizedBlocksHoldNothing) {
    DataBuffer buf(4), none(0);  // none cannot hold a byte; it must not loop
    buf.append("abcd", 4);
    for (int count : {0, -1, 3}) buf.append('x', count);
    none.append("abc", 3);
    none.append('z', 5);
    EXPECT_EQ(buf.toString(), "abcdxxx");
    EXPECT_TRUE(none.empty());
}

TEST(CheckString, ReportsCapacityMismatchOnStandardError) {
    QelString roomy("abc");
    roomy.capacity(32);
    int exact = 0, differs = 1;
    EXPECT_EQ(output_capture::cerrOf([&] {
                  exact = checkString("tag", QelString("abc")), differs = checkString("tag", roomy);
              }),
              "String capacity mismatch (tag): 32, 3 = abc\n");
    EXPECT_EQ(exact, 1);
    EXPECT_EQ(differs, 0);
}

}  // namespace
