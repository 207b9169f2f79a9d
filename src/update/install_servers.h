// Installing into InstallDir from the compiled-in update servers, in order.
#pragma once

// True at the first server whose run wrote files and after which the launcher exists
// in InstallDir; logs "[installer] via %s niet gelukt" for each server that failed.
bool InstallFromServers();
