// Storage browser module: the list of removable drives and the storage figures of a
// mounted file system (directory listings join it later).
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

// Rebuilds the drive list: every entry of "/media" that does not start with ".", is not an
// internal partition ("mmcblk3p1", "mmcblk3p2"), is a directory and has a device node of
// the same name under "/dev"; names cut to 15 characters, in directory order. Returns the
// number of drives. GUI thread only.
int Browser_Refresh_Drvs();
int Browser_GetDrvsLen();
// Name of drive `index` ("sda1", "mmcblk1p1"), nullptr when out of range.
const char* Browser_GetDrvName(int index);
