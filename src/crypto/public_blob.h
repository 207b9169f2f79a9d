// The form of a manifest public key (platform-free): the blob a deployment compiles in as
// 144 hex digits, which CNG imports as it stands, tolbex-publish keygen prints and
// tolbex-publish check reads.
#pragma once

#include <cstddef>
#include <cstdint>

// One coordinate of a P-256 point, and one half (r or s) of a raw signature.
inline constexpr std::size_t kP256CoordinateBytes = 32;

// "ECS1" (CNG's magic for an ECDSA P-256 public key), then the key length 32 as a
// little-endian 32-bit number.
inline constexpr std::uint8_t kPublicBlobHeader[] = {0x45, 0x43, 0x53, 0x31,
                                                     0x20, 0x00, 0x00, 0x00};

// The header, then X and Y, each big-endian: 72 bytes.
inline constexpr std::size_t kPublicBlobBytes = sizeof kPublicBlobHeader + 2 * kP256CoordinateBytes;
