// Backup and restore of the controller data: the contents of ./files as one plain tar
// archive (".p2p"), and the handler of the network queue's save and load messages.
//
// A save writes PATH.tmp beside the target, syncs it and renames it onto PATH. A load
// checks every member first, extracts into a staging folder inside ./files and swaps the
// staged entries in only when all of it was extracted; ./files/log is never touched and
// any failure leaves the data as it was. A swap cut off by a power cut or a kill (its mark
// "./files/.p2p-swap" tells) is finished at the next start, before anything reads ./files.
#pragma once

#include <cstddef>
#include <cstdint>

enum BackupResult {
    BACKUP_OK = 0,
    BACKUP_ERR_OPEN = 1,   // the archive or a data file cannot be opened or created
    BACKUP_ERR_READ = 2,   // not a tar archive, unreadable or truncated
    BACKUP_ERR_MEMBER = 3, // a member outside ./files, with "..", a link or a device
    BACKUP_ERR_LIMIT = 4,  // too many members, one too large or too much in all
    BACKUP_ERR_SPACE = 5,  // more than the free space beside ./files
    BACKUP_ERR_EMPTY = 6,  // no member below ./files at all
    BACKUP_ERR_WRITE = 7,  // writing the archive or the staged files failed
    BACKUP_ERR_SWAP = 8,   // putting the staged data in place failed (rolled back)
};
const char* Backup_ResultText(int result);

// What a checked archive holds.
struct BackupStats {
    uint64_t members;    // members below ./files (the folder itself and ./files/log not counted)
    uint64_t totalBytes; // their data
};
struct BackupLimits {
    uint64_t maxMembers;
    uint64_t maxBytes; // all members' data together
};
// Defaults: 200000 members, 4 GiB.
void Backup_SetLimits(const BackupLimits* limits); // nullptr restores the defaults
BackupLimits Backup_GetLimits();

// The path below ./files that an archive member names ("./files/job/a.job" -> "job/a.job",
// "./files/" -> ""), written to `rel` (NUL-terminated). 0, or -1 for a name outside
// ./files, absolute, with a ".." element, too long or with control characters.
int Backup_MemberPath(const char* name, char* rel, size_t relSize);
// Checks an archive held in memory as a load checks a file (member names and types,
// limits; no free-space test). Fills `stats` when given. A BackupResult.
int Backup_CheckBuffer(const void* data, size_t len, BackupStats* stats);

// Writes ./files (without any member named "log" and without hidden top-level entries)
// to `path`. A BackupResult; on failure no file is left at PATH.tmp and PATH is unchanged.
int Backup_Save(const char* path);
// Replaces ./files (all but ./files/log) with the archive's content. A BackupResult; on
// failure ./files is unchanged.
int Backup_Load(const char* path);

// Start-up, before anything reads ./files: a swap that was cut off is finished (its staged
// data was whole before the first rename), and staging or old data left without a swap
// under way is removed. 0, or -1 when the swap cannot be finished: its folders and mark
// stay for the next try, and a load refuses to run over them.
int Backup_Recover();
// Test hook: the swap of the loads that follow stops after `renames` renames and leaves
// everything as a power cut would (-1 = never).
void Backup_SetSwapCutAfter(int renames);

// Installs the network queue's handler for save and load messages (start-up, before the
// worker threads). The handler raises "processing" with the operation's BackupResult.
void Backup_Start();
// The message handler itself (runs on the network queue's worker).
void Backup_HandleNetMsg(int kind, const char* path);
// Result of the last save or load handled by the queue, -1 when none finished yet.
int Backup_LastResult();
