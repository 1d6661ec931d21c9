// Silent mp3 files made at test time: a run of MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, joint
// stereo) whose side information and main data are all zero, so every frame decodes as silence.
#ifndef QIRN_TESTS_MP3_WRITER_H
#define QIRN_TESTS_MP3_WRITER_H

#include <string>

namespace qetest {

const int kMp3SamplesPerFrame = 1152;
const int kMp3SampleRate = 44100;

inline std::string silentMp3(int frames) {
    std::string out;
    for (int i = 0; i < frames; ++i) {
        // 144 * bitrate / rate = 417.96 bytes a frame: the padding bit adds the byte that keeps the average.
        const size_t end = static_cast<size_t>(static_cast<long long>(i + 1) * 144 * 128000 / kMp3SampleRate);
        const size_t size = end - out.size();
        const char header[4] = {'\xFF', '\xFB', static_cast<char>(size == 418 ? 0x92 : 0x90), '\x64'};
        out.append(header, 4);
        out.append(size - 4, '\0');
    }
    return out;
}

inline int mp3DurationMs(int frames) {
    return static_cast<int>(static_cast<long long>(frames) * kMp3SamplesPerFrame * 1000 / kMp3SampleRate);
}

}  // namespace qetest

#endif
