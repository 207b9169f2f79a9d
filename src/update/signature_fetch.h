// Fetching the manifest's detached signature file from an update server; the update run
// hands the text to VerifyManifestSignature (crypto/manifest_signature.h).
#pragma once

#include <string>

#include "common/types.h"
#include "net/http_get.h"

// The signature file's text with trailing white space removed; empty when it could not
// be fetched or its body is empty or longer than 256 bytes.
std::string FetchSignatureText(const WideString& url);

// The same, with why the GET failed or came cut short in failure (net/http_get.h); a
// body that was fetched whole but is empty or too long leaves failure at kNone.
std::string FetchSignatureText(const WideString& url, FetchFailure& failure);
