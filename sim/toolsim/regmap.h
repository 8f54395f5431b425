// The register map of a virtual tool: plausible parameter values with their limits at
// +1000 and +2000, the command and window registers, and the rule for refused writes.
#pragma once

#include <cstdint>
#include <string>

namespace toolsim {

constexpr int kRegCount = 6000;

// Register numbers the panel relies on.
enum Reg : int {
    kRegAlarmReset = 4000,
    kRegLock = 4001,
    kRegRemoteRun = 4003,
    kRegPreset = 4004,
    kRegDirection = 4005,
    kRegEventOutput = 4015,
    kRegAck = 4016,
    kRegCurveTrigger = 4100,
    kRegCurveCh1 = 4101,
    kRegCurveCh2 = 4102,
    kRegCurveSampling = 4103,
    kRegCurveDirection = 4104,
    kRegAutoLock = 264,
    kRegNewest = 2900,
    kRegDelivered = 2901,
    kRegSsid = 287,
    kRegPsk = 303,
    kRegErrors = 341,  // 341..348, most recent first
    kRegStatus = 3303, // 3303..3313
    kRegTemperature = 3313,
    kRegBcIndex = 5000,
    kRegBcPreset = 5001,
    kRegBcStart = 5002,
    kRegBcEnd = 5003,
    kRegBcClear = 5005,
    kRegBcStore = 5006,
    kRegBcCode = 5007, // 5007..5038
    kRegNetMode = 268,
    kRegNetIp = 269,
    kRegNetMask = 273,
    kRegNetGateway = 277,
    kRegNetPort = 281,
    kRegBackupFilter = 265,
    kRegPresetChangeByBarcode = 238,
};

// Registers whose number depends on the family.
int regScrewCount(uint8_t type);   // 247 controllers, 262 drivers
int regTorqueUnit(uint8_t type);   // 252 controllers, 260 drivers
int regDataOutput(uint8_t type);   // 277 controllers, 259 drivers (written 0 at connection)
constexpr int kRegParamInit = 252; // drivers: 77 initialises the parameters

// Event counters wrap at this modulus (number of distinct event numbers).
int eventModulus(uint8_t type); // 100 controllers, 65032 drivers

// Fills holding registers (and their limits) with the tool's defaults. `holding` has
// kRegCount entries. The network block is filled from ip and port.
void fillDefaults(uint8_t type, uint32_t ip, uint16_t port, uint16_t* holding);
// Text coded two characters per register, first character in the high byte.
void putText(uint16_t* regs, int count, const std::string& text);
std::string getText(const uint16_t* regs, int count);

// Modbus exception code for a write of `value` to holding register `addr` (0 = accepted):
// 2 (illegal address) for read-only or unknown registers, 3 (illegal value) for a value
// outside the register's limits or command range.
int checkWrite(uint8_t type, int addr, uint16_t value, const uint16_t* holding);

} // namespace toolsim
