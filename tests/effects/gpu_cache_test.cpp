// The compiled-shader cache's files: blobs written and read back, dated through their includes, kept
// over moves and edits, and cleared of what no request can use.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "QeLog.h"
#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "gpu/QeShaderCache.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

using qetest::exists;
using qetest::readFile;
using qetest::kFullCacheMode;
using qetest::macroList;
using qetest::setTime;

// The full path of a file as the cache records it ('/' separated).
std::string recordedFull(const std::string& path) {
    std::string full = path;
    std::replace(full.begin(), full.end(), '\\', '/');
    return full;
}

class GpuCache : public qetest::LoggedDeviceTest {};

TEST_F(GpuCache, BlobsAreWrittenReadBackAndDatedThroughThreeLevelsOfIncludes) {
    qetest::TempDir dir("gpucache");
    dir.mkdir("shaders/deep");
    const std::string src = dir.path() + "shaders";
    const std::string source = dir.write("shaders/main.hlsl", "#include \"inc1.hlsl\"\n// #include \"gone.hlsl\"\nx\n");
    const std::vector<std::string> chain = {
        dir.write("shaders/inc1.hlsl", "#include \"deep/inc2.hlsl\"\n"),
        dir.write("shaders/deep/inc2.hlsl", "#include \"inc3.hlsl\"\n"),
        dir.write("shaders/deep/inc3.hlsl", "#include \"inc4.hlsl\"\n"),
    };
    const std::string deepest = dir.write("shaders/deep/inc4.hlsl", "float y;\n");
    const __time64_t t = 1700000000;
    setTime(source, t);
    for (auto& f : chain) setTime(f, t);
    setTime(deepest, t);

    const core::stringc folder = (dir.path() + "cache/sub").c_str();  // made by the first write
    const SShaderMacroList macros = macroList({{"USE_FOG", "1"}, {"A", ""}});
    const u32 tokens[4] = {0xFFFE0300u, 0x12345678u, 0x9ABCDEF0u, 0x0000FFFFu};
    video::SShaderCodeBuffer code;
    code.set(tokens, sizeof(tokens));
    ASSERT_TRUE(writeShaderCache(fs, folder, kFullCacheMode, source.c_str(), "vsMain", true, macros, code));
    SShaderFileMemo memo;
    const std::string sourceKey = shaderSourceKeyForgettingStatuses(fs, memo, source.c_str()).c_str();
    const std::string blob = std::string(folder.c_str()) + "/" +
                             makeCacheFileName(fs, source.c_str(), "vsMain", macros, true, sourceKey.c_str()).c_str();
    ASSERT_TRUE(exists(blob));
    EXPECT_EQ(32u, sourceKey.size());
    // the source that uses it follows, as seen from the cache folder
    EXPECT_EQ("A ~USE_FOG 1~\n" + sourceKey + "\n../../shaders/main.hlsl|" + recordedFull(source),
              readFile(blob + ".inf"));
    setTime(blob, t + 100);

    auto read = [&](u32 mode, const std::string& file = std::string()) {
        video::SShaderCodeBuffer* got =
            readShaderCache(fs, folder, mode, (file.empty() ? source : file).c_str(), "vsMain", true, macros);
        const bool same = got && got->Size == sizeof(tokens) && !std::memcmp(got->Data, tokens, sizeof(tokens));
        delete got;
        return same;
    };
    EXPECT_TRUE(read(kFullCacheMode));
    EXPECT_TRUE(logged("QeGPU: failed to stat include '" + src + "/gone.hlsl'", ELL_ERROR));

    // any of the three include levels newer than the blob makes it stale; the fourth level is not looked at
    for (const std::string& f : chain) {
        setTime(f, t + 200);
        EXPECT_FALSE(read(kFullCacheMode)) << f;
        setTime(f, t);
    }
    setTime(deepest, t + 200);
    EXPECT_TRUE(read(kFullCacheMode));
    setTime(deepest, t);
    // and other content at any of those levels, with an older date (restored from an archive), is another
    // source content: no blob of it yet; the fourth level's content is not part of the key either
    for (const std::string& f : chain) {
        const std::string kept = readFile(f);
        dir.write(f.substr(dir.path().size()), kept + "// edited\n");
        setTime(f, t - 100);
        EXPECT_FALSE(read(ESCM_READ)) << f;
        dir.write(f.substr(dir.path().size()), kept);
        setTime(f, t);
    }
    dir.write(deepest.substr(dir.path().size()), "float z;\n");
    setTime(deepest, t - 100);
    EXPECT_TRUE(read(kFullCacheMode));
    setTime(source, t + 200);
    EXPECT_FALSE(read(kFullCacheMode));
    EXPECT_TRUE(read(ESCM_READ));  // no date test: any matching blob
    EXPECT_FALSE(read(ESCM_WRITE | ESCM_CHECK_DATES));
    EXPECT_TRUE(logged("QeGPU: Cache not read enabled"));
    EXPECT_EQ(nullptr, readShaderCache(fs, "", kFullCacheMode, source.c_str(), "vsMain", true, macros));
    setTime(source, t);

    // the same name from a same-named folder elsewhere is not this source's blob
    dir.mkdir("other/shaders");
    EXPECT_FALSE(read(ESCM_READ, dir.write("other/shaders/main.hlsl", "x\n")));

    // an info file naming other macros is a conflict
    const std::string info = readFile(blob + ".inf");
    dir.write(blob.substr(dir.path().size()) + ".inf", "B 2~\n" + sourceKey);
    EXPECT_FALSE(read(ESCM_READ));
    EXPECT_TRUE(logged("QeGPU: WARNING ! Conflict in Shader Cache on '" + blob +
                           "' : Cached Macros : 'B 2~' ; New Macros 'A ~USE_FOG 1~'",
                       ELL_WARNING));
    dir.write(blob.substr(dir.path().size()) + ".inf", info);

    // an empty blob is a miss
    dir.write(blob.substr(dir.path().size()), "");
    EXPECT_FALSE(read(ESCM_READ));

    // writing off, or no folder: nothing written
    const SShaderMacroList none = macroList({});
    EXPECT_FALSE(writeShaderCache(fs, folder, ESCM_READ | ESCM_CHECK_DATES, source.c_str(), "x", true, none, code));
    EXPECT_FALSE(writeShaderCache(fs, "", kFullCacheMode, source.c_str(), "x", true, none, code));
    EXPECT_TRUE(logged("QeGPU: Cache not write enabled"));
    const std::string noneBlob = std::string(folder.c_str()) + "/" + makeCacheFileName(fs, source.c_str(), "x", none, true, sourceKey.c_str()).c_str();
    EXPECT_FALSE(exists(noneBlob));
    // an info file that cannot be written takes its blob with it
    CreateDirectoryA((noneBlob + ".inf").c_str(), nullptr);
    EXPECT_FALSE(writeShaderCache(fs, folder, kFullCacheMode, source.c_str(), "x", true, none, code));
    EXPECT_FALSE(exists(noneBlob));
}

