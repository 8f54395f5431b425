// Replay driver for the fuzz targets in the normal build: feeds every seed of the
// target's corpus folder, then a deterministic series of generated and mutated inputs.
// Usage: fuzz_x [count] [files...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
std::vector<std::string> seeds;

void loadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (in)
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint64_t rng = 0x9E3779B97F4A7C15ull;
uint64_t next() {
    rng ^= rng << 13;
    rng ^= rng >> 7;
    rng ^= rng << 17;
    return rng;
}
} // namespace

int main(int argc, char** argv) {
    long count = argc > 1 ? atol(argv[1]) : 10000;
    for (int i = 2; i < argc; ++i)
        loadFile(argv[i]);
    std::string self = argv[0];
    std::string name = self.substr(self.rfind('/') + 1);
    std::string dir = std::string(KEST_FUZZ_CORPUS) + "/" + name;
    std::error_code ec; // no corpus folder: generated inputs only
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.path().filename().string()[0] != '.') loadFile(e.path());
    for (const auto& s : seeds)
        LLVMFuzzerTestOneInput((const uint8_t*)s.data(), s.size());
    std::vector<uint8_t> buf;
    for (long i = 0; i < count; ++i) {
        if (!seeds.empty() && (next() % 4) != 0) {
            const std::string& s = seeds[next() % seeds.size()];
            buf.assign(s.begin(), s.end());
            int edits = 1 + int(next() % 8);
            for (int k = 0; k < edits; ++k) {
                switch (next() % 4) {
                case 0:
                    if (!buf.empty()) buf[next() % buf.size()] = uint8_t(next());
                    break;
                case 1:
                    buf.insert(buf.begin() + long(buf.empty() ? 0 : next() % buf.size()),
                               uint8_t(next()));
                    break;
                case 2:
                    if (!buf.empty()) buf.erase(buf.begin() + long(next() % buf.size()));
                    break;
                default:
                    if (!buf.empty()) buf.resize(next() % (buf.size() + 1));
                    break;
                }
            }
        } else {
            buf.resize(next() % 2048);
            for (auto& b : buf)
                b = uint8_t(next());
        }
        LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    printf("%s: %zu seeds, %ld generated inputs, no crash\n", name.c_str(), seeds.size(), count);
    return 0;
}
