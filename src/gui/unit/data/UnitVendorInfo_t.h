// The vendor information text (at most 127 characters are kept).
#pragma once

#include <QString>

struct UnitVendorInfo_t {
    QString Text;
};
