// Installing into InstallDir from the compiled-in update servers, in order.
#pragma once

// True at the first server whose run put every file of its release in place and after
// which the launcher exists in InstallDir; logs "[installer] via %s niet gelukt" for each
// server that failed. A failed run leaves InstallDir as it was, so the next server starts
// from the same folder.
bool InstallFromServers();
