// The bytes of the test report installer.txt; pure, so it is tested natively.
#pragma once

#include <string>

#include "common/types.h"

// What the test run found out, in the order of the report's lines.
struct TestReportValues {
    WideString map;         // InstallDir as stored
    bool fout = false;      // validation refused the folder
    bool eigenMap = false;  // IsOwnFolder(InstallDir) after the installation
    bool gelukt = false;    // accepted and installed
};

// The four lines "map=", "fout=ja|nee", "eigen_map=0|1", "gelukt=0|1", each ended by
// CR LF, one byte per character. Example for D:\Test:
//   "map=D:\Test\Tolbex\r\nfout=nee\r\neigen_map=1\r\ngelukt=1\r\n".
// Characters U+0000..U+00FF become the byte of the same value (ISO-8859-1). A character
// beyond that has no byte of its own and is written as '?' (a surrogate pair, one
// character, gives one '?'), so the report keeps all four lines whatever the folder.
// Every LF becomes CR LF, as a text-mode stream writes it, also one inside the folder.
std::string TestReportText(const TestReportValues& values);
