// Motion of the live particles (expiry, resistance, gravity, Euler step, depth key) and the depth sort.
#include <xmmintrin.h>

#include <cstring>
#include <utility>
#include <vector>

#include "QeParticleSystem.h"

using irr::f32;
using irr::u32;

namespace {

struct MotionValues {
    __m128 keep;     // 1 - k: what resistance leaves of the velocity
    __m128 gravity;  // gravity × dt
    __m128 dt;
    __m128 viewer;
};

// The step of one live particle: resistance, gravity, position and depth key as the variant has them.
template <bool Resistance, bool Gravity, bool Key>
inline void stepParticle(SQeParticle* cur, const MotionValues& mv) {
    __m128 v = _mm_load_ps(cur->velocity);
    if (Resistance) v = _mm_mul_ps(v, mv.keep);
    if (Gravity) v = _mm_add_ps(v, mv.gravity);
    __m128 p = _mm_add_ps(_mm_load_ps(cur->position), _mm_mul_ps(v, mv.dt));
    _mm_store_ps(cur->velocity, v);
    _mm_store_ps(cur->position, p);
    if (Key) {
        __m128 d = _mm_sub_ps(p, mv.viewer);
        d = _mm_mul_ps(d, d);
        d = _mm_add_ps(d, _mm_movehl_ps(d, d));
        d = _mm_add_ss(d, _mm_shuffle_ps(d, d, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_store_ss(&cur->depthKey, d);
    }
}

// A record's key and its place in the list as the sort found it.
struct SortEntry {
    f32 key;
    u32 index;
};

// A key as an unsigned word that orders like the key, farthest first: the smallest word is the largest key.
struct WordEntry {
    u32 word;
    u32 index;
};

// Working memory of the depth sort, kept between calls so that a frame allocates nothing once the
// largest list has been seen: the records and their keys in list order (keys[0]), a second buffer of
// keys for the merge passes, the keys' words and the sort of runs.
struct RunSorter;
struct SortScratch {
    std::vector<SQeParticle*> records;
    std::vector<SortEntry> keys[2];
    std::vector<u32> words;
    RunSorter* runs = nullptr;
    ~SortScratch();
};

SortScratch* sortScratch = nullptr;

SortScratch& scratch() {
    if (!sortScratch) sortScratch = new SortScratch();
    return *sortScratch;
}

// The list's records and keys, oldest first, gathered by the motion walk as it goes.
struct Gathered {
    std::vector<SQeParticle*>& records;
    std::vector<SortEntry>& keys;
};

// The walk of the live list from its oldest record: expired records are removed in list order (so the
// free list receives them in that order); with Move the others take their step. One walk per
// combination of forces, so that the loop carries no test for an absent one. With Gather (depth keys
// only) the walk also notes every survivor and its new key, in list order, for the sort that follows.
template <bool Move, bool Resistance, bool Gravity, bool Key, bool Gather = false>
u32 walkList(SQeParticleBuffer* buffer, SQeParticle*& tail, f32 now, const MotionValues& mv,
             Gathered* gathered = nullptr) {
    if (!tail) return 0;
    SQeParticle* prev = tail;
    SQeParticle* cur = tail->next;
    u32 live = 0;
    for (;;) {
        SQeParticle* next = cur->next;
        const bool last = cur == tail;
        _mm_prefetch(reinterpret_cast<const char*>(next), _MM_HINT_NTA);
        if (cur->death < now) {
            if (cur == prev) {
                // The only record of the list.
                tail = nullptr;
                freeParticleRecord(buffer, cur);
                break;
            }
            prev->next = next;
            if (last) tail = prev;
            freeParticleRecord(buffer, cur);
            if (last) break;
            cur = next;
            continue;
        }
        if (Move) stepParticle<Resistance, Gravity, Key>(cur, mv);
        if (Gather) {
            gathered->records.push_back(cur);
            gathered->keys.push_back(SortEntry{cur->depthKey, live});
        }
        ++live;
        if (last) break;
        prev = cur;
        cur = next;
    }
    return live;
}

// The same update with the steps made in block order, for an emitter whose buffer is its own and
// mostly live: every record of the block is either free (position w 0) or in this list, and a step's
// result does not depend on the order of the records. Only when some record has expired does the list
// walk follow, to remove them in list order.
template <bool Resistance, bool Gravity, bool Key>
u32 walkBlock(SQeParticleBuffer* buffer, SQeParticle*& tail, f32 now, const MotionValues& mv,
              Gathered* = nullptr) {
    if (!tail) return 0;
    u32 live = 0, expired = 0;
    for (SQeParticle *cur = buffer->block, *end = buffer->block + buffer->count; cur != end; ++cur) {
        if (cur->position[3] != 1.0f) continue;
        if (cur->death < now) {
            ++expired;
            continue;
        }
        stepParticle<Resistance, Gravity, Key>(cur, mv);
        ++live;
    }
    if (expired) walkList<false, false, false, false>(buffer, tail, now, mv);
    return live;
}

typedef u32 (*WalkFunction)(SQeParticleBuffer*, SQeParticle*&, f32, const MotionValues&, Gathered*);

const WalkFunction listWalks[8] = {
    walkList<true, false, false, false>, walkList<true, false, false, true>, walkList<true, false, true, false>,
    walkList<true, false, true, true>,   walkList<true, true, false, false>, walkList<true, true, false, true>,
    walkList<true, true, true, false>,   walkList<true, true, true, true>,
};

// The depth-key walks that also gather the survivors for the sort (index: resistance 2, gravity 1).
const WalkFunction gatheringWalks[4] = {
    walkList<true, false, false, true, true>, walkList<true, false, true, true, true>,
    walkList<true, true, false, true, true>,  walkList<true, true, true, true, true>,
};

const WalkFunction blockWalks[8] = {
    walkBlock<false, false, false>, walkBlock<false, false, true>, walkBlock<false, true, false>,
    walkBlock<false, true, true>,   walkBlock<true, false, false>, walkBlock<true, false, true>,
    walkBlock<true, true, false>,   walkBlock<true, true, true>,
};

// The step values of a call and the variant (resistance 4, gravity 2, depth key 1) they select.
int motionValues(const SQeFxEmitterSettings* s, f32 dt, MotionValues& mv) {
    const bool resistance = s->resistance != 0.0f;
    const bool gravity = s->gravity[0] != 0.0f || s->gravity[1] != 0.0f || s->gravity[2] != 0.0f;
    const bool key = s->depthSort != 0;

    // The drag factor of the step. A long step (a node shown again after a long hide) or a weight of 0
    // would take more than the whole velocity and flip it, a negative one would feed it: the factor is
    // kept between 0 (no drag) and 1 (the particle stops).
    f32 k = s->resistance / s->weight * dt;
    if (!(k > 0.0f)) k = 0.0f;
    if (k > 1.0f) k = 1.0f;

    mv.keep = _mm_set1_ps(1.0f - k);
    mv.gravity = _mm_mul_ps(_mm_set_ps(0.0f, s->gravity[2], s->gravity[1], s->gravity[0]), _mm_set1_ps(dt));
    mv.dt = _mm_set1_ps(dt);
    mv.viewer = _mm_loadu_ps(s->viewerPosition);
    return (resistance ? 4 : 0) | (gravity ? 2 : 0) | (key ? 1 : 0);
}

// Block order pays once the list holds a quarter of the block: below that, walking the free records
// costs more than following the links.
bool movesInBlockOrder(const SQeFxEmitterSettings* s) {
    const SQeParticleBuffer* b = s->particleBuffer;
    return b && !s->usesSharedBuffer && b->count && s->liveCount >= b->count / 4;
}

// The natural merge, on entries of the gathered list in list order (in, n entries; out is a second
// buffer of n). Greater (a, b) tells that a's key is greater than b's, NotGreater (a, b) that it is not
// greater (both as the keys compare, so that a key that is not a number behaves as in the comparisons
// of the merge on the records). Returns the number of passes; order receives the entries in their
// final order (one of the two buffers).
template <typename Entry, typename Greater, typename NotGreater>
u32 mergeEntries(Entry* in, Entry* out, u32 n, Greater greater, NotGreater notGreater, const Entry** order) {
    // Input list 0 is in[0, n0) read forward, input list 1 is in[n - n1, n) read backward from its last
    // entry; output lists likewise in out, so that the two lists of a pass always fit in n entries.
    u32 n0 = n, n1 = 0;
    u32 passes = 0;
    for (;;) {
        ++passes;
        u32 r0 = 0, r1 = n - 1;              // heads of the two input lists
        const u32 end0 = n0, end1 = n - n1;  // r0 < end0 and r1 + 1 > end1 while records are left
        u32 w0 = 0, w1 = n;                  // out[0, w0) and out[w1, n)
        Entry last = in[0];                  // the entry last appended to the current output list
        int current = 0;
        bool started = false;                // the current output list has an entry
        for (u32 left = n; left; --left) {
            int from;
            if (r1 + 1 <= end1) {
                from = 0;
            } else if (r0 >= end0) {
                from = 1;
            } else {
                const Entry& h0 = in[r0];
                const Entry& h1 = in[r1];
                const int larger = greater(h0, h1) ? 0 : 1;
                if (started) {
                    const bool c0 = notGreater(h0, last), c1 = notGreater(h1, last);
                    from = c0 != c1 ? (c0 ? 0 : 1) : larger;
                } else {
                    from = larger;
                }
            }
            const Entry e = from == 0 ? in[r0++] : in[r1--];
            // A key above the current run's last one ends the run: the next run goes to the other list.
            // The current list's last entry is always the pass's previous pick.
            if (started && greater(e, last)) current ^= 1;
            if (current == 0)
                out[w0++] = e;
            else
                out[--w1] = e;
            last = e;
            started = true;
        }
        if (w1 == n) break;
        n0 = w0;
        n1 = n - w1;
        std::swap(in, out);
    }
    *order = out;
    return passes;
}

// Lists shorter than this are merged entry by entry: the sort by words pays for its counts only on
// longer ones.
const u32 kWordSortMinimum = 64;

// The keys as unsigned words in the order of the merge: the word of a greater key is smaller, equal
// keys (0 and -0 among them) have equal words. False when a key is not a number: such keys compare
// as no word can.
bool keyWords(const SortEntry* keys, u32 n, u32* words) {
    for (u32 i = 0; i < n; ++i) {
        u32 bits;
        std::memcpy(&bits, &keys[i].key, sizeof bits);
        if ((bits & 0x7FFFFFFFu) > 0x7F800000u) return false;  // not a number
        if (bits == 0x80000000u) bits = 0;                     // -0 is the same key as 0
        // Ascending keys as ascending words, then reversed: farthest first.
        words[i] = ~((bits & 0x80000000u) ? ~bits : (bits | 0x80000000u));
    }
    return true;
}

// The merge's order without its passes over the records. A pass of the merge turns the i-th run of its
// first input list and the i-th run of its second into the i-th run of its output (runs: stretches of
// non-increasing keys; a list's run is over when its next key is greater, and so is the other's by then),
// and runs only ever grow: by such a merge, which puts the second list's records before the first's on
// equal keys, or when a run that a list received follows the previous one without a greater key, which
// keeps their order. The passes are therefore played on the runs alone, as a tree whose leaves are the
// runs of the list and whose nodes give their first child's records before their second's on equal
// keys; the order of the leaves in the tree ranks the records of equal keys. The records then go in
// that order (by leaf, and in list order within one) through a stable sort of their words.
struct RunSorter {
    struct Unit {
        u32 node;        // leaf (a run of the list) or node of the tree
        u32 head, tail;  // words of its first and last record
    };
    struct Node {
        u32 first, second;  // children, the first one's records ahead on equal keys
    };
    std::vector<u32> runStart;  // first record of each run of the list, then n
    std::vector<Node> nodes;    // node k of the tree is nodes[k - runs]
    std::vector<Unit> merged, lists[2];
    std::vector<u32> stack;
    std::vector<WordEntry> entries[2];
    u32 counts[3][1u << 11];

    // Consecutive units of a list that form one run (no greater key where they meet) are joined.
    void join(std::vector<Unit>& list, u32 runs) {
        u32 w = 0;
        for (u32 i = 0; i < list.size(); ++i) {
            if (w && list[i].head >= list[w - 1].tail) {
                nodes.push_back(Node{list[w - 1].node, list[i].node});
                list[w - 1].node = runs + static_cast<u32>(nodes.size()) - 1;
                list[w - 1].tail = list[i].tail;
            } else {
                list[w++] = list[i];
            }
        }
        list.resize(w);
    }

    // The order of the n records whose words are given in list order (at least two runs); returns the
    // merge's number of passes, order receives the records' indices in their final order.
    u32 sort(const u32* words, u32 n, const WordEntry** order) {
        runStart.clear();
        nodes.clear();
        for (u32 i = 0; i < n; ++i)
            if (i == 0 || words[i] < words[i - 1]) runStart.push_back(i);
        const u32 runs = static_cast<u32>(runStart.size());
        runStart.push_back(n);

        // The first pass hands the runs of the list to its two outputs in turn.
        for (std::vector<Unit>& list : lists) list.clear();
        for (u32 r = 0; r < runs; ++r) lists[r & 1].push_back(Unit{r, words[runStart[r]], words[runStart[r + 1] - 1]});
        u32 passes = 1;
        for (;;) {
            ++passes;
            join(lists[0], runs);
            join(lists[1], runs);
            std::vector<Unit>& out = merged;
            out.clear();
            const size_t count = lists[0].size() > lists[1].size() ? lists[0].size() : lists[1].size();
            for (size_t i = 0; i < count; ++i) {
                if (i < lists[0].size() && i < lists[1].size()) {
                    const Unit& a = lists[0][i];
                    const Unit& b = lists[1][i];
                    nodes.push_back(Node{b.node, a.node});
                    out.push_back(Unit{runs + static_cast<u32>(nodes.size()) - 1, a.head < b.head ? a.head : b.head,
                                       a.tail > b.tail ? a.tail : b.tail});
                } else {
                    out.push_back(i < lists[0].size() ? lists[0][i] : lists[1][i]);
                }
            }
            if (out.size() == 1) break;
            for (std::vector<Unit>& list : lists) list.clear();
            for (size_t i = 0; i < out.size(); ++i) lists[i & 1].push_back(out[i]);
        }

        // The records by leaf in the order of the tree, each run in list order.
        for (std::vector<WordEntry>& e : entries)
            if (e.size() < n) e.resize(n);
        WordEntry* in = entries[0].data();
        u32 at = 0;
        stack.clear();
        stack.push_back(merged[0].node);
        while (!stack.empty()) {
            const u32 node = stack.back();
            stack.pop_back();
            if (node >= runs) {
                stack.push_back(nodes[node - runs].second);
                stack.push_back(nodes[node - runs].first);
                continue;
            }
            for (u32 i = runStart[node]; i < runStart[node + 1]; ++i) in[at++] = WordEntry{words[i], i};
        }

        // A stable sort of the words, least significant digit first (11, 11 and 10 bits).
        WordEntry* out = entries[1].data();
        std::memset(counts, 0, sizeof counts);
        for (u32 i = 0; i < n; ++i) {
            const u32 w = in[i].word;
            ++counts[0][w & 0x7FF];
            ++counts[1][(w >> 11) & 0x7FF];
            ++counts[2][w >> 22];
        }
        for (int d = 0; d < 3; ++d) {
            const int shift = 11 * d;
            u32* count = counts[d];
            // A digit that all words share leaves the order as it is.
            if (count[(in[0].word >> shift) & 0x7FF] == n) continue;
            u32 start = 0;
            for (u32 b = 0; b < (1u << 11); ++b) {
                const u32 c = count[b];
                count[b] = start;
                start += c;
            }
            for (u32 i = 0; i < n; ++i) out[count[(in[i].word >> shift) & 0x7FF]++] = in[i];
            std::swap(in, out);
        }
        *order = in;
        return passes;
    }
};

// Relinks the records in the order of the entries (their indices into records); the list stays
// circular through its new tail.
template <typename Entry>
void relink(std::vector<SQeParticle*>& records, const Entry* order, u32 n, SQeParticle*& tail) {
    for (u32 i = 0; i + 1 < n; ++i) records[order[i].index]->next = records[order[i + 1].index];
    tail = records[order[n - 1].index];
    tail->next = records[order[0].index];
}

// Sorts the gathered list (records and keys in list order) and relinks it. Returns the merge passes made.
u32 sortGathered(SortScratch& scratch, SQeParticle*& tail) {
    const u32 n = static_cast<u32>(scratch.records.size());
    if (n < 2) return 0;
    // A list already in order is one run: the merge would end after one pass that changes nothing.
    SortEntry* keys = scratch.keys[0].data();
    u32 i = 1;
    while (i < n && !(keys[i].key > keys[i - 1].key)) ++i;
    if (i == n) return 1;
    if (n >= kWordSortMinimum) {
        if (scratch.words.size() < n) scratch.words.resize(n);
        if (keyWords(keys, n, scratch.words.data())) {
            if (!scratch.runs) scratch.runs = new RunSorter();
            const WordEntry* order = nullptr;
            const u32 passes = scratch.runs->sort(scratch.words.data(), n, &order);
            relink(scratch.records, order, n, tail);
            return passes;
        }
    }
    if (scratch.keys[1].size() < n) scratch.keys[1].resize(n);
    const SortEntry* order = nullptr;
    const u32 passes = mergeEntries(
        keys, scratch.keys[1].data(), n, [](const SortEntry& a, const SortEntry& b) { return a.key > b.key; },
        [](const SortEntry& a, const SortEntry& b) { return a.key <= b.key; }, &order);
    relink(scratch.records, order, n, tail);
    return passes;
}

}  // namespace

SortScratch::~SortScratch() { delete runs; }

void releaseParticleSortScratch() {
    delete sortScratch;
    sortScratch = nullptr;
}

u32 moveParticles(SQeFxEmitterSettings* s, f32 now, f32 dt) {
    if (!s->liveTail) return 0;
    MotionValues mv;
    const int variant = motionValues(s, dt, mv);
    return (movesInBlockOrder(s) ? blockWalks : listWalks)[variant](s->particleBuffer, s->liveTail, now, mv, nullptr);
}

u32 moveAndSortParticles(SQeFxEmitterSettings* s, f32 now, f32 dt) {
    if (!s->depthSort || movesInBlockOrder(s)) {
        const u32 live = moveParticles(s, now, dt);
        if (s->depthSort && live > 1) sortParticlesByDepth(s->liveTail);
        return live;
    }
    if (!s->liveTail) return 0;
    MotionValues mv;
    const int variant = motionValues(s, dt, mv);
    SortScratch& sc = scratch();
    sc.records.clear();
    sc.keys[0].clear();
    Gathered gathered{sc.records, sc.keys[0]};
    const u32 live = gatheringWalks[variant >> 1](s->particleBuffer, s->liveTail, now, mv, &gathered);
    if (live > 1) sortGathered(sc, s->liveTail);
    return live;
}

u32 sortParticlesByDepth(SQeParticle*& tail) {
    if (!tail || tail->next == tail) return 0;
    SortScratch& sc = scratch();
    sc.records.clear();
    sc.keys[0].clear();
    u32 index = 0;
    for (SQeParticle* p = tail->next;; p = p->next) {
        sc.records.push_back(p);
        sc.keys[0].push_back(SortEntry{p->depthKey, index++});
        if (p == tail) break;
    }
    return sortGathered(sc, tail);
}
