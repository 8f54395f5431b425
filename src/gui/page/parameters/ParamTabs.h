// What the multi-sequence, network and barcode tabs tell the operator alike.
#pragma once

namespace ParamTabs {
constexpr const char* kWriteFailed = "Failed to write to the tool.";
constexpr const char* kReadFailed = "Failed to read from the tool.";
} // namespace ParamTabs
