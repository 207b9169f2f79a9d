// Where a release lies on an update server (platform-free). The update run fetches from
// these paths; tolbex-publish release writes the same layout and check reads it.
#pragma once

#include <string>

// The folder under a server's root that holds a release: the manifest, its signature
// and every listed file, each under its own name.
inline constexpr char kUpdateFolderName[] = "update";
inline constexpr char kManifestFileName[] = "manifest.json";
inline constexpr char kSignatureFileName[] = "manifest.sig";

// The path of one file of the release on a server, for appending to the server's base
// URL (which has no trailing '/'): "manifest.json" gives "/update/manifest.json", and ""
// gives "/update/", the start of every such path.
inline std::string UpdateFilePath(const std::string& name) {
    return "/" + std::string(kUpdateFolderName) + "/" + name;
}
