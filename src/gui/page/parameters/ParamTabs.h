// What the three tool tabs (multi-sequence, network, barcode) share: whether the current
// tool can be edited here, and the notice shown over a tab when it cannot.
#pragma once

#include <QString>

namespace ParamTabs {
// Empty for a current driver (types 2 and 3); else "Please select a tool." or, for the
// controller families, "Please use XWC's local LCD.". No register traffic without a tool.
QString Notice();
constexpr const char* kWriteFailed = "Failed to write to the tool.";
constexpr const char* kNoticeStyle = "font-size: 30px; font-weight: bold; color: #f2a71b;";
} // namespace ParamTabs