TEST_F(GpuCache, AMovedCacheStillHitsAndSameNamedSourcesNeverShareABlob) {
    qetest::TempDir dir("gpumove");
    dir.mkdir("demo/shaders/lib");
    dir.write("demo/shaders/main.hlsl", "#include \"lib/common.hlsl\"\nfloat4 main() : COLOR0 { return C; }\n");
    dir.write("demo/shaders/lib/common.hlsl", "#include \"values.hlsl\"\n#define C float4(V, 0, 0, 1)\n");
    dir.write("demo/shaders/lib/values.hlsl", "#define V 1\n");
    const SShaderMacroList macros = macroList({{"A", "1"}});
    const u32 tokens[3] = {0xFFFF0300u, 0x01020304u, 0x0000FFFFu};
    video::SShaderCodeBuffer code;
    code.set(tokens, sizeof(tokens));
    auto hits = [&](const std::string& demo, u32 mode = kFullCacheMode) {
        video::SShaderCodeBuffer* got = readShaderCache(fs, (dir.path() + demo + "/shadersCache").c_str(), mode,
                                                        (dir.path() + demo + "/shaders/main.hlsl").c_str(), "main",
                                                        false, macros);
        delete got;
        return got != nullptr;
    };
    ASSERT_TRUE(writeShaderCache(fs, (dir.path() + "demo/shadersCache").c_str(), kFullCacheMode,
                                 (dir.path() + "demo/shaders/main.hlsl").c_str(), "main", false, macros, code));
    ASSERT_TRUE(hits("demo"));

    // the whole folder moved (dates kept): the cache still hits, read-only as a packed demo opens it too
    ASSERT_TRUE(MoveFileA((dir.path() + "demo").c_str(), (dir.path() + "moved").c_str()));
    EXPECT_TRUE(hits("moved"));
    EXPECT_TRUE(hits("moved", ESCM_READ));

    // a second demo with a same-named source: the same content shares the blob, other content does not,
    // nor does the same source over an include of other content, two levels down
    dir.mkdir("second/shaders/lib");
    const std::string cache = dir.path() + "moved/shadersCache/";
    dir.write("second/shaders/main.hlsl", readFile(dir.path() + "moved/shaders/main.hlsl"));
    dir.write("second/shaders/lib/common.hlsl", readFile(dir.path() + "moved/shaders/lib/common.hlsl"));
    dir.write("second/shaders/lib/values.hlsl", "#define V 1\n");
    ASSERT_TRUE(MoveFileA(cache.c_str(), (dir.path() + "second/shadersCache").c_str()));
    EXPECT_TRUE(hits("second", ESCM_READ));
    dir.write("second/shaders/lib/values.hlsl", "#define V 0\n");
    EXPECT_FALSE(hits("second", ESCM_READ));
    dir.write("second/shaders/lib/values.hlsl", "#define V 1\n");
    const std::string firstMain = readFile(dir.path() + "second/shaders/main.hlsl");
    dir.write("second/shaders/main.hlsl", "#include \"lib/common.hlsl\"\nfloat4 main() : COLOR0 { return -C; }\n");
    EXPECT_FALSE(hits("second", ESCM_READ));
    // a blob of the new content replaces the one of the old: the source has that content no more
    ASSERT_TRUE(writeShaderCache(fs, (dir.path() + "second/shadersCache").c_str(), kFullCacheMode,
                                 (dir.path() + "second/shaders/main.hlsl").c_str(), "main", false, macros, code));
    EXPECT_TRUE(hits("second", ESCM_READ));
    dir.write("second/shaders/main.hlsl", firstMain);
    EXPECT_FALSE(hits("second", ESCM_READ));
}

