// A 4000 x 3000 JPEG loaded for display: EwLoadExternBitmap (scaled in the decoder to fit
// 1280 x 800) against QImage decoding the whole picture and scaling it afterwards, in the
// same run; Qt's reader with a requested size is shown too. Time is the median of
// BENCH_IMAGES loads (default 10) each; peak memory is the growth of the resident
// high-water mark over one load, each path in a child process of its own.
#include "ExternImage.h"
#include "debug.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
double nowMs() {
    using namespace std::chrono;
    return double(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()) /
           1e3;
}

long statusKb(const char* key) {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    size_t n = strlen(key);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, key, n) == 0) kb = atol(line + n + 1);
    fclose(f);
    return kb;
}

// One load in a fresh process (this program run as "<self> --peak <path index> <file>"):
// a fork of a running Qt process could inherit a held lock. Returns the growth of the
// child's peak resident size in kB, -1 on failure.
long peakKb(const char* self, int index, const std::string& file) {
    std::string cmd =
        std::string("'") + self + "' --peak " + std::to_string(index) + " '" + file + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    long grown = -1;
    if (fscanf(p, "%ld", &grown) != 1) grown = -1;
    pclose(p);
    return grown;
}

double medianMs(const std::function<QSize()>& load, int runs, QSize* size) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        double t0 = nowMs();
        *size = load();
        t.push_back(nowMs() - t0);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// A photograph-like picture: smooth gradients with fine grain, so it compresses as one.
bool writePhoto(const std::string& path) {
    QImage img(4000, 3000, QImage::Format_RGB32);
    uint32_t s = 1;
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            s = s * 1103515245u + 12345u;
            int g = int(s >> 28);
            row[x] = qRgb((x / 16 + g) & 255, (y / 12 + g) & 255, ((x + y) / 28 + g) & 255);
        }
    }
    return img.save(QString::fromStdString(path), "JPG", 90);
}
} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    Debug_SetQuiet(true);
    const int runs = std::max(1, getenv("BENCH_IMAGES") ? atoi(getenv("BENCH_IMAGES")) : 10);
    const bool child = argc == 4 && strcmp(argv[1], "--peak") == 0;
    char tmpl[] = "/tmp/kest-bench-image-XXXXXX";
    if (!child && !mkdtemp(tmpl)) return 1;
    const std::string path = child ? argv[3] : std::string(tmpl) + "/photo.jpg";
    if (!child && !writePhoto(path)) return 1;
    const QString file = QString::fromStdString(path);

    struct Path {
        const char* name;
        std::function<QSize()> load;
    };
    const Path paths[] = {
        {"EwLoadExternBitmap (decoder scale)", [&] { return EwLoadExternBitmap(file).size(); }},
        {"QImage load, then scale",
         [&] {
             return QImage(file)
                 .scaled(1280, 800, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                 .size();
         }},
        {"QImageReader with a requested size",
         [&] {
             QImageReader r(file);
             r.setScaledSize(r.size().scaled(1280, 800, Qt::KeepAspectRatio));
             return r.read().size();
         }},
    };
    if (child) {
        // Start the high-water mark at the current resident size.
        if (FILE* c = fopen("/proc/self/clear_refs", "w")) {
            fputs("5", c);
            fclose(c);
        }
        long before = statusKb("VmHWM:");
        QSize s = paths[atoi(argv[2]) % 3].load();
        printf("%ld\n", s.isEmpty() ? -1L : statusKb("VmHWM:") - before);
        return 0;
    }
    double ms[3];
    long kb[3];
    printf("4000 x 3000 JPEG for a 1280 x 800 screen, %d loads each\n", runs);
    for (int i = 0; i < 3; ++i) {
        QSize size;
        kb[i] = peakKb(argv[0], i, path);
        ms[i] = medianMs(paths[i].load, runs, &size);
        printf("  %-38s %4d x %-4d %8.1f ms  peak +%6ld kB\n", paths[i].name, size.width(),
               size.height(), ms[i], kb[i]);
    }
    printf("ratio time   EwLoadExternBitmap / QImage+scale: %.3f\n", ms[0] / ms[1]);
    printf("ratio memory EwLoadExternBitmap / QImage+scale: %.3f\n",
           kb[1] > 0 ? double(kb[0]) / double(kb[1]) : 0.0);
    printf("ratio time   EwLoadExternBitmap / QImageReader sized: %.3f\n", ms[0] / ms[2]);
    unlink(path.c_str());
    rmdir(tmpl);
    return 0;
}
