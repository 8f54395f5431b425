// Multi-sequence programs of a driver: program q (from 1) owns ten step registers, each
// holding command x 1000 + argument. The command table with its argument ranges, and the
// decoding that turns whatever the tool holds into something the screen can show.
#pragma once

#include <QString>

namespace MultiSeq {

constexpr int kPrograms = 2; // 321..340; the error codes follow at 341
constexpr int kSteps = 10;
constexpr int kFirstRegister = 321;
constexpr int kCommands = 9; // codes 0..8

struct Command {
    const char* label;
    bool hasArgument;
    int lowest, highest; // argument range (0, 0 without an argument)
};
// The command of `code`, 0..8; codes outside fall back to "No Operation".
const Command& CommandOf(int code);

// Register of step `step` (0..9) of program `program` (from 1); -1 outside.
int StepRegister(int program, int step);
QString StepTitle(int step); // "Step.1" .. "Step.10"

struct Step {
    int command = 0;
    int argument = 0;
};
// A register value as the screen shows it: a command of 9 or more is "No Operation", an
// argument outside its command's range the lowest of the range, each with a log line
// naming the field and the value.
Step Decode(int value);
// The value written for a command and argument (the argument clamped into its range).
int Encode(int command, int argument);
// The step after choosing `command`: its argument kept when the range allows, else the
// lowest of the range.
Step WithCommand(const Step& step, int command);

} // namespace MultiSeq
