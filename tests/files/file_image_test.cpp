#include "files/file_image.h"

#include <gtest/gtest.h>

namespace stanset {
namespace {

TEST(RecordList, RoundTripAndTheShapesAFileMayHold) {
    TRawImage image(4, 8);
    image.Counts = {3, 0, 8, 1};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < image.Counts[i]; ++k) image.Block(i)[k] = static_cast<std::uint8_t>(10 * i + k);
    TFileImage file(100);
    ASSERT_TRUE(PutRecordList(file, image, 4));
    EXPECT_EQ(file.Length, 4 + 3 + 0 + 8 + 1);

    TRawImage back(4, 8);
    ASSERT_TRUE(TakeRecordList(file, back, 4));
    EXPECT_EQ(back.Bytes, image.Bytes);
    EXPECT_EQ(back.Counts, image.Counts);

    struct Case {
        std::vector<std::uint8_t> payload;
        int count;
        bool ok;
    } cases[] = {
        {{}, 4, true},                      // no section: every record empty
        {{2, 7, 7}, 3, true},               // fewer records than read back: the rest empty
        {{1, 5, 9, 9, 9}, 1, true},         // bytes behind the last record are ignored
        {{3, 1, 2}, 1, false},              // cut short
        {{9, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 1, false},  // longer than the slot
        {{0, 0, 0, 0, 0}, 5, false},        // more records than slots
    };
    for (const auto& c : cases) {
        TFileImage f(100);
        ASSERT_TRUE(f.Assign(c.payload));
        TRawImage target(4, 8);
        target.Counts[0] = 5;
        EXPECT_EQ(TakeRecordList(f, target, c.count), c.ok) << c.payload.size();
        if (!c.ok) {
            EXPECT_EQ(target.Counts[0], 5) << "untouched";
        }
    }
}

TEST(RecordList, APayloadLargerThanTheFileImageIsRefused) {
    TRawImage image(3, 255);
    image.Counts = {255, 255, 255};
    TFileImage small(500);
    EXPECT_FALSE(PutRecordList(small, image, 3));
    EXPECT_EQ(small.Length, 0);
}

}  // namespace
}  // namespace stanset
