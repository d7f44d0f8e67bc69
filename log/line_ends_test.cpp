#include "log/line_ends.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tt {
namespace {

struct Cut {
    std::vector<uint32_t> Ends;
    bool Stray = false;
    bool CrBefore = false;
    bool operator==(const Cut&) const = default;
};

// Byte by byte, as the definition reads: an LF counts while it follows a CR, and the first CR
// or LF that is not in a pair stops everything.
Cut Reference(const std::string& text, bool crBefore) {
    Cut cut;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool prevCr = i == 0 ? crBefore : text[i - 1] == '\r';
        if (text[i] == '\n') {
            if (!prevCr) {
                cut.Stray = true;
                return cut;
            }
            cut.Ends.push_back(static_cast<uint32_t>(i));
        } else if (prevCr) {
            cut.Stray = true;  // a CR not followed by its LF
            return cut;
        }
    }
    cut.CrBefore = !text.empty() && text.back() == '\r';
    return cut;
}

using Variant = size_t (*)(const char*, size_t, LineEndScan&, uint32_t*);

std::vector<std::pair<const char*, Variant>> Variants() {
    std::vector<std::pair<const char*, Variant>> v{{"portable", FindLineEndsPortable},
                                                   {"chosen", FindLineEnds}};
#if TT_LINE_ENDS_AVX2
    if (ProcessorHasAvx2()) v.emplace_back("avx2", FindLineEndsAvx2);
#endif
    return v;
}

Cut Scan(Variant find, const std::string& text, bool crBefore) {
    LineEndScan scan;
    scan.CrBefore = crBefore;
    std::vector<uint32_t> ends(kLineEndRoom);
    const size_t n = find(text.data(), text.size(), scan, ends.data());
    ends.resize(n);
    // A stopped scan leaves its carry undefined: only a full one hands it on.
    return Cut{ends, scan.Stray, scan.Stray ? false : scan.CrBefore};
}

TEST(FindLineEnds, EveryVariantCutsAsTheDefinitionOnRandomText) {
    std::mt19937 random(7);
    // From nearly all CR LF pairs to mostly stray ends, at every length up to a full stretch,
    // so that pairs and strays fall on every byte of a 64-byte block and across blocks.
    const char alphabet[] = {'a', '\t', '\r', '\n', '\0', '\xff'};
    for (int round = 0; round < 3000; ++round) {
        const size_t size = round < 200 ? static_cast<size_t>(round)
                                        : static_cast<size_t>(random() % (kLineEndStretch + 1));
        const int strayOdds = 1 + static_cast<int>(random() % 4000);
        std::string text;
        while (text.size() < size) {
            const unsigned r = random() % 16;
            if (r < 2) {
                text += "\r\n";
            } else if (static_cast<int>(random() % strayOdds) == 0) {
                text += alphabet[2 + random() % 2];
            } else {
                text += alphabet[random() % 6 == 0 ? 1 : (r % 2 ? 0 : 4 + random() % 2)];
            }
        }
        text.resize(size);
        // Stray bytes drawn from the alphabet too, where they were not asked for.
        for (char& c : text) {
            if ((c == '\0' || c == '\xff') && random() % 3 == 0) c = 'a';
        }
        const bool crBefore = random() % 5 == 0;
        const Cut expected = Reference(text, crBefore);
        for (const auto& [name, find] : Variants()) {
            ASSERT_EQ(Scan(find, text, crBefore), expected) << name << " round " << round;
        }
    }
}

TEST(FindLineEnds, PairsSplitBetweenStretchesAndBlockEdges) {
    for (const auto& [name, find] : Variants()) {
        // A CR at the end of one stretch and its LF at the start of the next.
        LineEndScan scan;
        uint32_t ends[kLineEndRoom];
        std::string first(63, 'x');
        first += '\r';
        EXPECT_EQ(find(first.data(), first.size(), scan, ends), 0u) << name;
        EXPECT_TRUE(scan.CrBefore) << name;
        EXPECT_FALSE(scan.Stray) << name;
        const std::string second = "\nab\r\n";
        ASSERT_EQ(find(second.data(), second.size(), scan, ends), 2u) << name;
        EXPECT_EQ(ends[0], 0u) << name;
        EXPECT_EQ(ends[1], 4u) << name;
        EXPECT_FALSE(scan.Stray) << name;

        // The same CR followed by anything else is stray at once, and an LF without its CR
        // right at a block edge.
        scan = LineEndScan{};
        scan.CrBefore = true;
        const std::string other = "a\r\n";
        EXPECT_EQ(find(other.data(), other.size(), scan, ends), 0u) << name;
        EXPECT_TRUE(scan.Stray) << name;
        std::string edge(128, 'y');
        edge[62] = '\r';
        edge[63] = '\n';
        edge[64] = '\n';
        scan = LineEndScan{};
        ASSERT_EQ(find(edge.data(), edge.size(), scan, ends), 1u) << name;
        EXPECT_EQ(ends[0], 63u) << name;
        EXPECT_TRUE(scan.Stray) << name;
    }
}

TEST(FindLineEnds, AStretchOfNothingButPairsFillsTheRoom) {
    std::string text;
    while (text.size() < kLineEndStretch) text += "\r\n";
    for (const auto& [name, find] : Variants()) {
        LineEndScan scan;
        std::vector<uint32_t> ends(kLineEndRoom);
        ASSERT_EQ(find(text.data(), text.size(), scan, ends.data()), kLineEndStretch / 2) << name;
        EXPECT_EQ(ends[kLineEndStretch / 2 - 1], kLineEndStretch - 1) << name;
        EXPECT_FALSE(scan.Stray) << name;
    }
}

}  // namespace
}  // namespace tt
