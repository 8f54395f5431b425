#include "ParamFile.h"

#include <cstdio>

namespace ParamFile {
namespace {
std::vector<Block> makeBlocks() {
    std::vector<Block> b;
    for (int k = 0; k < 15; ++k)
        b.push_back({1 + 15 * k, 15});
    b.insert(b.end(), {{238, 13}, {253, 7}, {261, 6}, {321, 20}});
    for (int k = 0; k < 15; ++k)
        b.push_back({500 + 15 * k, 15});
    b.push_back({725, 1});
    return b;
}

std::string trimEnd(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t' || s[n - 1] == '\r' || s[n - 1] == '\n'))
        --n;
    return s.substr(0, n);
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        const size_t at = s.find(sep, from);
        out.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return out;
        from = at + 1;
    }
}

// A whole decimal number without sign or blanks inside, at most `max`; -1 otherwise.
long long decimal(const std::string& text, long long max) {
    const std::string t = trimEnd(text);
    if (t.empty() || t.size() > 10) return -1;
    long long v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v <= max ? v : -1;
}
} // namespace

const std::vector<Block>& ReadBlocks() {
    static const std::vector<Block> blocks = makeBlocks();
    return blocks;
}

std::string VersionText(uint16_t v) {
    return std::to_string(v / 1000) + "." + std::to_string((v % 1000) / 10) + "." +
           std::to_string(v % 10);
}

std::string DefaultName(const std::string& tool, const std::string& modelText, uint16_t version) {
    return tool + "_" + modelText + "_FW" + VersionText(version) + ".csv";
}

std::string Header(int32_t type, uint32_t model, uint16_t version) {
    std::string out = "Driver Parameter data file,\n";
    if (type == 2)
        out += "Driver model,ZQ-" + std::to_string(model) + "\n";
    else if (type == 3)
        out += "Driver model,ZQT-" + std::to_string(model) + "\n";
    else
        out += "Driver model,Unknown\n";
    out += "Firmware version," + VersionText(version) + "\n";
    return out;
}

std::vector<int> Registers(int32_t type) {
    std::vector<int> out;
    auto range = [&](int from, int to) {
        for (int a = from; a <= to; ++a)
            out.push_back(a);
    };
    range(1, 225);
    range(238, 250);
    range(253, 259);
    range(261, 266);
    range(321, 340);
    if (type == 3) range(Type3Block.Start, Type3Block.Start + Type3Block.Count - 1);
    range(500, 725);
    return out;
}

std::string Line(int address, uint16_t value) {
    char buf[32];
    snprintf(buf, sizeof buf, "A%04d,%u\n", address, unsigned(value));
    return buf;
}

bool BarcodeLine(int a) {
    if (a == BarcodeSelect || a == BarcodeCommit) return true;
    for (const Block& b : BarcodeBlocks)
        if (a >= b.Start && a < b.Start + b.Count) return true;
    return false;
}

std::string BarcodeLines(int entry, const std::function<uint16_t(int)>& image) {
    std::string out = Line(BarcodeSelect, uint16_t(entry));
    for (const Block& b : BarcodeBlocks)
        for (int a = b.Start; a < b.Start + b.Count; ++a)
            out += Line(a, image(a));
    out += Line(BarcodeCommit, 1);
    return out;
}

std::string Message(End end) {
    switch (end) {
    case End::Done:
        return {};
    case End::Invalid:
        return "Invalid data file.";
    case End::Mismatch:
        return "Driver model mismatch.";
    case End::Communication:
        return "Communication fail.";
    case End::OpenFail:
        return "File open fail.";
    }
    return {};
}

Loader::Loader(int32_t type, uint32_t model, bool barcodeOnly)
    : type_(type), model_(model), barcodeOnly_(barcodeOnly) {
    // Only the lines a save writes, so a file can set no command register (motor start,
    // unlock) nor a register the tool type lacks. A barcode-only load takes any driver's
    // file and skips its other lines, a transducer driver's ones too.
    const int last = BarcodeBlocks[1].Start + BarcodeBlocks[1].Count - 1;
    carried_.assign(size_t(last) + 1, false);
    for (int a : Registers(barcodeOnly ? 3 : type))
        carried_[size_t(a)] = true;
    for (int a : {251, 252, 260})
        carried_[size_t(a)] = true;
    for (int a = BarcodeSelect; a <= last; ++a)
        carried_[size_t(a)] = BarcodeLine(a);
}

Step Loader::Feed(const std::string& raw) {
    ++line_;
    if (raw.size() > size_t(MaxLine)) return {Step::Invalid};
    if (line_ <= 3) return header(raw);
    if (raw.empty() || raw[0] != 'A') return {Step::Invalid};
    const std::vector<std::string> f = split(raw.substr(1), ',');
    if (f.size() < 2) return {Step::Invalid};
    // Addresses and values are what a Modbus register holds; anything else is not a file
    // this panel wrote, and is refused rather than cut to 16 bits.
    const long long addr = decimal(f[0], 65535);
    const long long value = decimal(f[1], 65535);
    if (addr < 1 || value < 0) return {Step::Invalid};
    if (size_t(addr) >= carried_.size() || !carried_[size_t(addr)]) return {Step::Invalid};
    Step s{Step::Write, int(addr), uint16_t(value)};
    // 251, 252 and 260 stay the tool's own (260 is the torque unit the panel reads at
    // connection).
    if (addr == 251 || addr == 252 || addr == 260) s.Kind = Step::Skip;
    if (barcodeOnly_ && addr < BarcodeSelect) s.Kind = Step::Skip;
    return s;
}

Step Loader::header(const std::string& raw) {
    const std::string line = trimEnd(raw);
    if (line_ == 1) return {line == "Driver Parameter data file," ? Step::Keep : Step::Invalid};
    if (line_ == 3) return {line.rfind("Firmware version", 0) == 0 ? Step::Keep : Step::Invalid};
    const std::vector<std::string> f = split(line, ',');
    if (trimEnd(f[0]) != "Driver model") return {Step::Invalid};
    if (barcodeOnly_) return {};
    if (f.size() < 2) return {Step::Mismatch};
    const std::vector<std::string> m = split(trimEnd(f[1]), '-');
    const int32_t type = m[0] == "ZQ" ? 2 : m[0] == "ZQT" ? 3 : 0;
    if (type == 0 || type != type_ || m.size() < 2) return {Step::Mismatch};
    const long long model = decimal(m[1], 0xffffffffLL);
    if (model < 0 || uint32_t(model) != model_) return {Step::Mismatch};
    return {};
}
} // namespace ParamFile
