#include "images.h"

#include <irrlicht.h>

#include <cstdio>
#include <new>

#include "engine.h"
#include "engine_context.h"
#include "frame.h"
#include "idtable.h"
#include "log.h"
#include "overlay.h"

using namespace irr;

namespace {

struct ImageModule {
    uint32_t colour = 0xFFFFFF;
    uint32_t alpha = 255;
    uint32_t replaced = 0;  // render targets put aside under names of their own
};
ImageModule g_images;

// Engine stop, while the driver still exists: frees every entry (the driver frees the textures).
void resetImages() {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (IdTable* table = ctx->images) {
        for (int id = 0; id < table->capacity; ++id) {
            if (ImageEntry* entry = static_cast<ImageEntry*>(table->slots[id])) {
                table->slots[id] = nullptr;
                delete entry;
            }
        }
    }
    g_images = ImageModule{};
}

ImageModule& module() {
    qeIrrlichtRegisterModuleReset(resetImages, QE_STOP_BEFORE_DROP);
    return g_images;
}

// A new entry under the ID, or null after the refusal is logged with the ID's argument number.
ImageEntry* addEntry(EngineContext* ctx, int id, int argIndex) {
    module();
    ImageEntry* entry = new (std::nothrow) ImageEntry{id, nullptr};
    if (!entry) return nullptr;
    if (qeIdTableAdd(ctx->images, id, entry) != 0) {
        qeLogError(argIndex, "invalid Image ID %d : %s", id, qeIdTableGetMessage());
        delete entry;
        return nullptr;
    }
    return entry;
}

// A render target stays with the driver when its image goes: the cache hands it to anything that asks for
// its name (a camera effect's texture slot, a surface, another image), and none of those holds a reference
// that would tell whether it is still drawn from. The driver frees it with the engine.
void dropEntry(EngineContext* ctx, ImageEntry* entry) {
    qeIdTableRemove(ctx->images, entry->id);
    delete entry;
}

// The target for image `id`: the one an earlier image of that ID left with the driver when it has the size
// and format asked for, else a new one. A left target of another size keeps living for whatever still draws
// from it, under a name of its own, so that the image's name finds only the new one.
video::ITexture* renderTarget(video::IVideoDriver* driver, int id, u32 width, u32 height) {
    char name[32];
    std::snprintf(name, sizeof(name), "qeRtImage%d", id);
    if (video::ITexture* left = driver->findTexture(name)) {
        if (left->isRenderTarget() && left->getOriginalSize() == core::dimension2d<u32>(width, height) &&
            left->getColorFormat() == video::ECF_A8R8G8B8)
            return left;
        char aside[48];
        std::snprintf(aside, sizeof(aside), "%s (replaced %u)", name, ++g_images.replaced);
        driver->renameTexture(left, aside);
    }
    return driver->addRenderTargetTexture(core::dimension2d<u32>(width, height), name, video::ECF_A8R8G8B8);
}

// The target of an image of width x height, or null when the device cannot make one of that very size:
// below 1, beyond its largest texture, or (a driver that rounds a size up to a power of two, or cuts it to
// its largest) a target of another size, which is then given back.
video::ITexture* makeTarget(video::IVideoDriver* driver, int id, int width, int height) {
    const core::dimension2du largest = driver->getMaxTextureSize();
    if (width < 1 || height < 1 || static_cast<u32>(width) > largest.Width || static_cast<u32>(height) > largest.Height)
        return nullptr;
    const core::dimension2du size(static_cast<u32>(width), static_cast<u32>(height));
    video::ITexture* target = renderTarget(driver, id, size.Width, size.Height);
    if (target && target->getSize() != size) {
        driver->removeTexture(target);
        return nullptr;
    }
    return target;
}

ImageEntry* findImage(int id) {
    ImageEntry* entry = static_cast<ImageEntry*>(qeIdTableGet(qeIrrlichtGetContext()->images, id));
    if (!entry) qeLogError(1, "Image ID %d does not exist. %s", id, qeIdTableGetMessage());
    return entry;
}

EngineContext* needDriver(const char* function) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->driver || !ctx->images) {
        qeLogError(-1, "%s: no engine is running", function);
        return nullptr;
    }
    return ctx;
}

int paste(int id, int x, int y, int width, int height, int useAlpha) {
    ImageEntry* entry = findImage(id);
    if (!entry) return -1;
    const ImageModule& m = module();
    if (qeIrrlichtOverlayAddImage(entry->texture, x, y, width, height, useAlpha, (m.alpha << 24) | m.colour) != 0) {
        qeLogError(-1, "too many 2D draws in one frame");
        return -1;
    }
    return 0;
}

}  // namespace

int qeIrrlichtLoadImage(const char* fileName, int id) {
    EngineContext* ctx = needDriver(__func__);
    if (!ctx) return -1;
    ImageEntry* entry = addEntry(ctx, id, 2);
    if (!entry) return -1;
    entry->texture = fileName ? ctx->driver->getTexture(fileName) : nullptr;
    if (!entry->texture) {
        qeLogError(1, "Failed to load image '%s'", fileName ? fileName : "");
        dropEntry(ctx, entry);
        return -1;
    }
    return 0;
}

int qeIrrlichtMakeImage(int width, int height, int id) {
    EngineContext* ctx = needDriver(__func__);
    if (!ctx) return -1;
    ImageEntry* entry = addEntry(ctx, id, 3);
    if (!entry) return -1;
    entry->texture = makeTarget(ctx->driver, id, width, height);
    if (!entry->texture) {
        qeLogError(1, "Failed to make image");
        dropEntry(ctx, entry);
        return -1;
    }
    return 0;
}

void qeIrrlichtRenderToImage(int id, int clear) {
    ImageEntry* entry = findImage(id);
    if (!entry) return;
    if (!entry->texture->isRenderTarget()) {
        qeLogError(1, "Image ID %d is not renderable", id);
        return;
    }
    qeIrrlichtSyncToTarget(entry->texture, clear != 0);
}

void qeIrrlichtSetImageColor(uint32_t colour) { module().colour = colour; }
void qeIrrlichtSetImageAlpha(uint32_t alpha) { module().alpha = alpha; }

int qeIrrlichtPasteImage(int id, int x, int y, int useAlpha) { return paste(id, x, y, -1, -1, useAlpha); }

int qeIrrlichtPasteImageStretch(int id, int x, int y, int width, int height, int useAlpha) {
    return paste(id, x, y, width, height, useAlpha);
}

int qeIrrlichtPasteImageWithEffect(int id, int, int, int, int, int effectId) {
    if (!findImage(id)) return -1;
    qeIdTableGet(qeIrrlichtGetContext()->effects, effectId);  // sets the table's message for a bad ID
    qeLogError(6, "Effect ID %d does not exist. %s", effectId, qeIdTableGetMessage());
    return -1;
}

int qeIrrlichtImageExist(int id) { return qeIdTableGet(qeIrrlichtGetContext()->images, id) ? 1 : 0; }

int qeIrrlichtImageWidth(int id) {
    ImageEntry* entry = findImage(id);
    return entry ? static_cast<int>(entry->texture->getOriginalSize().Width) : 0;
}

int qeIrrlichtImageHeight(int id) {
    ImageEntry* entry = findImage(id);
    return entry ? static_cast<int>(entry->texture->getOriginalSize().Height) : 0;
}

void qeIrrlichtDeleteImage(int id) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ImageEntry* entry = static_cast<ImageEntry*>(qeIdTableGet(ctx->images, id));
    if (entry) dropEntry(ctx, entry);
}
