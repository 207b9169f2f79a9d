// The manifest's detached ECDSA P-256 signature, checked against the compiled-in keys.
#pragma once

#include <string>

#include "common/types.h"

// True when signature (128 hex digits of raw r||s) is valid for the SHA-256 of every
// byte of manifest under the first or, failing that, the second compiled-in key.
// Keys are decoded and imported afresh on every call.
bool VerifyManifestSignature(const std::string& manifest, const std::string& signature);
