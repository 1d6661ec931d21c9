#include "music.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine_context.h"
#include "idtable.h"
#include "log.h"
#include "mp3_player.h"
#include "sysfile.h"

namespace {

const size_t kNameSize = 2048;

struct MusicEntry {
    char fileName[kNameSize];
    MemoryMp3Player* player;
    int32_t playing;  // 1 after play or resume, 0 after stop; pause leaves it set
};

struct MusicModule {
    IdTable* table = nullptr;
};
MusicModule g_music;

uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof(u));
    return u;
}

float floatOf(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof(f));
    return f;
}

float fastLog10(float x) {
    const uint32_t bits = bitsOf(x);
    const int exponent = static_cast<int>((bits >> 23) & 0xFF) - 127;
    const float m = floatOf((bits & ~(0xFFu << 23)) | (127u << 23));
    const float log2 = m * (-0.33333334f * m + 2.0f) - 1.6666666f + static_cast<float>(exponent);
    return log2 * 0.30103f;
}

float fastPow10(float y) {
    const float t = y * 3.321928f;
    const int i = static_cast<int>(t);
    const float f = t - static_cast<float>(i);
    const float p = f * (0.25f * f + 0.75f) + 1.0f;
    if (i < -126) return 0.0f;  // below the smallest normal float: silence
    if (i > 127) return floatOf(0x7F7FFFFFu);
    return floatOf(bitsOf(p) + static_cast<uint32_t>(i) * (1u << 23));
}

// The music under `id`, or NULL after logging the unknown-ID message.
MusicEntry* knownMusic(int id) {
    MusicEntry* entry = static_cast<MusicEntry*>(qeIdTableGet(g_music.table, id));
    if (!entry) qeLogError(1, "Music ID %d does not exist. %s", id, qeIdTableGetMessage());
    return entry;
}

void stopMusic(MusicEntry* entry) {
    entry->player->stop();
    entry->playing = 0;
}

void freeMusic(MusicEntry* entry) {
    if (entry->player) {
        if (entry->playing) stopMusic(entry);
        entry->player->release();
        delete entry->player;
    }
    std::free(entry);
}

}  // namespace

IdTable* qeIrrlichtMusicTable() { return g_music.table; }

int qeIrrlichtMusicInit() {
    if (g_music.table) return 0;
    g_music.table = qeIdTableCreate(QE_MAX_MUSICS);
    if (!g_music.table) {
        qeLogPrint(QE_LOG_ERROR, "fails to create music list");
        return -1;
    }
    return 0;
}

void qeIrrlichtMusicTerm() {
    if (!g_music.table) return;
    for (int id = 0; id < g_music.table->capacity; ++id) {
        if (MusicEntry* entry = static_cast<MusicEntry*>(g_music.table->slots[id])) {
            g_music.table->slots[id] = nullptr;
            freeMusic(entry);
        }
    }
    qeIdTableDestroy(g_music.table);
    g_music = MusicModule{};
}

int qeIrrlichtLoadMusic(const char* fileName, int id) {
    // A cut name would load another file.
    if (!fileName || std::strlen(fileName) >= kNameSize) {
        qeLogError(1, "Failed to load mp3: the file name is missing or too long");
        return -1;
    }
    MusicEntry* entry = static_cast<MusicEntry*>(std::calloc(1, sizeof(MusicEntry)));
    if (!entry || qeIdTableAdd(g_music.table, id, entry) != 0) {
        qeLogError(2, "invalid Music ID %d : %s", id, qeIdTableGetMessage());
        std::free(entry);
        return -1;
    }
    std::strcpy(entry->fileName, fileName);

    entry->player = new (std::nothrow) MemoryMp3Player();
    if (!entry->player) {
        qeLogError(-1, "Failed to create mp3 renderer");
        qeIdTableRemove(g_music.table, id);
        std::free(entry);
        return -1;
    }
    size_t size = 0;
    char* bytes = qeSysReadWholeFile(entry->fileName, &size);
    const bool loaded = bytes && size <= UINT32_MAX && entry->player->load(bytes, static_cast<uint32_t>(size)) == 0;
    std::free(bytes);
    if (!loaded) {
        qeLogError(-1, "Failed to load mp3");
        qeIdTableRemove(g_music.table, id);
        freeMusic(entry);
        return -1;
    }
    return 0;
}

int qeIrrlichtMusicExist(int id) { return qeIdTableGet(g_music.table, id) ? 1 : 0; }

int qeIrrlichtDeleteMusic(int id) {
    MusicEntry* entry = static_cast<MusicEntry*>(qeIdTableGet(g_music.table, id));
    if (!entry) return -1;
    qeIdTableRemove(g_music.table, id);
    freeMusic(entry);
    return 0;
}

int qeIrrlichtPlayMusic(int id) {
    MusicEntry* entry = knownMusic(id);
    if (!entry) return -1;
    if (entry->playing) entry->player->stop();
    entry->player->run();
    entry->playing = 1;
    return 0;
}

int qeIrrlichtStopMusic(int id) {
    MusicEntry* entry = knownMusic(id);
    if (!entry) return -1;
    stopMusic(entry);
    return 0;
}

int qeIrrlichtPauseMusic(int id) {
    MusicEntry* entry = knownMusic(id);
    if (!entry) return -1;
    if (entry->playing) entry->player->pause();
    return 0;
}

int qeIrrlichtResumeMusic(int id) {
    MusicEntry* entry = knownMusic(id);
    if (!entry) return -1;
    entry->player->run();
    entry->playing = 1;
    return 0;
}

int qeIrrlichtSetMusicPosition(int id, int ms) {
    MusicEntry* entry = knownMusic(id);
    return entry ? entry->player->setPosition(ms) : -1;
}

int qeIrrlichtGetMusicPosition(int id) {
    MusicEntry* entry = knownMusic(id);
    return entry ? entry->player->position() : -1;
}

int qeIrrlichtGetMusicLength(int id) {
    MusicEntry* entry = knownMusic(id);
    return entry ? entry->player->length() : -1;
}

int qeMusicPositionAtEnd(int position, int length) {
    return position >= 0 && length > 0 && position >= length - 100 ? 1 : 0;
}

int qeIrrlichtSetMusicVolume(int id, int percent) {
    MusicEntry* entry = knownMusic(id);
    if (!entry) return -1;
    entry->player->setVolume(qeMusicPercentToMillibels(percent));
    return 0;
}

int qeIrrlichtMusicVolume(int id) {
    MusicEntry* entry = knownMusic(id);
    return entry ? qeMusicMillibelsToPercent(entry->player->volume()) : 0;
}

int qeMusicPercentToMillibels(int percent) {
    // The logarithm ignores the sign: a negative percent would play as loud as its opposite.
    if (percent <= 0) return -10000;
    const float x = static_cast<float>(percent / 100.0);
    double millibels = fastLog10(x) * 20.0 * 100.0;
    if (millibels < -10000.0) millibels = -10000.0;
    if (millibels > 0.0) millibels = 0.0;
    return static_cast<int>(millibels);
}

int qeMusicMillibelsToPercent(int millibels) {
    const float y = static_cast<float>(millibels / 100.0 / 20.0);
    return static_cast<int>(fastPow10(y) * 100.0);
}
