// Fetching the manifest's detached signature file from an update server; the update run
// hands the text to VerifyManifestSignature (crypto/manifest_signature.h).
#pragma once

#include <string>

#include "common/types.h"

// The signature file's text with trailing white space removed; empty when it could not
// be fetched or its body is empty or longer than 256 bytes.
std::string FetchSignatureText(const WideString& url);
