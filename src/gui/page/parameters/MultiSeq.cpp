#include "MultiSeq.h"

#include "debug.h"

#include <algorithm>

namespace MultiSeq {

namespace {
const Command kTable[kCommands] = {
    {"  No Operation", false, 0, 0},  {"  Fastening", true, 0, 15},
    {"  End", false, 0, 0},           {"  Delay (10ms)", true, 0, 999},
    {"  Select preset", true, 1, 15}, {"  Loosening (0.1 turn)", true, 0, 999},
    {"  Jump", true, 1, 10},          {"  Count Value = A", true, 0, 999},
    {"  Sub if (A)", false, 0, 0},
};

// What the log calls the argument of a command whose range can be left.
const char* fieldOf(int command) {
    switch (command) {
    case 1:
        return "fastening value";
    case 4:
        return "preset number";
    case 6:
        return "jump";
    default:
        return "argument";
    }
}
} // namespace

const Command& CommandOf(int code) {
    return kTable[code >= 0 && code < kCommands ? code : 0];
}

int StepRegister(int program, int step) {
    if (program < 1 || program > kPrograms || step < 0 || step >= kSteps) return -1;
    return (program - 1) * kSteps + kFirstRegister + step;
}

QString StepTitle(int step) {
    return QString("Step.%1").arg(step + 1);
}

Step Decode(int value) {
    Step s;
    const int code = value / 1000, arg = value % 1000;
    if (value < 0 || code >= kCommands) {
        DBG_ERR("invalid command, %d", value);
        return s; // No Operation
    }
    s.command = code;
    const Command& c = kTable[code];
    if (!c.hasArgument) return s;
    s.argument = arg;
    if (arg < c.lowest || arg > c.highest) {
        DBG_ERR("invalid %s, %d", fieldOf(code), arg);
        s.argument = c.lowest;
    }
    return s;
}

int Encode(int command, int argument) {
    const Command& c = CommandOf(command);
    const int code = command >= 0 && command < kCommands ? command : 0;
    if (!c.hasArgument) return code * 1000;
    return code * 1000 + std::clamp(argument, c.lowest, c.highest);
}

Step WithCommand(const Step& step, int command) {
    Step s;
    s.command = command >= 0 && command < kCommands ? command : 0;
    const Command& c = kTable[s.command];
    if (c.hasArgument)
        s.argument =
            step.argument >= c.lowest && step.argument <= c.highest ? step.argument : c.lowest;
    return s;
}

} // namespace MultiSeq
