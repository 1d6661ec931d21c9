#ifndef QIRN_API_FXEMITTER_INTERNAL_H
#define QIRN_API_FXEMITTER_INTERNAL_H

// The steps of fx-emitter creation that the emitters over objects share with the others.

#include <cstdint>

struct FxEmitterEntry;
namespace irr { namespace scene { class IMesh; } }

// A new entry with the defaults under the ID ("invalid FxEmitter ID" when the table refuses it), or null.
FxEmitterEntry* qeFxEmitterNewEntry(int id, uint32_t isStatic, float x, float y, float z);
// Removes the node (when there is one) and frees the entry under the ID.
void qeFxEmitterDiscard(int id, FxEmitterEntry* entry);
// The material set-up; on failure "failed to setup material image" (argument 2), the emitter discarded.
int qeFxEmitterFinish(int id, FxEmitterEntry* entry, const char* image);
// Common creation of the moving emitters: a particle node with its emitter set up, emitting nothing yet.
FxEmitterEntry* qeFxEmitterCreate(int id, const char* image, float x, float y, float z);
// Points the mesh nozzle at the mesh with that nozzle kind, holding the mesh while the emitter reads it.
void qeFxEmitterSetNozzleMesh(FxEmitterEntry* entry, irr::scene::IMesh* mesh, uint32_t kind);

#endif
