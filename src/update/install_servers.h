// Installing into InstallDir from the compiled-in update servers, in order.
#pragma once

#include "update/update_progress.h"

// True at the first server whose run put every file of its release in place and after
// which the launcher exists in InstallDir; logs "[installer] via %s niet gelukt" for each
// server that failed. A failed run leaves InstallDir as it was, so the next server starts
// from the same folder. progress, when given, hears each server's run in turn (see
// update_progress.h): a run that reaches its files starts its count at 0 again.
bool InstallFromServers(const UpdateProgress* progress = nullptr);
