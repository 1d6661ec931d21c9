// What the GPU services and shader cache tests share: macro lists, file dates, demos' shaders with their
// cache, and a device whose library log is kept.
#ifndef QIRN_TESTS_EFFECTS_GPU_FIXTURE_H
#define QIRN_TESTS_EFFECTS_GPU_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/utime.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "effects_fixture.h"
#include "file_fixtures.h"
#include "gpu/QeShaderCache.h"

namespace qetest {

// A sorted macro list of {name, value} pairs.
inline SShaderMacroList macroList(std::vector<std::pair<const char*, const char*>> pairs) {
    SShaderMacroList list;
    for (auto& p : pairs) list.push_back({p.first, p.second});
    list.sort();
    return list;
}

// Dates a file's last write (seconds since 1970).
inline void setTime(const std::string& path, __time64_t t) {
    __utimbuf64 times = {t, t};
    ASSERT_EQ(0, _utime64(path.c_str(), &times)) << path;
}

// The cache mode of a run that writes its cache: blobs read, dated against their sources, and written.
constexpr irr::u32 kFullCacheMode = ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE;

// Demos' pixel shaders "<demo>/shaders/fx.hlsl" (entry point "psMain", one macro) in a temporary folder,
// and their cache "exe/shadersCache" beside them; every blob written holds the same tokens.
class DemoShaderCache {
public:
    DemoShaderCache(irr::io::IFileSystem* fs, const TempDir& dir)
        : cache(dir.mkdir("exe/shadersCache")), macros(macroList({{"A", "1"}})), fs_(fs), dir_(dir) {
        static const irr::u32 tokens[3] = {0xFFFF0300u, 0x01020304u, 0x0000FFFFu};
        code_.set(tokens, sizeof(tokens));
    }
    const std::string cache;  // ends with a backslash
    const SShaderMacroList macros;

    std::string source(const char* demo) const { return dir_.path() + demo + "/shaders/fx.hlsl"; }
    bool write(const char* demo) const {
        return writeShaderCache(fs_, cache.c_str(), kFullCacheMode, source(demo).c_str(), "psMain", false, macros,
                                code_);
    }
    // The content key of what the demo's source holds now, and the name of its blob for that content.
    std::string keyOf(const char* demo) const {
        SShaderFileMemo memo;
        return shaderSourceKeyForgettingStatuses(fs_, memo, source(demo).c_str()).c_str();
    }
    std::string blobOf(const char* demo) const {
        return makeCacheFileName(fs_, source(demo).c_str(), "psMain", macros, false, keyOf(demo).c_str()).c_str();
    }

private:
    irr::io::IFileSystem* fs_;
    const TempDir& dir_;
    irr::video::SShaderCodeBuffer code_;
};

// A null device whose library log lines are kept.
class LoggedDeviceTest : public DeviceTest {
protected:
    LogCapture logger;
    bool logged(const std::string& text, irr::ELOG_LEVEL level = irr::ELL_DEBUG) const {
        return logger.count(text, level) > 0;
    }
};

}  // namespace qetest

#endif
