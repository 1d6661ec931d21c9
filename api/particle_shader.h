#ifndef QIRN_API_PARTICLE_SHADER_H
#define QIRN_API_PARTICLE_SHADER_H

struct ParticleShaderBlock;
struct ShaderObject;
namespace irr { namespace scene { class ISceneNode; } }

enum { QE_PARTICLE_PERMUTATIONS = 48 };

// The permutation of "Particle.hlsl" a block selects: 1 image colour, 2 colour gradient, 4 size gradient,
// 8 rotation, plus 16 times the blend kind (0 to 47); -1 for a blend kind past 2.
int qeIrrlichtParticleShaderIndex(const ParticleShaderBlock* block);
// The define names of a permutation into out (at least 6 entries), ended by null; gives their count.
int qeIrrlichtParticleShaderDefines(int index, const char** out);

// Render-system start: empties the permutation cache; always 0.
int qeIrrlichtParticleShaderInit();
// Binds the block's permutation (made on first use) to material 0 of the node with the particle marker
// and the block's address: 0, or -1 with a message box when the shader could not be had (the material
// stays as it was; the permutation is tried again next time).
int qeIrrlichtParticleShaderApply(irr::scene::ISceneNode* node, ParticleShaderBlock* block);
// The cached shader of a permutation, null while there is none.
ShaderObject* qeIrrlichtParticleShaderCached(int index);
// Engine stop: frees the cached shaders.
void qeIrrlichtParticleShaderReset();

#endif
