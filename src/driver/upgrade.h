// Software upgrade: a new program file replaces the running one only when it is an
// executable of this machine's architecture, was copied whole and starts (its copy answers
// "--version" as this program does, within a time limit). The copy goes beside the program
// (".zqcapp.upgrade" in the program's folder), is synced, the current program is kept as
// "zqcapp.prev" (the service's launcher falls back to it) and rename(2) puts the new one in
// place, so the panel never has a missing or half-written program. While the fallback runs
// (zqcapp.prev, because zqcapp did not start), zqcapp.prev stays as it is: it is the one
// program known to start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum UpgradeResult {
    UPGRADE_OK = 0,
    UPGRADE_ERR_OPEN = 1,    // the chosen file cannot be read
    UPGRADE_ERR_FORMAT = 2,  // not an ELF executable
    UPGRADE_ERR_ARCH = 3,    // an executable of another machine (class, byte order, machine)
    UPGRADE_ERR_COPY = 4,    // the copy beside the program could not be written or synced
    UPGRADE_ERR_SIZE = 5,    // the copy's size differs from the file's
    UPGRADE_ERR_REPLACE = 6, // keeping zqcapp.prev or the final rename failed
    UPGRADE_ERR_START = 7,   // the copy does not start as this program (its "--version")
};

// The ELF identity of the running program (class, data, machine), read once from
// /proc/self/exe. 0, or -1 when it cannot be read.
struct UpgradeElfId {
    uint8_t elfClass; // ELFCLASS32 or ELFCLASS64
    uint8_t data;     // ELFDATA2LSB or ELFDATA2MSB
    uint16_t machine; // e_machine
};
int Upgrade_SelfId(UpgradeElfId* out);
// Checks the first bytes of a file against `self`: ELF magic, version, class, byte
// order, an executable or position-independent type, and the machine. An UpgradeResult.
int Upgrade_CheckElf(const uint8_t* head, size_t len, const UpgradeElfId& self);

// The program file an upgrade replaces: ZQCAPP_PROGRAM when set (the launcher exports it),
// else the running program (a running "zqcapp.prev" stands for "zqcapp" beside it).
// Tests set it.
void Upgrade_SetProgramPath(const char* path); // nullptr returns to the default
std::string Upgrade_ProgramPath();

// Why the running program is the launcher's fallback (KEST_FALLBACK, or a running
// "zqcapp.prev" without it); empty when it is not.
std::string Upgrade_FallbackReason();

// Installs `file` as the program. An UpgradeResult; on failure the program is unchanged
// and no copy is left behind.
int Upgrade_Install(const char* file);
// Test hook: the copy stops after `bytes` bytes as if the source ended there (-1 = never).
void Upgrade_SetCopyCutAfter(long bytes);
