#ifndef QIRN_EFFECTS_GPU_QESHADERCACHE_H
#define QIRN_EFFECTS_GPU_QESHADERCACHE_H

// The on-disk compiled-shader cache: reading a blob back, writing one, replacing what a source leaves
// for an older content of its own, and clearing the files that no request can use. Its other parts:
// QeShaderHash.h (hash and base32 names), QeShaderSources.h (the sources' facts, content keys and the
// date test), QeShaderCacheInfo.h (names and the ".inf" form), QeShaderCachePaths.h (recorded source
// paths) and QeShaderCacheFiles.h (its calls on files); what a pack takes of it is declared with the GPU
// programming services (IQeGPUProgrammingServices.h). A cache moved with its shaders still hits, and
// two different same-named sources in same-named folders each keep a blob of their own. A blob that a
// source leaves for an older content of its own goes when the new one is written (or found), and the
// files of another form go the first time a run has to compile a shader.

#include <irrlicht.h>

#include "gpu/QeShaderCacheInfo.h"
#include "gpu/QeShaderSources.h"

// Removes the engine's own files in the cache folder that no request can use: blobs without their
// ".inf", ".inf" files without their blob, both files of a blob whose ".inf" is of another form, and
// both files of a blob whose every source is surely gone (neither its path from the cache folder nor its
// full path finds it; a source that is gone while others are not is no longer listed). A blob without a
// usable ".inf" is left while it or its ".inf" is under a minute old: another run may be between writing
// the two. No other file is touched. Gives the number of files removed.
irr::s32 removeStaleCacheFiles(irr::io::IFileSystem* fs, const irr::core::stringc& folder);

// True when the blob's ".inf" names exactly these macros and this source's content (what it holds is
// given in `info` when asked for).
bool isCachedShaderMatch(irr::io::IFileSystem* fs, const irr::core::stringc& blob, const irr::core::stringc& source,
                         const SShaderMacroList& macros, SShaderFileMemo* memo = nullptr, SCacheInfo* info = nullptr);

// The cached blob of a shader as a new buffer that the caller owns, or null. The memo (one of the
// caller's, or one for this call only when none is given) keeps what was read of the source files by
// their paths: a memo that outlives a change of the current folder must be given full paths. With
// ESCM_WRITE, a blob used by a source that its ".inf" does not list yet gets that source added, and one
// that lists it by a line out of date (of the earlier form, or from before a move) gets its current line.
irr::video::SShaderCodeBuffer* readShaderCache(irr::io::IFileSystem* fs, const irr::core::stringc& folder,
                                               irr::u32 mode, const irr::core::stringc& file, const char* entry,
                                               bool vertex, const SShaderMacroList& macros,
                                               SShaderFileMemo* memo = nullptr);
// Writes a blob and its ".inf" (creating the folder); a failed write leaves no blob behind. Blobs that
// the same source left for the same entry point and macros over another content are removed (or, when
// other sources use them too, no longer list this one).
bool writeShaderCache(irr::io::IFileSystem* fs, const irr::core::stringc& folder, irr::u32 mode,
                      const irr::core::stringc& file, const char* entry, bool vertex, const SShaderMacroList& macros,
                      const irr::video::SShaderCodeBuffer& code, SShaderFileMemo* memo = nullptr);

// True when the bytes look like compiled shader tokens of the stage: whole tokens, the stage's version
// token first and the end token last.
bool isShaderTokenBlob(const void* data, irr::u32 size, bool vertex);

#endif
