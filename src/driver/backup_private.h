// Backup internals shared by its files: the module's state, the folders a load works in,
// and the helpers that making, checking and swapping have in common. backup.cpp makes and
// loads archives, backup_check.cpp checks their members, backup_swap.cpp swaps a load in
// and finishes a swap that was cut off.
#pragma once

#include "backup.h"

#include <archive.h>
#include <archive_entry.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* BACKUP_FILES = "./files";
// Staging and old-data folders live inside ./files so the swap is a rename on one file
// system; as hidden entries they are neither archived nor swapped.
inline constexpr const char* BACKUP_STAGING = "./files/.p2p-restore";
inline constexpr const char* BACKUP_LOG = "log";
inline constexpr size_t BACKUP_BLOCK = 64 * 1024;

struct BackupCtx {
    std::atomic<uint64_t> maxMembers{200000};
    std::atomic<uint64_t> maxBytes{4ull << 30};
    std::atomic<int> last{-1};
    std::atomic<int> cutAfter{-1}; // test hook: renames a swap makes before its "power cut"
};
extern BackupCtx backupCtx; // backup.cpp

// ---- folders (backup.cpp) ----
// Removes a tree without following links (no shell, no "rm -r").
void Backup_RemoveTree(const std::string& path);
// Entries directly in `dir`, sorted, without "." and "..".
std::vector<std::string> Backup_ListDir(const std::string& dir);
void Backup_SyncDir(const std::string& dir);

// ---- checks (backup_check.cpp) ----
// One member's name and type; its path below ./files goes to `rel`. A BackupResult.
int Backup_CheckEntry(archive_entry* e, char* rel, size_t relSize);
// `rel` is ./files/log or below it.
bool Backup_IsLogMember(const char* rel);
// Walks every header of an opened archive: names, types, count and size limits.
int Backup_CheckArchive(archive* a, BackupStats* stats);
// A reader of plain tar archives.
archive* Backup_OpenReader();
// Opens the archive file for `a`; a BackupResult, with the descriptor in `fd` (-1 when none).
int Backup_OpenArchiveFile(archive* a, const std::string& path, int& fd);

// ---- the swap (backup_swap.cpp) ----
// What Backup_SwapIn answers when the test's cut stopped it: nothing is cleaned up.
inline constexpr int BACKUP_SWAP_CUT = -1;
// Every visible entry of ./files but "log" goes to the old-data folder, then every staged
// entry takes its place, each phase under its mark; a failed rename puts everything back.
// A swap cut off in between is finished at the next start (Backup_Recover).
int Backup_SwapIn();
