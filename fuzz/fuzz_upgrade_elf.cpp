// Fuzz target: the ELF header check of an upgrade file.
#include "upgrade.h"

#include <elf.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const UpgradeElfId self{ELFCLASS64, ELFDATA2LSB, EM_X86_64};
    int rc = Upgrade_CheckElf(data, size, self);
    if (rc == UPGRADE_OK && (size < EI_NIDENT + 4 || data[EI_CLASS] != ELFCLASS64 ||
                             data[EI_NIDENT + 2] != EM_X86_64 || data[EI_NIDENT + 3] != 0))
        __builtin_trap();
    return 0;
}
