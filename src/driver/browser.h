// Storage browser module: storage figures of a mounted file system (the drive list and
// directory listings join it later).
#pragma once

#include <cstdint>

struct BrowserStorageStat {
    uint64_t total; // bytes: blocks x fragment size
    uint64_t free;  // bytes: free blocks x fragment size (reserved blocks count as free)
};

// Figures of the file system holding `path` ("/media/..." paths lie under the sysroot).
// Returns 0, -1 when the path does not exist, -2 when the file system cannot be queried.
int Browser_StorageStat(const char* path, BrowserStorageStat* out);

// Test seam: the figures of an existing path come from `hook` instead of statvfs (a
// temporary folder cannot be made 90 % full). nullptr restores statvfs.
using BrowserStorageStatHook = int (*)(const char* path, BrowserStorageStat* out);
void Browser_SetStorageStatHook(BrowserStorageStatHook hook);
