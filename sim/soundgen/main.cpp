// soundgen: writes the panel's three sounds as small 16-bit mono wave files.
// usage: soundgen DIR   (the committed copies live in data/sound)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr uint32_t kRate = 16000;

struct Tone {
    double freq; // Hz; 0 = silence
    double ms;
};

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// Tones back to back, each with a short fade in and out so they do not click.
std::vector<uint8_t> render(const std::vector<Tone>& tones, double amplitude) {
    std::vector<uint8_t> samples;
    for (const Tone& t : tones) {
        uint32_t n = uint32_t(t.ms * kRate / 1000.0);
        uint32_t fade = kRate / 400; // 2.5 ms
        for (uint32_t i = 0; i < n; ++i) {
            double env = 1.0;
            if (i < fade) env = double(i) / fade;
            if (n - i < fade) env = double(n - i) / fade;
            double v = t.freq > 0 ? std::sin(2 * M_PI * t.freq * i / kRate) * env * amplitude : 0;
            put16(samples, uint32_t(int16_t(std::lround(v * 32767))) & 0xffff);
        }
    }
    std::vector<uint8_t> wav;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    put32(wav, uint32_t(36 + samples.size()));
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(wav, 16);
    put16(wav, 1); // PCM
    put16(wav, 1); // mono
    put32(wav, kRate);
    put32(wav, kRate * 2); // bytes per second
    put16(wav, 2);         // block align
    put16(wav, 16);        // bits per sample
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    put32(wav, uint32_t(samples.size()));
    wav.insert(wav.end(), samples.begin(), samples.end());
    return wav;
}

int writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        perror(path.c_str());
        return -1;
    }
    size_t n = fwrite(bytes.data(), 1, bytes.size(), f);
    if (fclose(f) != 0 || n != bytes.size()) {
        perror(path.c_str());
        return -1;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        fprintf(stderr, "usage: soundgen DIR\nwrites tab.wav, ok.wav and ng.wav into DIR\n");
        return argc == 2 ? 0 : 2;
    }
    std::string dir = argv[1];
    int rc = 0;
    // Start-up: a rising three-note chime.
    rc |= writeFile(dir + "/tab.wav", render({{880, 90}, {1175, 90}, {1568, 160}}, 0.5));
    // OK and key tap: one short bright blip (played twice for an OK result).
    rc |= writeFile(dir + "/ok.wav", render({{2000, 60}, {0, 20}}, 0.5));
    // NG: a low buzz.
    rc |= writeFile(dir + "/ng.wav", render({{330, 180}, {0, 30}}, 0.6));
    return rc ? 1 : 0;
}
