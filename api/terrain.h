#ifndef QIRN_API_TERRAIN_H
#define QIRN_API_TERRAIN_H

#include <cstdint>

namespace irr {
namespace io { class IReadFile; }
namespace scene { class ITerrainSceneNode; }
}  // namespace irr

// Terrains: an object whose file name holds ".terrain" is a terrain node built from the height map beside
// it (base + "_height.raw", else base + "_height.bmp"), with an optional colour and detail texture.
int qeIrrlichtObjIsTerrainName(const char* name);
irr::scene::ITerrainSceneNode* qeIrrlichtLoadTerrain(const char* file);
// A raw map of 257 or 513 square 16-bit samples as a BMP image in memory ("heightmap"), or null.
irr::io::IReadFile* openHeightMapFileRaw(const char* name, int* width, int* height);
irr::io::IReadFile* qeIrrlichtOpenHeightMapFileBmp(const char* name, int* width, int* height);

// The base name: the file name cut at its first ".layer". At most size - 1 characters are kept.
void qeIrrlichtTerrainBaseName(const char* file, char* out, int size);
// The colour a raw sample becomes: the height in the three channels with its fraction spread over them.
void qeIrrlichtTerrainEncodeHeight(uint16_t sample, uint8_t rgb[3]);

#endif
