// The texts of the error codes a tool keeps in its error list (registers 341 to 348), as
// the monitor's error tab shows them.
#pragma once

#include <QString>
#include <cstdint>

namespace ToolErrorTexts {
// The text of a code; "None" for 0, "Undefined error code" for a code not in the table.
QString Text(int32_t code);
} // namespace ToolErrorTexts
