// Replay driver for the fuzz targets in the normal build: feeds every seed of the
// target's corpus folder, then a deterministic series of generated and mutated inputs.
// Usage: fuzz_x [count] [files...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
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
std::mt19937_64 rng; // default seed: every run replays the same inputs
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
        if (!seeds.empty() && (rng() % 4) != 0) {
            const std::string& s = seeds[rng() % seeds.size()];
            buf.assign(s.begin(), s.end());
            int edits = 1 + int(rng() % 8);
            for (int k = 0; k < edits; ++k) {
                switch (rng() % 4) {
                case 0:
                    if (!buf.empty()) buf[rng() % buf.size()] = uint8_t(rng());
                    break;
                case 1:
                    buf.insert(buf.begin() + long(buf.empty() ? 0 : rng() % buf.size()),
                               uint8_t(rng()));
                    break;
                case 2:
                    if (!buf.empty()) buf.erase(buf.begin() + long(rng() % buf.size()));
                    break;
                default:
                    if (!buf.empty()) buf.resize(rng() % (buf.size() + 1));
                    break;
                }
            }
        } else {
            buf.resize(rng() % 2048);
            for (auto& b : buf)
                b = uint8_t(rng());
        }
        LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    printf("%s: %zu seeds, %ld generated inputs, no crash\n", name.c_str(), seeds.size(), count);
    return 0;
}
