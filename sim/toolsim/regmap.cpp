#include "regmap.h"

#include <cstring>

namespace toolsim {

int regScrewCount(uint8_t type) {
    return (type == 1 || type == 4) ? 247 : 262;
}
int regTorqueUnit(uint8_t type) {
    return (type == 1 || type == 4) ? 252 : 260;
}
int regDataOutput(uint8_t type) {
    return (type == 1 || type == 4) ? 277 : 259;
}
int eventModulus(uint8_t type) {
    return (type == 1 || type == 4) ? 100 : 65032;
}

namespace {

struct Param {
    uint16_t def, lo, hi;
};

void set(uint16_t* h, int r, Param p) {
    h[r] = p.def;
    h[r + 1000] = p.lo;
    h[r + 2000] = p.hi;
}

// Fastening block offsets 1..15 of a preset.
const Param kPresetBlock[15] = {{0, 0, 1},     {150, 10, 800},    {100, 50, 150}, {0, 0, 30000},
                                {0, 0, 30000}, {30000, 0, 30000}, {30, 0, 800},   {700, 50, 2000},
                                {0, 0, 3600},  {700, 50, 2000},   {50, 0, 1000},  {70, 0, 100},
                                {30, 0, 1000}, {300, 50, 2000},   {100, 50, 150}};

// Tool settings 238..266 of the drivers.
const Param kDriverSettings[29] = {
    {0, 0, 1},  {0, 0, 600},     {0, 0, 15},     {0, 0, 1},         {10, 0, 99},    {10, 0, 99},
    {3, 0, 99}, {800, 50, 2000}, {100, 0, 1000}, {0, 0, 99},        {100, 50, 150}, {1, 1, 15},
    {5, 0, 99}, {3, 0, 10},      {0, 0, 77},     {0, 0, 1000},      {0, 0, 1},      {0, 0, 99},
    {0, 0, 1},  {0, 0, 1},       {0, 0, 255},    {1, 0, 1},         {2, 0, 6},      {0, 0, 32767},
    {0, 0, 99}, {10, 0, 99},     {0, 0, 1},      {0x1FF, 0, 0x1FF}, {0, 0, 1000}};

bool isParam(int r) {
    return (r >= 1 && r <= 225) || (r >= 238 && r <= 266) || (r >= 268 && r <= 281) ||
           (r >= 319 && r <= 340) || (r >= 355 && r <= 359) || (r >= 500 && r <= 725);
}

struct Range {
    int first, last;
    uint16_t lo, hi;
};
// Command and window registers: accepted value ranges.
const Range kCommandRanges[] = {{4001, 4001, 0, 1},  {4003, 4003, 0, 1},  {4004, 4004, 1, 15},
                                {4005, 4005, 0, 2},  {4015, 4015, 0, 2},  {4016, 4016, 0, 1},
                                {4100, 4100, 0, 1},  {4101, 4102, 0, 8},  {4103, 4103, 1, 4},
                                {4104, 4104, 1, 3},  {5000, 5000, 0, 29}, {5001, 5001, 0, 15},
                                {5002, 5003, 0, 32}, {5007, 5038, 0, 255}};

} // namespace

void putText(uint16_t* regs, int count, const std::string& text) {
    for (int i = 0; i < count; i++) {
        const size_t a = 2 * static_cast<size_t>(i);
        const uint8_t hi = a < text.size() ? static_cast<uint8_t>(text[a]) : 0;
        const uint8_t lo = a + 1 < text.size() ? static_cast<uint8_t>(text[a + 1]) : 0;
        regs[i] = static_cast<uint16_t>((hi << 8) | lo);
    }
}

std::string getText(const uint16_t* regs, int count) {
    std::string s;
    for (int i = 0; i < count; i++) {
        const char hi = static_cast<char>(regs[i] >> 8), lo = static_cast<char>(regs[i] & 255);
        if (!hi) break;
        s += hi;
        if (!lo) break;
        s += lo;
    }
    return s;
}

void fillDefaults(uint8_t type, uint32_t ip, uint16_t port, uint16_t* h) {
    std::memset(h, 0, sizeof(uint16_t) * kRegCount);
    for (int p = 0; p < 15; p++) {
        for (int k = 0; k < 15; k++) {
            Param v = kPresetBlock[k];
            if (k == 1) v.def = static_cast<uint16_t>(150 + 20 * p); // target torque
            set(h, p * 15 + 1 + k, v);
            Param adv{0, 0, 2000};
            if (k == 1) adv.hi = 99;
            if (k == 8) adv.hi = 100;
            if (k == 14) adv.hi = 1;
            set(h, 500 + p * 15 + k, adv);
        }
    }
    for (int i = 0; i < 29; i++)
        set(h, 238 + i, kDriverSettings[i]);
    if (type == 1 || type == 4) {
        set(h, 247, {0, 0, 99}); // screw count
        set(h, 252, {2, 0, 6});  // torque unit
        set(h, 277, {1, 0, 1});  // data output, written 0 by the panel
    }
    set(h, kRegNetMode, {1, 0, 1});
    for (int i = 0; i < 4; i++) {
        const uint16_t octet = static_cast<uint16_t>((ip >> (24 - 8 * i)) & 255);
        set(h, kRegNetIp + i, {octet, 0, 255});
        set(h, kRegNetMask + i, {static_cast<uint16_t>(i < 3 ? 255 : 0), 0, 255});
        if (type != 1 && type != 4)
            set(h, kRegNetGateway + i, {static_cast<uint16_t>(i < 3 ? octet : 1), 0, 255});
    }
    if (type == 1 || type == 4)
        for (int i = 1; i < 4; i++)
            set(h, kRegNetGateway + i, {0, 0, 255});
    set(h, kRegNetPort, {port, 1, 65535});
    putText(h + kRegSsid, 16, "KESTNET");
    putText(h + kRegPsk, 16, "12345678");
    set(h, 319, {0, 0, 99});
    set(h, 320, {1234, 0, 9999});
    for (int r = 321; r <= 340; r++)
        set(h, r, {0, 0, 8999});
    const Param crow[5] = {{0, 0, 1}, {100, 1, 999}, {100, 1, 100}, {0, 0, 800}, {100, 50, 2000}};
    for (int i = 0; i < 5; i++)
        set(h, 355 + i, crow[i]);
    set(h, 725, {0, 0, 1});
    h[kRegPreset] = 1;
    h[kRegCurveCh1] = 1;
    h[kRegCurveSampling] = 2;
    h[kRegCurveDirection] = 1;
}

int checkWrite(uint8_t /*type*/, int addr, uint16_t value, const uint16_t* h) {
    if (addr < 0 || addr >= kRegCount) return 2;
    if (addr >= 1000 && addr < 4000) return 2; // limits, counters, input-only status
    if (addr >= kRegErrors && addr < kRegErrors + 8) return 2;
    if (addr < 1000) {
        if (!isParam(addr)) return 0;
        return (value < h[addr + 1000] || value > h[addr + 2000]) ? 3 : 0;
    }
    for (const auto& r : kCommandRanges)
        if (addr >= r.first && addr <= r.last) return (value < r.lo || value > r.hi) ? 3 : 0;
    return 0;
}

} // namespace toolsim
