// How far a release's downloads have come, as a share of the whole (platform-free).
#include "update/update_progress.h"

std::uint32_t ReleaseShare(std::size_t index, std::size_t files, std::uint64_t received,
                           std::uint64_t announced) {
    if (files == 0 || index >= files)
        return kProgressFull;
    // Within the file first, so the products stay far below 2^64: a body is at most
    // 256 MiB, and index * kProgressFull is small for any list a manifest can hold.
    std::uint64_t within = 0;
    if (announced > 0) {
        const std::uint64_t capped = received < announced ? received : announced;
        within = capped * kProgressFull / announced;
        if (within >= kProgressFull)
            within = kProgressFull - 1;
    }
    const std::uint64_t share =
        (static_cast<std::uint64_t>(index) * kProgressFull + within) / files;
    return static_cast<std::uint32_t>(share);
}
