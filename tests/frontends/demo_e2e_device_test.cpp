// qirn.exe plays the bundled example demo to its end and exits 0, each part starting at its time in the
// music: its log tells where the music stood when each part started. A message box (a load failure) or a
// stalled time line would keep it running: the wait has a limit, after which the process is ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "process_run.h"

namespace {

struct PartStart {
    std::string name;
    int due;     // the part's time on its time line
    int starts;  // the time line when the part started (a pass comes a frame late or so)
    int music;   // the music's position then
};

std::vector<PartStart> partStarts(const std::string& log) {
    std::vector<PartStart> starts;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        char name[64] = "";
        PartStart start;
        if (std::sscanf(line.c_str(), "INFO : Demo part %63s due at %d ms starts at %d ms, music at %d ms", name,
                        &start.due, &start.starts, &start.music) == 4) {
            start.name = name;
            starts.push_back(start);
        }
    }
    return starts;
}

TEST(DemoEndToEnd, ExampleDemoPlaysToItsEndEachPartAtItsMusicTime) {
    qetest::TempDir dir("e2e");
    const std::string output = dir.path() + "qirn-log.txt";
    const std::string exe = std::string(QIRN_OUTPUT_DIR) + "qirn.exe";
    std::string command = "\"" + exe + "\" \"" + QIRN_EXAMPLES_DIR + "demo/example.demo.ini\"";
    // The demo lasts 32 s; loading and the translated code of the test machines add to it.
    const long code = qetest::runProcess(exe, command, QIRN_OUTPUT_DIR, output, 420);
    ASSERT_NE(-2, code) << GetLastError();
    ASSERT_NE(-1, code) << "qirn.exe did not end within the limit";
    EXPECT_EQ(0, code);

    std::ifstream in(output, std::ios::binary);
    std::stringstream log;
    log << in.rdbuf();
    const std::vector<PartStart> starts = partStarts(log.str());
    // Each part's time in the music: part2 where its scene's first frame is in the tune, part3 20 s after
    // part1 started the tune and the time line together, the end 12 s after part3. Part1 starts the music.
    const struct {
        const char* name;
        int music;
    } due[] = {{"part1", 0}, {"part2", 10000}, {"part3", 20000}, {"part4", 32000}};
    ASSERT_EQ(4u, starts.size()) << log.str();
    for (int i = 0; i < 4; ++i) {
        const PartStart& start = starts[i];
        EXPECT_EQ(due[i].name, start.name);
        const int late = start.starts - start.due;
        std::printf("%s, due at %d ms in the music, started %d ms late, the music at %d ms\n", start.name.c_str(),
                    due[i].music, late, start.music);
        if (i > 0) EXPECT_NEAR(due[i].music + late, start.music, 100) << start.name;
    }
}

}  // namespace
