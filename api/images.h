#ifndef QIRN_API_IMAGES_H
#define QIRN_API_IMAGES_H

#include <cstdint>

namespace irr { namespace video { class ITexture; } }

// Script-visible 2D images by ID: loaded through the driver's texture cache (shared by file name), or
// made as render targets that a whole frame can be rendered into. Pastes go through the 2D overlay with
// the module's colour and alpha.
struct ImageEntry {
    int32_t id;
    irr::video::ITexture* texture;  // the driver's
};

int qeIrrlichtLoadImage(const char* fileName, int id);
// The target is named "qeRtImage" and the ID. It stays with the driver when the image is deleted (whatever
// took it by that name may still draw from it); the ID made again at the same size takes it back.
int qeIrrlichtMakeImage(int width, int height, int id);
void qeIrrlichtRenderToImage(int id, int clear);
void qeIrrlichtSetImageColor(uint32_t colour);
void qeIrrlichtSetImageAlpha(uint32_t alpha);  // kept as given
int qeIrrlichtPasteImage(int id, int x, int y, int useAlpha);
int qeIrrlichtPasteImageStretch(int id, int x, int y, int width, int height, int useAlpha);
// No effect exists to paste with: after the image check it always reports the effect ID (argument 6).
int qeIrrlichtPasteImageWithEffect(int id, int x, int y, int width, int height, int effectId);
int qeIrrlichtImageExist(int id);
int qeIrrlichtImageWidth(int id);
int qeIrrlichtImageHeight(int id);
void qeIrrlichtDeleteImage(int id);

#endif
