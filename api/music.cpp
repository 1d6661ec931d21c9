#include "music.h"

#include "engine_context.h"
#include "idtable.h"
#include "log.h"

namespace {
IdTable* g_musics = nullptr;
}

IdTable* qeIrrlichtMusicTable() { return g_musics; }

int qeIrrlichtMusicInit() {
    if (g_musics) return 0;
    g_musics = qeIdTableCreate(QE_MAX_MUSICS);
    if (!g_musics) {
        qeLogPrint(QE_LOG_ERROR, "fails to create music list");
        return -1;
    }
    return 0;
}

// The table only: the musics it points to belong to the music commands.
void qeIrrlichtMusicTerm() {
    if (g_musics) {
        qeIdTableDestroy(g_musics);
        g_musics = nullptr;
    }
}
