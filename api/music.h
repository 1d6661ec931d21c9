#ifndef QIRN_API_MUSIC_H
#define QIRN_API_MUSIC_H

struct IdTable;

// The music list: an ID table of QE_MAX_MUSICS entries that lives while the engine runs. Each music holds
// its file name and one memory mp3 player loaded with the whole file.
int qeIrrlichtMusicInit();
// Stops and frees every music, then the table.
void qeIrrlichtMusicTerm();
IdTable* qeIrrlichtMusicTable();

// Commands. Every one but MusicExist and DeleteMusic logs "Music ID %d does not exist. %s" for an ID
// that holds no music and returns -1 (MusicVolume 0).
int qeIrrlichtLoadMusic(const char* fileName, int id);
int qeIrrlichtMusicExist(int id);
int qeIrrlichtDeleteMusic(int id);  // -1 without a message when absent
int qeIrrlichtPlayMusic(int id);    // a music marked playing (also when paused) restarts from the start
int qeIrrlichtStopMusic(int id);
int qeIrrlichtPauseMusic(int id);
int qeIrrlichtResumeMusic(int id);
int qeIrrlichtSetMusicPosition(int id, int ms);
int qeIrrlichtGetMusicPosition(int id);
// The music's length in milliseconds; -1 for an unknown ID or when the player cannot tell.
int qeIrrlichtGetMusicLength(int id);
// Whether a music's position has come to rest at its end (played through, the player's position stops
// within a few tens of milliseconds of the length). False when either is unknown (-1).
int qeMusicPositionAtEnd(int position, int length);
int qeIrrlichtSetMusicVolume(int id, int percent);
int qeIrrlichtMusicVolume(int id);

// Volume in percent to hundredths of a decibel (-10000..0) and back, by the fast float-bit logarithm
// and power the players' volumes have always been set and read with.
int qeMusicPercentToMillibels(int percent);
int qeMusicMillibelsToPercent(int millibels);

#endif
