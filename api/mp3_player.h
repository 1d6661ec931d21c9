#ifndef QIRN_API_MP3_PLAYER_H
#define QIRN_API_MP3_PLAYER_H

#include <cstdint>

// Plays one mp3 file held whole in memory through a DirectShow filter graph whose source filter reads
// that memory. Every operation but load does nothing until a load has succeeded (the position ones then
// answer -1, the volume 0). Main thread only.
class MemoryMp3Player {
public:
    MemoryMp3Player();
    ~MemoryMp3Player();
    MemoryMp3Player(const MemoryMp3Player&) = delete;
    MemoryMp3Player& operator=(const MemoryMp3Player&) = delete;

    // Copies the bytes and builds the playback graph, stopped at 0. 0 on success; 1 after printing why.
    int load(const void* bytes, uint32_t size);
    void run();
    void pause();
    // Stops and goes back to the start.
    void stop();
    // Milliseconds, or -1.
    int position();
    // The stream's length in milliseconds, or -1.
    int length();
    // 0 when the graph took the position exactly, else -1.
    int setPosition(int ms);
    // Hundredths of a decibel, -10000 (silent) to 0.
    void setVolume(int millibels);
    int volume();
    // Stops and frees the graph and the data; may run more than once.
    void release();

    struct State;

private:
    State* state_;
};

#endif
