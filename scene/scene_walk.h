#ifndef QIRN_SCENE_SCENE_WALK_H
#define QIRN_SCENE_SCENE_WALK_H

// The chunk walk behind read_form, as a template over what it hands each chunk to, so that the scene
// image's loader gets its chunks by an inlined call instead of through the process-wide callback.
//
// Every chunk id is classified once, into its kind: a slot of a 32-entry table that a multiplicative
// hash of the id picks (the known ids fill distinct slots), or kNoKind for any other id. Which children
// a container reads and which chunks are containers are then bit tests.

#include <cstdint>
#include <cstring>

#include "scene_reader.h"

namespace qescene {

const uint32_t kKindHash = 0xE4AB0E11u;  // spreads the 24 known ids over 24 distinct slots of 32
const int kKindSlots = 32;
const int kNoKind = kKindSlots;

constexpr int kindSlot(uint32_t id) { return int((id * kKindHash) >> 27); }

// The known ids, each container with the children it reads (anything else inside it is skipped by its
// length).
struct KnownChunk {
    uint32_t id;
    bool container;
    uint32_t reads[9];  // 0 ends the list
};

constexpr KnownChunk kKnownChunks[] = {
    {QE_ID_QIRN, true, {QE_ID_SCEN, QE_ID_BKDR, QE_ID_PROC, QE_ID_OBJE, QE_ID_LIGH, QE_ID_CAME, QE_ID_SOBJ,
                        QE_ID_FXEM, QE_ID_CGRP}},
    {QE_ID_SCEN, true, {QE_ID_NAME, QE_ID_FNAM, QE_ID_PRPS, QE_ID_CHAN}},
    {QE_ID_BKDR, true, {QE_ID_PRPS}},
    {QE_ID_PROC, true, {QE_ID_PRPS, QE_ID_IMFL}},
    {QE_ID_IMFL, true, {QE_ID_NAME, QE_ID_PRPS, QE_ID_SHAD}},
    {QE_ID_SHAD, true, {QE_ID_FNAM, QE_ID_PRPS}},
    {QE_ID_SSHA, true, {QE_ID_PRPS, QE_ID_SHAD}},
    {QE_ID_HVSH, true, {QE_ID_PRPS, QE_ID_SHAD}},
    {QE_ID_OBJE, true, {QE_ID_NAME, QE_ID_FNAM, QE_ID_PRPS}},
    {QE_ID_LIGH, true, {QE_ID_NAME, QE_ID_PRPS}},
    {QE_ID_CAME, true, {QE_ID_NAME, QE_ID_PRPS}},
    {QE_ID_SOBJ, true, {QE_ID_NAME, QE_ID_FNAM, QE_ID_SURF}},
    {QE_ID_SURF, true, {QE_ID_NAME, QE_ID_PRPS, QE_ID_SSHA}},
    {QE_ID_FXEM, true, {QE_ID_NAME, QE_ID_PRPS, QE_ID_HVSH}},
    {QE_ID_CGRP, true, {QE_ID_NAME, QE_ID_CGRP, QE_ID_CHAN}},
    {QE_ID_CHAN, true, {QE_ID_NAME, QE_ID_TYPE, QE_ID_VALS}},
    {QE_ID_VALS, true, {QE_ID_VRUN, QE_ID_VDAT}},
    {QE_ID_PRPS, true, {QE_ID_PROP}},
    {QE_ID_NAME, false, {}},
    {QE_ID_FNAM, false, {}},
    {QE_ID_TYPE, false, {}},
    {QE_ID_PROP, false, {}},
    {QE_ID_VRUN, false, {}},
    {QE_ID_VDAT, false, {}},
};

struct KindTable {
    uint32_t id[kKindSlots];     // the id of each slot's kind, 0 for a free slot
    uint32_t reads[kKindSlots];  // by the kind of a container: a bit for each kind it reads
    uint32_t containers;         // a bit for each container kind
    bool distinct;               // no two known ids share a slot
};

constexpr KindTable makeKindTable() {
    KindTable t{};
    t.distinct = true;
    for (const KnownChunk& c : kKnownChunks) {
        const int s = kindSlot(c.id);
        if (t.id[s] != 0) t.distinct = false;
        t.id[s] = c.id;
        if (c.container) t.containers |= 1u << s;
        for (uint32_t child : c.reads)
            if (child) t.reads[s] |= 1u << kindSlot(child);
    }
    return t;
}

constexpr KindTable kKinds = makeKindTable();
static_assert(kKinds.distinct, "two chunk ids share a kind slot: choose another kKindHash");

inline int chunkKind(uint32_t id) {
    const int s = kindSlot(id);
    return kKinds.id[s] == id ? s : kNoKind;
}

constexpr int kindOf(uint32_t knownId) { return kindSlot(knownId); }

inline bool readsChild(int parentKind, int kind) {
    return kind != kNoKind && parentKind != kNoKind && ((kKinds.reads[parentKind] >> kind) & 1u) != 0;
}

inline bool isContainer(int kind) { return kind != kNoKind && ((kKinds.containers >> kind) & 1u) != 0; }

inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline uint32_t be16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | uint32_t(p[1]); }

