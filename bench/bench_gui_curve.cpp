// Torque curves: the time from a frame of 2 x 511 samples handed to the graph tab until
// both charts are drawn offscreen, against the bare path in the same run: the frame
// decoded into the same points and one QPainter polyline per chart into images of the
// charts' size (offscreen platform). Reports both and their ratio. BENCH_CURVES sets the
// number of frames (default 300).
#include "UnitLineChart.h"
#include "common.h"
#include "debug.h"
#include "page/monitor/PageMonitorGraph.h"
#include "wire.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
double nowUs() {
    using namespace std::chrono;
    return double(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) / 1e3;
}

// Frame k: a torque rise on channel 1 and a falling speed on channel 2, shifted by k so
// that no two frames draw the same.
GraphFrame frameOf(int k) {
    toolsim::CurveRecord c;
    c.channel1 = 1;
    c.channel2 = 3;
    c.convTorque = 1800;
    c.fastenTime = 700;
    for (int i = 0; i < MonitorGraph::kMaxSamples; ++i) {
        c.samples1.push_back(int16_t(i < 400 ? (i + k) % 97 : (i - 400) * 18));
        c.samples2.push_back(int16_t(1500 - (i * 3 + k) % 1500));
    }
    GraphFrame f;
    f.Bytes = toolsim::encodeCurveFrame(uint16_t(k), c);
    f.TorqueUnit = 2;
    return f;
}

// The bare path: the same points scaled into an image of the chart's size, one polyline.
void bareDraw(QImage& img, const std::vector<int>& points, int upper, int span) {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(img.rect(), Qt::black);
    QPolygon path(int(points.size()));
    const int w = img.width() - 1, h = img.height() - 1;
    for (size_t i = 0; i < points.size(); ++i)
        path[int(i)] = QPoint(int((long long)w * i / span),
                              h - int((long long)std::clamp(points[i], 0, upper) * h / upper));
    p.setPen(QPen(Qt::yellow, 2));
    p.drawPolyline(path);
}
} // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/kest-bench-curve-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_NO_GLIB", "1", 1);
    setenv("KEST_SYSROOT", (root + "/sysroot").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    Common_MkdirP(root + "/home");
    Common_SetHome((root + "/home").c_str());
    Debug_SetQuiet(true);
    QApplication app(argc, argv);
    const int frames = std::getenv("BENCH_CURVES") ? std::atoi(std::getenv("BENCH_CURVES")) : 300;

    QWidget window;
    window.setFixedSize(1240, 640);
    auto* tab = new PageMonitorGraph(&window);
    tab->setGeometry(window.rect());
    GraphSettings two;
    two.Channel2 = 3;
    tab->Graph().SetSettings(two);
    window.show();
    QApplication::processEvents();
    std::vector<GraphFrame> input;
    for (int k = 0; k < frames; ++k)
        input.push_back(frameOf(k));
    QImage out[2];
    for (int i = 0; i < 2; ++i)
        out[i] = QImage(tab->Chart(i)->size(), QImage::Format_RGB32);

    // Warm both paths once (fonts, glyph caches), then time them interleaved so a busy
    // machine slows both alike.
    double screenUs = 0, bareUs = 0;
    for (int k = -1; k < frames; ++k) {
        const GraphFrame& f = input[size_t(std::max(k, 0))];
        double t0 = nowUs();
        tab->ShowFrame(f);
        for (int i = 0; i < 2; ++i)
            tab->Chart(i)->render(&out[i]);
        double t1 = nowUs();
        GraphView v;
        MonitorGraph::Compute(f, &v);
        for (int i = 0; i < 2; ++i)
            bareDraw(out[i], v.Charts[i].Points, v.Charts[i].Upper, MonitorGraph::kMaxSamples);
        double t2 = nowUs();
        if (k < 0) continue;
        screenUs += t1 - t0;
        bareUs += t2 - t1;
    }
    const size_t drawn = tab->Chart(0)->points().size() + tab->Chart(1)->points().size();
    std::printf("curve frame of 2 x %d samples to both charts drawn (%zu points), %d frames: "
                "tab %.1f us, bare QPainter polyline %.1f us; ratio tab/bare %.2f\n",
                MonitorGraph::kMaxSamples, drawn, frames, screenUs / frames, bareUs / frames,
                screenUs / bareUs);
    return 0;
}
