// SPDX-License-Identifier: MIT
// The pictures the benchmarks draw. A scene is a prologue of objects drawn
// once and a period of up to 1,000 shapes (or text boxes) drawn as often as
// the scene's size asks; its bodies are made once, and every run copies them
// into fresh host objects before the clock starts, since the driver changes
// some objects it is handed (corner order, pen widths, string lengths).
#ifndef JAVTRG_BENCH_SCENES_H
#define JAVTRG_BENCH_SCENES_H

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <javtrg/host_services.h>
#include "bench/bench_host.h"

namespace benchscene {

// Shapes of a period at most; larger scenes draw the period again.
inline constexpr int64_t kPeriodShapes = 1000;

struct ObjectRecipe {
    int32_t kind;
    size_t offset;  // of the body in Scene::bodies
    size_t size;
};

struct Scene {
    std::string family;  // "rectangles", "polygons8", "gradients-linear", "text-1252-1k", ...
    int64_t count = 0;   // shapes or text boxes drawn
    int64_t periods = 1;
    int64_t codeUnits = 0;  // units of text a run draws (text scenes)
    std::vector<ObjectRecipe> prologue;
    std::vector<ObjectRecipe> period;
    std::string bodies;
    std::deque<std::string> texts;  // the bytes text bodies refer to
    // A search request (text scenes searched for terms).
    std::vector<std::string> terms;
    std::vector<const char*> termTexts;
    SearchRequest search{};
    bool searched = false;

    std::string name() const { return family + "/" + std::to_string(count); }
};

// The families: rectangles (each with its own pen and solid fill),
// polygons8 and polygons1000 (under one pen and fill), gradients-linear,
// gradients-elliptical and gradients-rectangular (each shape with its own
// gradient fill; the shapes cycle through rectangles, rounded rectangles,
// circles, ellipses and polygons), and text-<encoding>-<size> with the
// encodings 1252, sjis and units and the sizes 1k and 100k (text boxes of
// 1 KB or 100 KB of text; `count` boxes). `terms` > 0 searches the text for
// that many terms, case-insensitive.
std::unique_ptr<Scene> makeScene(benchhost::BenchHost& host, const std::string& family, int64_t count,
                                 int32_t terms = 0);

// Makes the objects of one run of `periods` periods, in drawing order.
void prepareRun(benchhost::BenchHost& host, const Scene& scene, int64_t periods, std::vector<HostObject*>* objects);

// Hands the objects to the driver; false when one was not drawn with 1.
bool drawRun(DriverContext* context, const std::vector<HostObject*>& objects);

// The stream of a run of `periods` periods, through a fresh instance.
// Fails (aborts) when a run does not draw or a later period writes other
// bytes than the first.
std::string captureStream(benchhost::BenchHost& host, const Scene& scene, int64_t periods);

// Bytes of the prologue's records and of one period's, from a capture of
// two periods that checks that the periods write the same.
struct StreamSize {
    int64_t prologue;
    int64_t period;
    int64_t total(int64_t periods) const { return prologue + periods * period; }
};
StreamSize measureStream(benchhost::BenchHost& host, const Scene& scene, std::string* onePeriod);

}  // namespace benchscene

#endif
