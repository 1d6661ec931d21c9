#ifndef QIRN_API_MUSIC_H
#define QIRN_API_MUSIC_H

struct IdTable;

// The music list: an ID table of QE_MAX_MUSICS entries that lives while the engine runs.
int qeIrrlichtMusicInit();
void qeIrrlichtMusicTerm();
IdTable* qeIrrlichtMusicTable();

#endif
