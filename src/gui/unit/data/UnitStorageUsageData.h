// Storage figures of a file system as texts: total, free and used in GB ("%.1f") and
// MB ("%.0f"), and the used percentage ("%.0f"). Empty texts: the path does not exist;
// null texts: the file system could not be queried.
#pragma once

#include <QString>

struct UnitStorageUsageData {
    QString TotalGB, FreeGB, UsedGB, TotalMB, FreeMB, UsedMB, UsedPercent;
};
