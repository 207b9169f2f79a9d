// The download part of an installation: the compiled-in update servers, one after the
// other, until one of them has delivered the launcher.
#include "update/install_servers.h"

#include "common/install_names.h"
#include "common/path_rules.h"
#include "deployment_data.h"
#include "location/install_dir.h"
#include "log/log.h"
#include "update/update_run.h"

namespace {

// The deployment's two servers, in the order they are tried. No path and no trailing
// "/": the run appends "/update/..." directly.
constexpr const wchar_t* kUpdateServerList[] = {TOLBEX_UPDATE_SERVER_1, TOLBEX_UPDATE_SERVER_2};

// Success needs both: this run committed every file of its release (filesChanged is set
// only then; a run that failed anywhere changed nothing), and the launcher is there
// afterwards. A launcher left by an earlier install does not make a failed run count.
// An installation writes whatever release the server has (apply), even one of the
// version the installer counts as installed or an older one (force).
bool ServerDelivered(const WideString& server, const UpdateProgress* progress) {
    const UpdateResult result =
        RunUpdate(server, InstallDir, /*apply=*/true, /*force=*/true, progress);
    // PathExists counts a failing status query as absent: the next server is tried.
    return result.filesChanged && PathExists(LauncherPathIn(InstallDir));
}

}  // namespace

bool InstallFromServers(const UpdateProgress* progress) {
    for (const wchar_t* server : kUpdateServerList) {
        if (ServerDelivered(server, progress))
            return true;
        LogLine(L"[installer] via %s niet gelukt", server);
    }
    return false;
}
