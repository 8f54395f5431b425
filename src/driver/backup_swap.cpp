// The swap that puts a load's staged data in place of ./files, and the recovery that
// finishes a swap a power cut or a kill stopped: the load's only steps that change ./files,
// kept together with the mark that tells the next start where one stopped.
#include "backup.h"

#include "backup_private.h"
#include "common.h"
#include "debug.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The data a swap moves out, kept until the staged data is in (hidden: never archived).
constexpr const char* kOld = "./files/.p2p-old";
// Present while a swap is under way: "1" while the entries of ./files move into kOld, "2"
// while the staged ones move in. Written only once the staging is whole and synced, so a
// start-up that finds it can always finish the swap.
constexpr const char* kSwapMark = "./files/.p2p-swap";

struct Moved {
    std::string from, to;
};
void undo(std::vector<Moved>& moved) {
    for (auto it = moved.rbegin(); it != moved.rend(); ++it)
        if (rename(it->to.c_str(), it->from.c_str()) != 0)
            DBG_ERR("rename %s back fail : %s", it->to.c_str(), strerror(errno));
    moved.clear();
}

// One swap's renames, recorded so a failure can put them back, and counted for the
// test's cut.
struct Swap {
    std::vector<Moved> moved;
    int renames = 0;
    bool cut = false; // the test's "power cut": stop here, leave everything as it is
    bool move(const std::string& from, const std::string& to) {
        const int cutAfter = backupCtx.cutAfter.load();
        if (cutAfter >= 0 && renames >= cutAfter) {
            cut = true;
            return false;
        }
        if (rename(from.c_str(), to.c_str()) != 0) {
            DBG_ERR("rename %s to %s fail : %s", from.c_str(), to.c_str(), strerror(errno));
            return false;
        }
        renames++;
        moved.push_back({from, to});
        return true;
    }
    // Every visible entry of ./files but "log" into the old-data folder.
    bool moveOut() {
        for (const std::string& n : Backup_ListDir(BACKUP_FILES)) {
            if (n[0] == '.' || n == BACKUP_LOG) continue;
            if (!move(std::string(BACKUP_FILES) + "/" + n, std::string(kOld) + "/" + n))
                return false;
        }
        Backup_SyncDir(BACKUP_FILES);
        Backup_SyncDir(kOld);
        return true;
    }
    // Every staged entry into ./files.
    bool moveIn() {
        for (const std::string& n : Backup_ListDir(BACKUP_STAGING))
            if (!move(std::string(BACKUP_STAGING) + "/" + n, std::string(BACKUP_FILES) + "/" + n))
                return false;
        Backup_SyncDir(BACKUP_FILES);
        return true;
    }
};

int markSwap(const char* phase) {
    if (Common_WriteFileAtomic(kSwapMark, phase, strlen(phase)) != 0) {
        DBG_ERR("write %s fail : %s", kSwapMark, strerror(errno));
        return -1;
    }
    return 0;
}
void unmarkSwap() {
    if (unlink(kSwapMark) != 0 && errno != ENOENT)
        DBG_ERR("remove %s fail : %s", kSwapMark, strerror(errno));
    Backup_SyncDir(BACKUP_FILES);
}

} // namespace

int Backup_SwapIn() {
    if (mkdir(kOld, 0700) != 0) {
        DBG_ERR("mkdir %s fail : %s", kOld, strerror(errno));
        return BACKUP_ERR_SWAP;
    }
    if (markSwap("1") != 0) return BACKUP_ERR_SWAP;
    Swap swap;
    bool ok = swap.moveOut() && markSwap("2") == 0 && swap.moveIn();
    if (swap.cut) return BACKUP_SWAP_CUT;
    if (!ok) {
        undo(swap.moved);
        Backup_SyncDir(BACKUP_FILES);
        unmarkSwap();
        return BACKUP_ERR_SWAP;
    }
    unmarkSwap();
    Backup_RemoveTree(kOld);
    return BACKUP_OK;
}

int Backup_Recover() {
    std::string phase;
    if (Common_ReadFile(kSwapMark, phase) == 0) {
        DBG_ERR("a load was cut off during its swap (phase %s) : finishing it", phase.c_str());
        if (mkdir(kOld, 0700) != 0 && errno != EEXIST) {
            DBG_ERR("mkdir %s fail : %s", kOld, strerror(errno));
            return -1;
        }
        Swap swap;
        if ((phase != "2" && (!swap.moveOut() || markSwap("2") != 0)) || !swap.moveIn()) {
            DBG_ERR("the cut-off load cannot be finished : %s and %s kept", kOld, BACKUP_STAGING);
            return -1;
        }
        unmarkSwap();
    }
    // Without a mark these are a cut extraction's staging or a finished swap's old data.
    Backup_RemoveTree(BACKUP_STAGING);
    Backup_RemoveTree(kOld);
    return 0;
}

void Backup_SetSwapCutAfter(int renames) {
    backupCtx.cutAfter = renames;
}
