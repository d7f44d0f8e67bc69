#include "base/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace tt {
namespace {

TEST(TextBuffer, GrowsKeepingItsBytesAndCopiesApart) {
    TextBuffer text;
    std::string expected;
    // Growth by appends and by unfilled extensions given back in part, past many reallocations.
    for (int i = 0; i < 2000; ++i) {
        const std::string piece = std::to_string(i) + "\r\n";
        text.append(piece);
        expected += piece;
        char* room = text.Extend(100);
        room[0] = static_cast<char>('a' + i % 26);
        text.Truncate(text.size() - 99);
        expected += static_cast<char>('a' + i % 26);
    }
    ASSERT_EQ(text.view(), expected);

    TextBuffer copy = text;
    copy.append("more");
    EXPECT_EQ(text.view(), expected);
    EXPECT_EQ(copy.view(), expected + "more");
    copy = text;
    EXPECT_EQ(copy.view(), expected);

    TextBuffer moved = std::move(copy);
    EXPECT_EQ(moved.view(), expected);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from buffer is empty
    copy.append("again");
    EXPECT_EQ(copy.view(), "again");

    text.Truncate(text.size() + 5);  // never grows
    EXPECT_EQ(text.size(), expected.size());
    text.clear();
    EXPECT_TRUE(text.empty());
}

}  // namespace
}  // namespace tt
