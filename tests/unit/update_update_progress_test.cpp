// The share of a release received: equal parts per file, bytes against the announced
// length within a file, and a file's part full only once the file is complete.
#include "update/update_progress.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kLargestBody = 256ull * 1024 * 1024 - 1;

TEST(ReleaseShare, EqualPartsPerFileAndBytesWithinAFile) {
    struct Case {
        std::size_t index, files;
        std::uint64_t received, announced;
        std::uint32_t share;
    } const cases[] = {
        {0, 4, 0, 0, 0},
        {0, 4, 0, 100, 0},
        {1, 4, 50, 100, 375},
        {3, 4, 99, 100, 997},
        {4, 4, 0, 0, kProgressFull},
        {1, 3, 0, 0, 333},
        {2, 3, 0, 0, 666},
        {3, 3, 0, 0, kProgressFull},
        // No length announced: the file's part stays empty until the file is complete.
        {1, 2, 123456, 0, 500},
        // A body at its end, or a server sending more than it announced, is not yet a
        // complete file: only the checked end fills the part.
        {0, 1, 100, 100, kProgressFull - 1},
        {0, 2, 500, 100, 499},
        {0, 1, kLargestBody - 1, kLargestBody, 999},
        // Nothing listed counts as everything received.
        {0, 0, 0, 0, kProgressFull},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReleaseShare(c.index, c.files, c.received, c.announced), c.share)
            << c.index << " of " << c.files << ", " << c.received << "/" << c.announced;
    }
}

// Walking a release byte range by byte range, the share never goes back, also across
// the end of one file and the start of the next, and ends full.
TEST(ReleaseShare, NeverGoesBackAcrossARelease) {
    const std::uint64_t lengths[] = {1000, 0, 64, 7, 300000};
    const std::size_t files = sizeof lengths / sizeof lengths[0];
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < files; ++i) {
        const std::uint64_t length = lengths[i] ? lengths[i] : 500;
        for (std::uint64_t got = 0; got <= length; got += 1 + length / 97) {
            const std::uint32_t share = ReleaseShare(i, files, got, lengths[i]);
            EXPECT_GE(share, last) << i << " at " << got;
            last = share;
        }
        const std::uint32_t done = ReleaseShare(i + 1, files, 0, 0);
        EXPECT_GE(done, last) << "after file " << i;
        last = done;
    }
    EXPECT_EQ(last, kProgressFull);
}

}  // namespace