// The names of the files in a folder, sorted.
std::vector<std::string> filesOf(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(qetest::TempDir::longForm(folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            char name[MAX_PATH] = {};
            WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, name, sizeof(name) - 1, nullptr, nullptr);
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Over a run of edits the cache holds what its sources can use: a source's blob of an older content goes
// when the new one is written (a same-named source elsewhere keeps its own, a source of the same content
// keeps the shared one), and the files of another form go when the cache is opened for writing.
TEST_F(GpuCache, TheCacheKeepsOnlyWhatItsSourcesCanUse) {
    qetest::TempDir dir("gpulife");
    const qetest::DemoShaderCache shaders(fs, dir);
    const std::string& cache = shaders.cache;
    for (const char* demo : {"a/shaders", "b/shaders", "c/shaders"}) dir.mkdir(demo);
    const core::stringc folder = cache.c_str();
    auto hits = [&](const char* demo, u32 mode = kFullCacheMode) {
        video::SShaderCodeBuffer* got =
            readShaderCache(fs, folder, mode, shaders.source(demo).c_str(), "psMain", false, shaders.macros);
        delete got;
        return got != nullptr;
    };

    dir.write("a/shaders/tint.h", "#define TINT 1\n");
    dir.write("a/shaders/fx.hlsl", "#include \"tint.h\"\nfloat4 psMain() : COLOR0 { return TINT; }\n");
    ASSERT_TRUE(shaders.write("a"));
    const std::string first = shaders.blobOf("a");
    EXPECT_EQ((std::vector<std::string>{first, first + ".inf"}), filesOf(cache));
    EXPECT_EQ("A 1~\n" + shaders.keyOf("a") + "\n../../a/shaders/fx.hlsl|" + recordedFull(shaders.source("a")),
              readFile(cache + first + ".inf"));

    // an edit of an include: the new blob replaces the old one
    dir.write("a/shaders/tint.h", "#define TINT 0.5\n");
    EXPECT_FALSE(hits("a"));
    ASSERT_TRUE(shaders.write("a"));
    const std::string second = shaders.blobOf("a");
    const std::string secondKey = shaders.keyOf("a");
    ASSERT_NE(first, second);
    EXPECT_EQ((std::vector<std::string>{second, second + ".inf"}), filesOf(cache));
    EXPECT_TRUE(hits("a"));

    // another source whose blobs share the name's prefix ("shaders!fx!psMain!"): both stay, and using both
    // again writes nothing
    dir.write("b/shaders/fx.hlsl", "float4 psMain() : COLOR0 { return 0; }\n");
    ASSERT_TRUE(shaders.write("b"));
    const std::string other = shaders.blobOf("b");
    EXPECT_EQ(4u, filesOf(cache).size());
    const std::string secondInfo = readFile(cache + second + ".inf");
    const std::string otherInfo = readFile(cache + other + ".inf");
    const std::vector<std::string> both = filesOf(cache);
    for (const std::string& name : both) setTime(cache + name, 1900000000);  // a rewrite would date it now
    EXPECT_TRUE(hits("a"));
    EXPECT_TRUE(hits("b"));
    EXPECT_EQ(both, filesOf(cache));
    EXPECT_EQ(secondInfo, readFile(cache + second + ".inf"));
    EXPECT_EQ(otherInfo, readFile(cache + other + ".inf"));
    for (const std::string& name : both) {
        struct _stat64 status;
        ASSERT_EQ(0, _stat64((cache + name).c_str(), &status));
        EXPECT_EQ(1900000000, status.st_mtime) << name;
    }

    // a third source of a's content shares its blob, which lists it once used; a's next edit leaves the
    // blob to it
    dir.write("c/shaders/tint.h", "#define TINT 0.5\n");
    dir.write("c/shaders/fx.hlsl", readFile(shaders.source("a")));
    EXPECT_TRUE(hits("c"));
    EXPECT_EQ(secondInfo + "\n../../c/shaders/fx.hlsl|" + recordedFull(shaders.source("c")),
              readFile(cache + second + ".inf"));
    EXPECT_TRUE(hits("c", ESCM_READ));
    dir.write("a/shaders/tint.h", "#define TINT 0.25\n");
    ASSERT_TRUE(shaders.write("a"));
    const std::string third = shaders.blobOf("a");
    EXPECT_EQ(6u, filesOf(cache).size());
    EXPECT_TRUE(hits("c", ESCM_READ));
    EXPECT_TRUE(hits("b", ESCM_READ));
    EXPECT_EQ("A 1~\n" + secondKey + "\n../../c/shaders/fx.hlsl|" + recordedFull(shaders.source("c")),
              readFile(cache + second + ".inf"));

    // files of another form: a blob without its info, an info without its blob, an info of the naming
    // before sources were listed (or with a hash that is not its name's); another program's files stay
    const std::string older = "shaders!old!vsMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso";
    dir.write("exe/shadersCache/" + older, "blob");
    dir.write("exe/shadersCache/" + older + ".inf", "");
    dir.write("exe/shadersCache/shaders!lone!vsMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso", "blob");
    dir.write("exe/shadersCache/shaders!gone!vsMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.pso.inf", "");
    const std::string renamed = "shaders!fx!psMain!" + std::string(32, 'Z') + ".pso";
    dir.write("exe/shadersCache/" + renamed, "blob");
    dir.write("exe/shadersCache/" + renamed + ".inf", readFile(cache + third + ".inf"));
    for (const char* name : {"notes.txt", "abc.vso", "abc.vso.inf", "x!y!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso"})
        dir.write(std::string("exe/shadersCache/") + name, "not the cache's");
    // (written an hour ago: a pair of files just written may be one that another run is writing still,
    // a blob whose ".inf" is not there yet, or not whole, and stays)
    const __time64_t hourAgo = _time64(nullptr) - 3600;
    for (const std::string& name :
         {older, older + ".inf", std::string("shaders!lone!vsMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso"),
          std::string("shaders!gone!vsMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.pso.inf"), renamed, renamed + ".inf"})
        setTime(cache + name, hourAgo);
    const std::string writing = "shaders!writing!vsMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso";
    const std::string halfWritten = "shaders!half!psMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.pso";
    dir.write("exe/shadersCache/" + writing, "blob");
    dir.write("exe/shadersCache/" + halfWritten, "blob");
    dir.write("exe/shadersCache/" + halfWritten + ".inf", "A 1~\n");
    // (the first shader that a run has to compile clears the cache it writes into; a cache only read, or
    // one that serves every shader, is left as it is)
    const std::string vs = dir.write("a/shaders/new.hlsl", "float4 vsMain() : POSITION { return 0; }\n");
    const std::string ps = dir.write("a/shaders/newp.hlsl", "float4 psMain() : COLOR0 { return 0; }\n");
    auto compile = [&](CQeGPUProgrammingServices& services) {  // a driver that cannot compile
        return services.getShaderMaterial(vs.c_str(), "vsMain", video::EVST_VS_3_0, ps.c_str(), "psMain",
                                          video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, nullptr);
    };
    const std::vector<std::string> before = filesOf(cache);
    CQeGPUProgrammingServices services(device);
    services.setShaderCache(folder, ESCM_READ | ESCM_CHECK_DATES);
    EXPECT_EQ(-1, compile(services));
    EXPECT_EQ(before, filesOf(cache));
    services.setShaderCache(folder, kFullCacheMode);
    EXPECT_EQ(before, filesOf(cache));
    EXPECT_EQ(-1, compile(services));
    std::vector<std::string> expected = {third, third + ".inf", other, other + ".inf", second, second + ".inf",
                                         "abc.vso", "abc.vso.inf", "notes.txt",
                                         "x!y!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso", writing, halfWritten,
                                         halfWritten + ".inf"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, filesOf(cache));

    // a source whose content goes back to an older one takes that blob again, and the newer one goes
    dir.write("a/shaders/tint.h", "#define TINT 0.5\n");
    EXPECT_TRUE(hits("a", ESCM_READ | ESCM_WRITE));
    EXPECT_FALSE(exists(cache + third));
    EXPECT_FALSE(exists(cache + third + ".inf"));
    EXPECT_EQ("A 1~\n" + secondKey + "\n../../c/shaders/fx.hlsl|" + recordedFull(shaders.source("c")) +
                  "\n../../a/shaders/fx.hlsl|" + recordedFull(shaders.source("a")),
              readFile(cache + second + ".inf"));
    // a source that is gone keeps no blob: a's next edit leaves the shared one to nobody
    ASSERT_TRUE(DeleteFileA(shaders.source("c").c_str()));
    dir.write("a/shaders/tint.h", "#define TINT 0.75\n");
    ASSERT_TRUE(shaders.write("a"));
    EXPECT_FALSE(exists(cache + second));
    EXPECT_FALSE(exists(cache + second + ".inf"));
    EXPECT_TRUE(exists(cache + other));
}

// A drive letter that names no drive here ("" when every letter is taken).
std::string awayDrive() {
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
    return std::string();
}

// A cache drops the blobs whose every source is surely gone (its folder or file deleted or renamed on a
// drive that is there) when a run first has to compile; a source on a drive or share that is away is not
// gone, nor does a blob that such a source shares go with an edit of another.
TEST_F(GpuCache, BlobsGoWithTheirLastSourceButNotWithADriveOrShareAway) {
    qetest::TempDir dir("gpugone");
    const std::string cache = dir.mkdir("exe/shadersCache");
    const core::stringc folder = cache.c_str();
    dir.mkdir("g1/shaders");
    dir.mkdir("g2/shaders");
    const SShaderMacroList macros = macroList({{"A", "1"}});
    const u32 tokens[3] = {0xFFFF0300u, 0x01020304u, 0x0000FFFFu};
    video::SShaderCodeBuffer code;
    code.set(tokens, sizeof(tokens));
    auto write = [&](const std::string& source, const char* entry = "psMain") {
        return writeShaderCache(fs, folder, kFullCacheMode, source.c_str(), entry, false, macros, code);
    };
    auto blobOf = [&](const std::string& source, const char* entry = "psMain") {
        SShaderFileMemo memo;
        return cache + makeCacheFileName(fs, source.c_str(), entry, macros, false,
                                         shaderSourceKeyForgettingStatuses(fs, memo, source.c_str()))
                           .c_str();
    };
    // the recorded source of a blob of its own, as if it had been compiled from elsewhere
    auto recordAs = [&](const std::string& blob, const std::string& recorded) {
        const std::string info = readFile(blob + ".inf");
        dir.write(blob.substr(dir.path().size()) + ".inf", info.substr(0, info.rfind('\n') + 1) + recorded);
    };

    const std::string fx = dir.write("g1/shaders/fx.hlsl", "float4 psMain() : COLOR0 { return 1; }\n");
    const std::string glow = dir.write("g1/shaders/glow.hlsl", "float4 psMain() : COLOR0 { return 2; }\n");
    const std::string sameFx = dir.write("g2/shaders/fx.hlsl", readFile(fx));
    const std::string old = dir.write("g2/shaders/old.hlsl", "float4 psMain() : COLOR0 { return 3; }\n");
    const std::string remote = dir.write("g2/shaders/remote.hlsl", "float4 psMain() : COLOR0 { return 4; }\n");
    for (const std::string& source : {fx, glow, old, remote}) ASSERT_TRUE(write(source));
    ASSERT_TRUE(write(remote, "psOther"));
    delete readShaderCache(fs, folder, kFullCacheMode, sameFx.c_str(), "psMain", false, macros);  // g2's fx shares g1's blob
    const std::string drive = awayDrive();
    ASSERT_FALSE(drive.empty());
    recordAs(blobOf(remote), drive + "/demo/shaders/remote.hlsl");
    recordAs(blobOf(remote, "psOther"), "//qirn-nowhere/share/demo/shaders/remote.hlsl");
    EXPECT_EQ(10u, filesOf(cache).size());

    // g1 deleted, a shader of g2 renamed; the next run writes and compiles (on a driver that cannot)
    const std::string fxBlob = blobOf(fx), glowBlob = blobOf(glow), oldBlob = blobOf(old);
    ASSERT_TRUE(DeleteFileA(fx.c_str()) && DeleteFileA(glow.c_str()));
    ASSERT_TRUE(RemoveDirectoryA((dir.path() + "g1\\shaders").c_str()) && RemoveDirectoryA((dir.path() + "g1").c_str()));
    ASSERT_TRUE(MoveFileA(old.c_str(), (dir.path() + "g2\\shaders\\new.hlsl").c_str()));
    const std::string vs = dir.write("g2/shaders/v.hlsl", "float4 vsMain() : POSITION { return 0; }\n");
    CQeGPUProgrammingServices services(device);
    services.setShaderCache(folder, kFullCacheMode);
    EXPECT_EQ(-1, services.getShaderMaterial(vs.c_str(), "vsMain", video::EVST_VS_3_0, sameFx.c_str(), "psMain",
                                             video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, nullptr));
    for (const std::string& gone : {glowBlob, oldBlob}) {
        EXPECT_FALSE(exists(gone)) << gone;
        EXPECT_FALSE(exists(gone + ".inf")) << gone;
    }
    // the shared blob stays for g2, which alone is listed now; the sources away keep theirs
    EXPECT_EQ(fxBlob, blobOf(sameFx));
    EXPECT_EQ("A 1~\n" + readFile(fxBlob + ".inf").substr(5, 32) + "\n../../g2/shaders/fx.hlsl|" +
                  recordedFull(sameFx),
              readFile(fxBlob + ".inf"));
    EXPECT_EQ(6u, filesOf(cache).size());
    EXPECT_TRUE(exists(blobOf(remote)));
    EXPECT_TRUE(exists(blobOf(remote, "psOther")));

    // an edit of a source whose blob a source on a share away uses too leaves the blob to that source
    const std::string tint = dir.write("g2/shaders/tint.hlsl", "float4 psMain() : COLOR0 { return 5; }\n");
    ASSERT_TRUE(write(tint));
    const std::string tintBlob = blobOf(tint);
    const std::string info = readFile(tintBlob + ".inf");
    dir.write(tintBlob.substr(dir.path().size()) + ".inf", info + "\n\\\\qirn-nowhere\\share\\demo\\shaders\\tint.hlsl");
    dir.write("g2/shaders/tint.hlsl", "float4 psMain() : COLOR0 { return 6; }\n");
    ASSERT_TRUE(write(tint));
    EXPECT_TRUE(exists(tintBlob));
    EXPECT_EQ(info.substr(0, info.rfind('\n')) + "\n\\\\qirn-nowhere\\share\\demo\\shaders\\tint.hlsl",
              readFile(tintBlob + ".inf"));
}

// A cache copied away from its sources (the program's folder with its cache copied to another depth), or
// moved together with them, keeps the blobs of the sources still there when a run there first has to
// compile: a source is gone only where neither its path from the cache nor its full path finds it. A
// blob's line of the earlier form (its path from the cache alone) gets the full path when its source
// uses the blob.
TEST_F(GpuCache, ACacheCopiedOrMovedKeepsTheBlobsOfItsSourcesStillThere) {
    qetest::TempDir dir("gpucopy");
    const std::string cache = dir.mkdir("exe/shadersCache");
    dir.mkdir("demo/shaders");
    const SShaderMacroList macros = macroList({{"A", "1"}});
    const u32 tokens[3] = {0xFFFF0300u, 0x01020304u, 0x0000FFFFu};
    video::SShaderCodeBuffer code;
    code.set(tokens, sizeof(tokens));
    auto blobOf = [&](const std::string& folder, const std::string& source) {
        SShaderFileMemo memo;
        return folder + makeCacheFileName(fs, source.c_str(), "psMain", macros, false,
                                          shaderSourceKeyForgettingStatuses(fs, memo, source.c_str()))
                            .c_str();
    };
    auto hits = [&](const std::string& folder, const std::string& source) {
        video::SShaderCodeBuffer* got =
            readShaderCache(fs, folder.c_str(), kFullCacheMode, source.c_str(), "psMain", false, macros);
        delete got;
        return got != nullptr;
    };
    // a run from the cache folder that has to compile (on a driver that cannot)
    auto compile = [&](const std::string& folder, const std::string& demo) {
        const std::string vs = dir.write(demo + "/v.hlsl", "float4 vsMain() : POSITION { return 0; }\n");
        const std::string ps = dir.write(demo + "/p.hlsl", "float4 psMain() : COLOR0 { return 0; }\n");
        CQeGPUProgrammingServices services(device);
        services.setShaderCache(folder.c_str(), kFullCacheMode);
        return services.getShaderMaterial(vs.c_str(), "vsMain", video::EVST_VS_3_0, ps.c_str(), "psMain",
                                          video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, nullptr);
    };
    const std::string fx = dir.write("demo/shaders/fx.hlsl", "float4 psMain() : COLOR0 { return 1; }\n");
    const std::string glow = dir.write("demo/shaders/glow.hlsl", "float4 psMain() : COLOR0 { return 2; }\n");
    const std::string old = dir.write("demo/shaders/old.hlsl", "float4 psMain() : COLOR0 { return 3; }\n");
    for (const std::string& source : {fx, glow, old})
        ASSERT_TRUE(writeShaderCache(fs, cache.c_str(), kFullCacheMode, source.c_str(), "psMain", false, macros, code));
    const std::string fxInfo = readFile(blobOf(cache, fx) + ".inf");
    EXPECT_EQ("../../demo/shaders/fx.hlsl|" + recordedFull(fx), fxInfo.substr(fxInfo.rfind('\n') + 1));
    // old's blob as an earlier Qirn recorded it: its line is completed once old uses it
    const std::string oldInfo = readFile(blobOf(cache, old) + ".inf");
    const std::string hashed = oldInfo.substr(0, oldInfo.rfind('\n') + 1);
    dir.write(blobOf(cache, old).substr(dir.path().size()) + ".inf", hashed + "../../demo/shaders/old.hlsl");
    EXPECT_TRUE(hits(cache, old));
    EXPECT_EQ(hashed + "../../demo/shaders/old.hlsl|" + recordedFull(old), readFile(blobOf(cache, old) + ".inf"));

    // the program's folder copied two levels deeper, glow deleted since: the copy's first compile keeps
    // the blobs of fx and old, found by their full paths, and drops glow's
    const std::string copy = dir.mkdir("deeper/place/exe/shadersCache");
    for (const std::string& name : filesOf(cache)) ASSERT_TRUE(CopyFileA((cache + name).c_str(), (copy + name).c_str(), TRUE));
    ASSERT_TRUE(DeleteFileA(glow.c_str()));
    EXPECT_EQ(-1, compile(copy, "deeper"));
    EXPECT_EQ(4u, filesOf(copy).size());
    for (const std::string& source : {fx, old}) {
        EXPECT_TRUE(exists(blobOf(copy, source))) << source;
        EXPECT_TRUE(exists(blobOf(copy, source) + ".inf")) << source;
    }
    // used from there, fx is recorded once, as seen from the copy
    EXPECT_TRUE(hits(copy, fx));
    EXPECT_EQ(fxInfo.substr(0, fxInfo.rfind('\n') + 1) + "../../../../demo/shaders/fx.hlsl|" + recordedFull(fx),
              readFile(blobOf(copy, fx) + ".inf"));

    // the program's folder and the demo moved together: their full paths are gone, their paths from the
    // cache find them, and the blobs stay
    dir.mkdir("moved");
    for (const char* folder : {"exe", "demo"})
        ASSERT_TRUE(MoveFileA((dir.path() + folder).c_str(), (dir.path() + "moved\\" + folder).c_str()));
    const std::string moved = dir.path() + "moved\\exe\\shadersCache\\";
    const std::string movedFx = dir.path() + "moved\\demo\\shaders\\fx.hlsl";
    EXPECT_EQ(-1, compile(moved, "moved"));
    EXPECT_EQ(4u, filesOf(moved).size());  // glow's blob went here too
    EXPECT_TRUE(hits(moved, movedFx));
    EXPECT_EQ(fxInfo.substr(0, fxInfo.rfind('\n') + 1) + "../../demo/shaders/fx.hlsl|" + recordedFull(movedFx),
              readFile(blobOf(moved, movedFx) + ".inf"));
    // and a source gone from both places takes its blob with it
    ASSERT_TRUE(DeleteFileA((dir.path() + "moved\\demo\\shaders\\old.hlsl").c_str()));
    EXPECT_EQ(2, removeStaleCacheFiles(fs, moved.c_str()));
    EXPECT_TRUE(exists(blobOf(moved, movedFx)));
}

// A cache beside a program in a deep folder, whose files' full paths pass MAX_PATH, reads back what it
// writes and is cleared of what no source can use.
TEST_F(GpuCache, ACacheInADeepFolderReadsWhatItWrites) {
    qetest::TempDir dir("gpudeep");
    std::string relative;
    for (char part = 'a'; part <= 'c'; ++part) relative += std::string(60, part) + "\\";
    const std::string deep = dir.mkdir(relative + "shaders");
    const std::string source = dir.write(relative + "shaders\\LppDepthPass.hlsl", "float4 vertexMain() : POSITION { return 0; }\n");
    const core::stringc folder = (dir.path() + relative + "shadersCache").c_str();
    const SShaderMacroList macros = macroList({{"USE_FOG", "1"}});
    const u32 tokens[3] = {0xFFFE0300u, 0x01020304u, 0x0000FFFFu};
    video::SShaderCodeBuffer code;
    code.set(tokens, sizeof(tokens));
    ASSERT_TRUE(writeShaderCache(fs, folder, kFullCacheMode, source.c_str(), "vertexMain", true, macros, code));
    const std::vector<std::string> files = filesOf(std::string(folder.c_str()) + "\\");
    ASSERT_EQ(2u, files.size());
    EXPECT_GT(std::string(folder.c_str()).size() + 1 + files[1].size(), 260u);
    video::SShaderCodeBuffer* got = readShaderCache(fs, folder, kFullCacheMode, source.c_str(), "vertexMain", true, macros);
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(sizeof(tokens), got->Size);
    delete got;
    // its source gone, the clearing finds and removes both files
    ASSERT_TRUE(DeleteFileW(qetest::TempDir::longForm(source).c_str()));
    EXPECT_EQ(2, removeStaleCacheFiles(fs, folder));
    EXPECT_TRUE(filesOf(std::string(folder.c_str()) + "\\").empty());
}

}  // namespace
