#ifndef QIRN_EFFECTS_GPU_QESHADERHASH_H
#define QIRN_EFFECTS_GPU_QESHADERHASH_H

// The hashing of the compiled-shader cache: the 160-bit hash of its keys and the base32 text that names
// them ("123456789ABCDEFGHJKMNPQRSTUVWXYZ": no 0, I, L or O), 32 characters for the 20 hash bytes.

#include <irrlicht.h>

#include <string>

// 160-bit hash of length bytes (five lanes of a multiply-xor mix); out receives five words, which as
// bytes are taken in order, each little-endian.
void hash160(const void* data, irr::s32 length, irr::u32 seed, irr::u32 out[5]);

// Characters that base32 gives for byteCount bytes (ceil(8n/5)); 0 for fewer than one byte.
irr::s32 base32EncodedLength(irr::s32 byteCount);
// Splits count (1 to 5) bytes, padded with zeros to five, into eight 5-bit values, most significant first.
void base32SplitGroup(const irr::u8* bytes, irr::s32 count, irr::u8 values[8]);
// Splits length bytes into base32EncodedLength(length) 5-bit values; false on a missing input or output
// or a length below 1.
bool base32Split(const void* bytes, irr::s32 length, irr::u8* values);
// Maps count 5-bit values onto the alphabet (no terminator written).
bool base32MapAlphabet(const irr::u8* values, irr::s32 count, irr::c8* text);

// The characters of a hash text.
const size_t kCacheHashLength = 32;
// The 32 base32 characters of the hash160 (seed 0) of the bytes.
irr::core::stringc cacheHashText(const void* data, irr::s32 length);
// Whether the text is a hash text: 32 characters of the alphabet.
bool isCacheHashText(const std::string& text);

#endif
