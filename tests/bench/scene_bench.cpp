// Scene open (load and channel binding) against reading the same file, from 1 MB to 64 MB, for a dense
// scene (many objects, few frames) and a sparse one (few objects, long channels).
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_common.h"
#include "scene_access.h"
#include "scene_channels.h"
#include "scene_image.h"
#include "scene_file_io.h"
#include "scene_writer.h"

namespace {

const char* const kMotion[9] = {"Position.X", "Position.Y", "Position.Z", "Rotation.H", "Rotation.P",
                                "Rotation.B", "Scale.X",    "Scale.Y",    "Scale.Z"};

// A scene of about megabytes MB: objects each with a scene object of one surface, a motion group and
// a surface group, every channel frames long.
std::vector<uint8_t> makeScene(double megabytes, bool dense) {
    const int frames = dense ? 20 : 4000;
    const double bytesPerObject = 330.0 + 9 * (4.0 * frames + 40.0) + 4.0 * frames + 60.0;
    const int objects = std::max(1, static_cast<int>(megabytes * 1048576.0 / bytesPerObject));
    SceneWriter w;
    w.begin("SCEN");
    w.name("Scene");
    w.begin("PRPS");
    w.propInt("frameStart", 0);
    w.propInt("frameEnd", frames - 1);
    w.propFloat("framesPerSecond", 25);
    w.end();
    w.end();
    std::vector<float> values(static_cast<size_t>(frames));
    for (int f = 0; f < frames; ++f) values[static_cast<size_t>(f)] = 0.25f * static_cast<float>(f);
    for (int o = 0; o < objects; ++o) {
        const std::string name = "object" + std::to_string(o), file = name + ".lwo";
        w.begin("OBJE");
        w.name(name.c_str());
        w.fnam(file.c_str());
        w.end();
        w.begin("SOBJ");
        w.name(name.c_str());
        w.fnam(file.c_str());
        w.begin("SURF");
        w.name("Paint");
        w.end();
        w.end();
    }
    for (int o = 0; o < objects; ++o) {
        w.begin("CGRP");
        w.name(("Qirn.World:object" + std::to_string(o)).c_str());
        for (const char* channel : kMotion) {
            w.begin("CHAN");
            w.name(channel);
            w.begin("VALS");
            w.vdat(values);
            w.end();
            w.end();
        }
        w.end();
    }
    w.begin("CGRP");
    w.name("Surfaces");
    for (int o = 0; o < objects; ++o) {
        w.begin("CGRP");
        w.name(("object" + std::to_string(o)).c_str());
        w.begin("CGRP");
        w.name("Paint");
        w.begin("CHAN");
        w.name("Diffuse");
        w.begin("VALS");
        w.vdat(values);
        w.end();
        w.end();
        w.end();
        w.end();
    }
    w.end();
    return w.finish();
}

struct Result {
    double megabytes, readMs, openMs;
    std::vector<double> runRatios;
};

Result measure(double megabytes, bool dense, int runs) {
    const std::vector<uint8_t> bytes = makeScene(megabytes, dense);
    const std::string path = dense ? "bench_dense.qirn" : "bench_sparse.qirn";
    if (bytes.empty() || !qeSceneWriteFile(path, bytes)) {
        qebench::detail("cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::vector<double> reads, opens;
    for (int r = 0; r < runs; ++r) {
        // The floor is the read alone: its buffer is freed outside the clock, as the open's image is.
        uint8_t* data = nullptr;
        uint32_t size = 0;
        reads.push_back(qebench::timeMs([&] {
            if (qeSceneReadWholeFile(path.c_str(), &data, &size) != 0) data = nullptr;
        }));
        std::free(data);
        SceneHandle* h = nullptr;
        opens.push_back(qebench::timeMs([&] { h = qeSceneFileOpen(path.c_str()); }));
        if (!h || h->objects->getObjectCount(h) < 1) {
            qebench::detail("the scene %s did not open\n", path.c_str());
            std::exit(1);
        }
        qeSceneFileClose(h);
    }
    // Where an open's time goes: the load (file read and chunk walk), the binding and the close, each
    // the median of its own runs.
    std::vector<double> loads, binds, frees, walks;
    for (int r = 0; r < runs; ++r) {
        walks.push_back(qebench::timeMs([&] {
            SceneMemoryFile* f = open_scene_memory_file(path.c_str());
            read_form(f);
            scene_file_close(f);
        }));
        SceneImage* image = nullptr;
        loads.push_back(qebench::timeMs([&] { image = qeSceneImageLoad(path.c_str()); }));
        binds.push_back(qebench::timeMs([&] { qeSceneBindChannels(image); }));
        frees.push_back(qebench::timeMs([&] { qeSceneImageFree(image); }));
    }
    qebench::detail("scene %-6s load %.1f ms (read %.1f ms, read and bare walk %.1f ms), bind %.1f ms, close %.1f ms\n",
                    dense ? "dense" : "sparse", qebench::median(loads), qebench::median(reads), qebench::median(walks),
                    qebench::median(binds), qebench::median(frees));
    std::remove(path.c_str());
    Result result{static_cast<double>(bytes.size()) / 1048576.0, qebench::median(reads), qebench::median(opens),
                  qebench::ratios(opens, reads)};
    qebench::detail("scene %-6s %6.1f MB: read %8.1f ms, open %8.1f ms, open/read by run: median %.2f (%.2f-%.2f)\n",
                    dense ? "dense" : "sparse", result.megabytes, result.readMs, result.openMs,
                    qebench::median(result.runRatios), qebench::lowest(result.runRatios),
                    qebench::highest(result.runRatios));
    return result;
}

}  // namespace

int main() {
    const double sizes[] = {1, 4, 16, 64};
    // Paired runs a size: more where they are short, so that every median stands on enough of them
    // while other programs load the machine.
    const int runs[] = {31, 31, 21, 15};
    double worstRatio = 0, worstGrowth = 0;
    for (bool dense : {true, false}) {
        double perMbSmall = 0, perMbLarge = 0;
        for (int k = 0; k < 4; ++k) {
            const double mb = sizes[k];
            const Result r = measure(mb, dense, runs[k]);
            // each open is paired with the read just before it, so that the machine's load weighs on both
            worstRatio = std::max(worstRatio, qebench::median(r.runRatios));
            if (mb == sizes[0]) perMbSmall = r.openMs / r.megabytes;
            if (mb == sizes[3]) perMbLarge = r.openMs / r.megabytes;
        }
        qebench::detail("scene %-6s open per MB: %.2f ms at 1 MB, %.2f ms at 64 MB\n", dense ? "dense" : "sparse",
                        perMbSmall, perMbLarge);
        worstGrowth = std::max(worstGrowth, perMbLarge / perMbSmall);
    }
    qebench::figure("scene-open-vs-read", worstRatio);
    qebench::figure("scene-open-growth", worstGrowth);
    return 0;
}