// The common leaves checked in place: a name (a text of at most 255 characters, its NUL and a pad byte
// to an even size fill the chunk) and baked values (a count and that many values). False sends the
// leaf to checkLeaf, which also has the message.
inline bool leafFits(const uint8_t* body, int kind, uint32_t len) {
    if (kind == kindOf(QE_ID_VDAT)) return len >= 4 && be32(body) <= (len - 4) / 4 && 4 + 4 * be32(body) == len;
    if (kind != kindOf(QE_ID_NAME)) return false;
    if (len == 0 || len > QE_SCENE_MAX_NAME + 1) return false;
    uint32_t n = 0;
    for (uint32_t w; n + 4 <= len; n += 4) {  // four bytes at a time up to the word that holds a NUL
        std::memcpy(&w, body + n, 4);
        if ((w - 0x01010101u) & ~w & 0x80808080u) break;
    }
    while (n < len && body[n]) ++n;
    return n < len && ((n + 2) & ~1u) == len;
}

// Checks a leaf's content against its length (0), or prints why not and gives -1.
int checkLeaf(SceneMemoryFile* f, uint32_t id, uint32_t pos, uint32_t len);
// The messages of a walk that ends on a broken header or nesting (all give -1).
int refuseShortHeader(uint32_t parent, uint32_t left, uint32_t pos);
int refuseOverrun(uint32_t parent, uint32_t id, uint32_t headerPos, uint32_t len, uint32_t left);
int refuseDepth(uint32_t id, uint32_t pos);
// The probe at the start of a scene chunk for the older 16-bit nested lengths.
void probeNestedWidth(SceneMemoryFile* f, uint32_t pos, uint32_t len);

// Visit: int(int depth, uint32_t parent, int parentKind, uint32_t id, int kind, uint32_t bodyOffset,
// uint32_t bodyLength), called for every chunk header before its body; non-zero stops the walk.
//
// One chunk whose header has been read: a read leaf is checked first (so that the visit may read it in
// place), then the visit, then the body of a container its parent reads.
template <typename Visit>
int walkChildren(SceneMemoryFile* f, int depth, uint32_t parent, int parentKind, uint32_t pos, uint32_t length,
                 Visit& visit);

template <typename Visit>
inline int walkChunk(SceneMemoryFile* f, int depth, uint32_t parent, int parentKind, uint32_t id, uint32_t pos,
                     uint32_t len, Visit& visit) {
    const int kind = chunkKind(id);
    const bool reads = readsChild(parentKind, kind);
    const bool container = isContainer(kind);
    if (reads && !container && !leafFits(f->data + pos, kind, len) && checkLeaf(f, id, pos, len) != 0) return -1;
    if (visit(depth, parent, parentKind, id, kind, pos, len) != 0) return -1;
    if (!reads || !container) return 0;
    if (depth + 1 > QE_SCENE_MAX_DEPTH) return refuseDepth(id, pos);
    if (id == QE_ID_SCEN) probeNestedWidth(f, pos, len);
    return walkChildren(f, depth + 1, id, kind, pos, len, visit);
}

template <typename Visit>
int walkChildren(SceneMemoryFile* f, int depth, uint32_t parent, int parentKind, uint32_t pos, uint32_t length,
                 Visit& visit) {
    const uint32_t end = pos + length;
    while (pos < end) {
        const uint32_t width = f->longNestedLengths ? 4 : 2;
        if (end - pos < 4 + width) return refuseShortHeader(parent, end - pos, pos);
        const uint8_t* header = f->data + pos;
        const uint32_t id = be32(header);
        const uint32_t len = width == 4 ? be32(header + 4) : be16(header + 4);
        pos += 4 + width;
        if (len > end - pos) return refuseOverrun(parent, id, pos - 4 - width, len, end - pos);
        if (walkChunk(f, depth, parent, parentKind, id, pos, len, visit) != 0) return -1;
        pos += len;
    }
    return 0;
}

// Checks the file header and walks the top-level chunks (always with 32-bit lengths): 0, or -1 with
// the reason printed.
int checkForm(SceneMemoryFile* f, uint32_t* end);
int refuseTopOverrun(uint32_t id, uint32_t headerPos, uint32_t len, uint32_t left);
int refuseTopShortHeader(uint32_t left, uint32_t pos);

template <typename Visit>
int walkForm(SceneMemoryFile* f, Visit& visit) {
    uint32_t end = 0;
    if (checkForm(f, &end) != 0) return -1;
    const int top = kindOf(QE_ID_QIRN);
    uint32_t pos = 12;
    while (pos < end) {
        if (end - pos < 8) return refuseTopShortHeader(end - pos, pos);
        const uint32_t id = be32(f->data + pos);
        const uint32_t len = be32(f->data + pos + 4);
        pos += 8;
        if (len > end - pos) return refuseTopOverrun(id, pos - 8, len, end - pos);
        if (walkChunk(f, 0, QE_ID_QIRN, top, id, pos, len, visit) != 0) return -1;
        pos += len;
    }
    f->pos = end;
    return 0;
}

}  // namespace qescene

#endif
