// The manifest's detached ECDSA P-256 signature, checked against the compiled-in keys.
#pragma once

#include <string>

#include "common/types.h"

// The signature file's text with trailing white space removed; empty when it could not
// be fetched or its body is empty or longer than 256 bytes.
std::string FetchSignatureText(const WideString& url);

// True when signature (128 hex digits of raw r||s) is valid for the SHA-256 of every
// byte of manifest under the first or, failing that, the second compiled-in key.
// Keys are decoded and imported afresh on every call.
bool VerifyManifestSignature(const std::string& manifest, const std::string& signature);
