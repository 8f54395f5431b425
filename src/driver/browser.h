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

// ---- directory listing ----

struct BrowserItem {
    char name[256];    // entry name, NUL-terminated
    uint32_t isDir;    // 1 for a directory
    uint32_t size;     // bytes, from the entry's own status (links not followed)
    uint32_t selected; // 1 when the operator selected the entry
};

// Rebuilds the directory and file lists of `path` ("/media/..." under the sysroot):
// hidden entries skipped, entries whose status cannot be read left out, both lists
// sorted byte-wise. Returns 0, or -1 (logged) with both lists empty.
int Browser_Refresh_DirAndFiles(const char* path);
// Rebuilds the selection: selected directories, then selected files, in listing order.
int Browser_Refresh_SelectedItems();
// Byte-wise order of the names (qsort style).
int Browser_SortItem_ByName(const void* a, const void* b);
int Browser_GetDirsLen();
int Browser_GetFilesLen();
int Browser_GetSelsLen();
// Records of the current lists, nullptr when out of range. The pointers live until the
// next refresh.
BrowserItem* Browser_GetDir(int index);
BrowserItem* Browser_GetFile(int index);
const BrowserItem* Browser_GetSel(int index);
// 0 when the path exists (links not followed), else -1.
int Browser_CheckExist(const char* path);

// ---- file operations ----
// No shell is involved. A location is a drive root ("./files", "/media/sda1") and a
// folder inside it given as names joined with "/" ("" is the root itself). Every folder
// is opened below the root without following symbolic links, and names holding "/" or
// being "." or ".." are refused, so no operation can leave the root.

enum BrowserResult {
    BROWSER_OK = 0,
    BROWSER_BAD_NAME = -1, // empty, too long, "/" inside, "." or ".."
    BROWSER_EXISTS = -2,   // the target name is taken
    BROWSER_NO_SPACE = -3, // the drive filled up; nothing is left under the final name
    BROWSER_INSIDE = -4,   // a folder copied or moved into itself
    BROWSER_NOT_FOUND = -5,
    BROWSER_BAD_PATH = -6, // a folder of the location is missing, not a folder or a link
    BROWSER_IO = -7,       // any other system failure
};

// Test seam: every rename of the file operations goes through `hook` (renameat2's
// arguments) instead of the system call, so that a file system refusing the flags can be
// played on tmpfs. nullptr restores renameat2.
using BrowserRenameHook = int (*)(int fromDir, const char* from, int toDir, const char* to,
                                  unsigned flags);
void Browser_SetRenameHook(BrowserRenameHook hook);

int Browser_MakeDir(const char* root, const char* dir, const char* name);
int Browser_Rename(const char* root, const char* dir, const char* oldName, const char* newName);
// Removes a file, a link (never its target) or a folder with everything in it.
int Browser_Remove(const char* root, const char* dir, const char* name);
// Copies `name` from one location to the same name in another (folders recursively, links
// as links). Each file is written under a hidden temporary name, synced, then renamed.
int Browser_Copy(const char* srcRoot, const char* srcDir, const char* name, const char* dstRoot,
                 const char* dstDir);
// Renames across folders; across file systems it copies, then removes the source.
int Browser_Move(const char* srcRoot, const char* srcDir, const char* name, const char* dstRoot,
                 const char* dstDir);
