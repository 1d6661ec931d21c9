// The cache's hash and its base32 text (see QeShaderHash.h).
#include "gpu/QeShaderHash.h"

#include <cstring>

#include "QeLog.h"

using irr::c8;
using irr::s32;
using irr::u32;
using irr::u8;
using irr::core::stringc;

namespace {

const u32 kLaneMultiplier[5] = {0x5bd1e995u, 0x19d699a5u, 0xb11924e1u, 0x16118b03u, 0x53c93455u};
const c8 kBase32Alphabet[] = "123456789ABCDEFGHJKMNPQRSTUVWXYZ";

}  // namespace

void hash160(const void* data, s32 length, u32 seed, u32 out[5]) {
    const u32* const M = kLaneMultiplier;
    const u8* bytes = static_cast<const u8*>(data);
    u32 h[5];
    h[0] = seed ^ static_cast<u32>(length);
    for (int i = 1; i < 5; ++i) h[i] = h[0] ^ M[i];
    const s32 blocks = length >= 4 ? length / 4 : 0;
    for (s32 b = 0; b < blocks; ++b) {
        const u8* p = bytes + b * 4;
        u32 k = static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
                (static_cast<u32>(p[3]) << 24);
        k *= M[0];
        k ^= k >> 24;
        k *= M[0];
        // each lane mixes in its neighbour as it was before this block; the last one takes the new h0
        h[0] = (h[0] * M[0]) ^ k ^ h[1];
        h[1] = (h[1] * M[1]) ^ k ^ h[2];
        h[2] = (h[2] * M[2]) ^ k ^ h[3];
        h[3] = (h[3] * M[3]) ^ k ^ h[4];
        h[4] = (h[4] * M[4]) ^ k ^ h[0];
    }
    const s32 rest = length > 0 ? length & 3 : 0;
    const u8* tail = bytes + blocks * 4;
    if (rest == 3)
        for (int i = 0; i < 5; ++i) h[i] ^= static_cast<u32>(tail[2]) << 16;
    if (rest >= 2)
        for (int i = 0; i < 5; ++i) h[i] ^= static_cast<u32>(tail[1]) << 8;
    if (rest >= 1)
        for (int i = 0; i < 5; ++i) h[i] = (h[i] ^ tail[0]) * M[i];
    for (int i = 0; i < 5; ++i) {
        h[i] ^= h[i] >> 13;
        h[i] *= M[i];
        h[i] ^= h[i] >> 15;
    }
    out[0] = h[0] ^ h[1] ^ h[2] ^ h[3] ^ h[4];
    for (int i = 1; i < 5; ++i) out[i] = h[i] ^ h[0];
}

s32 base32EncodedLength(s32 byteCount) { return byteCount < 1 ? 0 : (byteCount * 8 + 4) / 5; }

void base32SplitGroup(const u8* bytes, s32 count, u8 values[8]) {
    irr::u64 group = 0;
    for (s32 i = 0; i < 5; ++i) group = (group << 8) | (i < count ? bytes[i] : 0);
    for (s32 i = 0; i < 8; ++i) values[i] = static_cast<u8>((group >> (35 - 5 * i)) & 31);
}

bool base32Split(const void* bytes, s32 length, u8* values) {
    if (!bytes || length < 1 || !values) return false;
    const u8* in = static_cast<const u8*>(bytes);
    s32 written = 0;
    for (s32 at = 0; at < length; at += 5) {
        const s32 count = length - at < 5 ? length - at : 5;
        u8 group[8];
        base32SplitGroup(in + at, count, group);
        const s32 keep = base32EncodedLength(count);
        for (s32 i = 0; i < keep; ++i) values[written++] = group[i];
    }
    return true;
}

bool base32MapAlphabet(const u8* values, s32 count, c8* text) {
    if (!values || count < 1 || !text) return false;
    for (s32 i = 0; i < count; ++i) text[i] = kBase32Alphabet[values[i] & 31];
    return true;
}

stringc cacheHashText(const void* data, s32 length) {
    u32 hash[5];
    hash160(data, length, 0, hash);
    u8 hashBytes[20];
    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b) hashBytes[i * 4 + b] = static_cast<u8>(hash[i] >> (8 * b));
    u8 values[32];
    c8 text[33];
    text[32] = 0;
    if (!base32Split(hashBytes, 20, values) || !base32MapAlphabet(values, 32, text)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Failed to encode base32");
        std::memset(text, 'X', 32);
    }
    return stringc(text);
}

bool isCacheHashText(const std::string& text) {
    if (text.size() != kCacheHashLength) return false;
    for (char c : text)
        if (!std::strchr(kBase32Alphabet, c) || !c) return false;
    return true;
}
