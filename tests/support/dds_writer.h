// Writes DDS files in memory for the tests of the DDS reader and of the textures made from them.
#ifndef QIRN_TESTS_DDS_WRITER_H
#define QIRN_TESTS_DDS_WRITER_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qetest {

// The header fields a test sets; the defaults are a 4 x 4 32-bit RGB image without alpha.
struct DdsLayout {
    uint32_t flags = 0x1 | 0x2 | 0x4 | 0x1000;  // caps, height, width, pixel format (0x800000: depth)
    uint32_t width = 4, height = 4, pitch = 0, depth = 0;
    uint32_t pfFlags = 0x40;  // 0x40 RGB, 0x1 alpha, 0x4 fourCC, 0x20000 luminance
    std::string fourCC;
    uint32_t bits = 32, red = 0xFF0000, green = 0xFF00, blue = 0xFF, alpha = 0;
    uint32_t headerSize = 124;
};

inline std::vector<uint8_t> ddsFile(const DdsLayout& l, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> f(128, 0);
    auto put = [&f](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
    };
    std::memcpy(f.data(), "DDS ", 4);
    const uint32_t fields[] = {l.headerSize, l.flags, l.height, l.width, l.pitch, l.depth};
    for (int i = 0; i < 6; ++i) put(4 + 4 * i, fields[i]);
    put(76, 32);  // the pixel format's size
    put(80, l.pfFlags);
    if (l.fourCC.size() == 4) std::memcpy(&f[84], l.fourCC.data(), 4);
    const uint32_t format[] = {l.bits, l.red, l.green, l.blue, l.alpha};
    for (int i = 0; i < 5; ++i) put(88 + 4 * i, format[i]);
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

}  // namespace qetest

#endif
