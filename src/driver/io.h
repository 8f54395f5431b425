// Digital inputs and outputs: 16 of each on sysfs GPIO lines. Inputs are watched for
// edges on the GPIO worker and posted to the GUI as "input" events.
#pragma once

#include <cstdint>

constexpr int IO_PORT_COUNT = 16;
constexpr int IO_INPUT_FUNC_COUNT = 16; // 0 none, 1..15
constexpr int IO_OUTPUT_FUNC_COUNT = 9; // 0 none, 1..8

enum IoOutputFunc {
    IO_OUT_NONE = 0,
    IO_OUT_FASTEN_OK = 1,
    IO_OUT_FASTEN_NG = 2,
    IO_OUT_STEP_OK = 3,
    IO_OUT_STEP_NG = 4,
    IO_OUT_JOB_OK = 5,
    IO_OUT_JOB_NG = 6,
    IO_OUT_READY = 7,
    IO_OUT_ALARM = 8
};

enum IoEdge { IO_EDGE_NONE = 0, IO_EDGE_RISING = 1, IO_EDGE_FALLING = 2, IO_EDGE_BOTH = 3 };

// sysfs GPIO numbers by position 0..15.
extern const uint32_t gpio_out_no[IO_PORT_COUNT];
extern const uint32_t gpio_in_no[IO_PORT_COUNT];
// The extra line exported as an output at start-up.
constexpr uint32_t GPIO_EXTRA_OUT = 110;

// Names of the functions as the screens show them ("" for none or out of range).
const char* Io_InputFuncName(int func);
const char* Io_OutputFuncName(int func);

// Exports and configures every line and installs the input watches on the GPIO worker
// (Threads_Init must have run). Returns 0.
int Gpio_Init();
// Writes "1\n" or "0\n" to the output's value file and remembers the level. Returns 0,
// or -1 for a bad position or a failed write.
int set_gpio_out_val(int position, int level);
// The level last written to an output (0 for a bad position).
int get_gpio_out_val(int position);
// Re-reads an input's value file; returns (and remembers) the value, -1 on failure.
int get_gpio_in_val(int position);
// Writes "none", "rising", "falling" or "both" (edge 0..3) to the line's edge file.
int set_gpio_edge(uint32_t gpio, int edge);
// True when the inputs are watched through inotify (a simulated, non-sysfs tree).
bool Gpio_IsSimulated();
