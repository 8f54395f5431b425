// A driver's parameter data file without I/O: the register blocks read before a save, the
// order and form of the lines written from the register image, the default file name, and
// the line-by-line check of a file being loaded with what each line asks the tool to do.
// Plain C++ (no Qt) so the parser's fuzz target builds without the GUI.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ParamFile {
struct Block {
    int Start, Count;
};
// The 35 blocks read before a save, in their order.
const std::vector<Block>& ReadBlocks();
// Read too for a driver with transducer (type 3).
constexpr Block Type3Block{355, 5};
// The barcode window: 5000 selects an entry, 5001..5003 and 5007..5038 hold it, 5006 := 1
// commits it.
constexpr int BarcodeEntries = 30;
constexpr int BarcodeSelect = 5000;
constexpr int BarcodeCommit = 5006;
constexpr Block BarcodeBlocks[] = {{5001, 3}, {5007, 32}};
// A line of the barcode window: 5000, 5001..5003, 5006 and 5007..5038.
bool BarcodeLine(int address);
// Lines longer than this are refused.
constexpr int MaxLine = 1000;

// "1.23.4" from 1234.
std::string VersionText(uint16_t version);
// "<tool>_<model text>_FW<x.y.z>.csv".
std::string DefaultName(const std::string& tool, const std::string& modelText, uint16_t version);

// The file's three header lines (each ending "\n").
std::string Header(int32_t type, uint32_t model, uint16_t version);
// Register addresses written from the image, in file order (type 3 adds 355..359).
std::vector<int> Registers(int32_t type);
// "A%04d,%d\n".
std::string Line(int address, uint16_t value);
// Entry `entry` of the barcode window: select, the entry's registers from `image`, commit.
std::string BarcodeLines(int entry, const std::function<uint16_t(int)>& image);

// How a load ends.
enum class End { Done, Invalid, Mismatch, Communication, OpenFail };
std::string Message(End end);

// One line of a file being loaded, judged.
struct Step {
    enum Kind { Keep, Write, Skip, Invalid, Mismatch } Kind = Keep;
    int Address = 0;
    uint16_t Value = 0;
};

// Feeds the file's lines in order (without their "\n"); the caller writes each Write step
// and stops at the first Invalid or Mismatch.
class Loader {
  public:
    Loader(int32_t type, uint32_t model, bool barcodeOnly);
    Step Feed(const std::string& line);

  private:
    Step header(const std::string& line);
    int32_t type_;
    uint32_t model_;
    bool barcodeOnly_;
    int line_ = 0;
    std::vector<bool> carried_; // by address: a line a file of this tool type may hold
};
} // namespace ParamFile
