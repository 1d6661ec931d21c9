#ifndef QIRN_API_DRAW2D_H
#define QIRN_API_DRAW2D_H

#include <cstdint>

// Screen faders, the ink colour with boxes and lines, colour packing, and text with its font, colour and
// alpha. Drawing commands queue their items in the 2D overlay; a full queue logs "too many 2D draws in one
// frame" and answers -1.

void qeIrrlichtStopFade();
void qeIrrlichtFadeIn(int timeMs, uint32_t colour);
void qeIrrlichtFadeOut(int timeMs, uint32_t colour);

void qeIrrlichtInk(uint32_t colour);
void qeIrrlichtInkAlpha(uint32_t alpha);  // kept as given: 300 gives a top byte of 0x2C
int qeIrrlichtBox(int x1, int y1, int x2, int y2);
int qeIrrlichtLine(int x1, int y1, int x2, int y2);
// No effect exists to draw with: always reports the effect ID (argument 5) and queues nothing.
int qeIrrlichtBoxWithEffect(int x1, int y1, int x2, int y2, int effectId);

// 0xRRGGBB from the low 8 bits of each value; RGBf takes each channel times 255, truncated.
uint32_t qeIrrlichtRGB(int r, int g, int b);
uint32_t qeIrrlichtRGBf(float r, float g, float b);

// Texts are formatted into a 512-byte buffer: longer ones are cut at 511 characters.
int qeIrrlichtText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void qeIrrlichtSetTextColor(uint32_t colour);  // low 24 bits kept
void qeIrrlichtSetTextAlpha(int alpha);        // clamped to 0..255
const char* qeIrrlichtTextFont();              // NULL while the default font is in use
uint32_t qeIrrlichtTextColor();
uint32_t qeIrrlichtTextAlpha();
int qeIrrlichtTextWidth(const char* format, ...) __attribute__((format(printf, 1, 2)));
int qeIrrlichtTextHeight(const char* format, ...) __attribute__((format(printf, 1, 2)));
// NULL goes back to the default font; a font that cannot be loaded leaves the current one (-1).
int qeIrrlichtSetTextFont(const char* fileName);

#endif
