#ifndef QIRN_EFFECTS_GPU_QESHADERINCLUDEFILES_H
#define QIRN_EFFECTS_GPU_QESHADERINCLUDEFILES_H

// The files that a shader source includes, for a pack that has to carry them: those that the compiler
// asks for, found as the include callback finds them while it compiles (in the source's folder, then in
// the folders of the includes found before), with what they include in turn; and those that the cache's
// content key of the source reads.

#include <irrlicht.h>

#include <string>
#include <vector>

// One include: the file whose line names it, the name as the line writes it, where it was found (empty
// when it was not), and whether the compiler reads it whatever the shader's macros: false for an include
// under a condition that the walk cannot decide (a macro that a permutation may set), and for one that
// only the content key reads (one named in a comment, say).
struct SShaderIncludeFile {
    std::string includer;
    std::string name;
    std::string path;
    bool certain;
};

// The includes of `source`, each found file once (an include cycle ends). Lines in comments and in
// branches that are surely skipped ("#if 0", an "#else" of a branch taken, an include guard met again)
// ask the compiler for nothing.
void listShaderIncludeFiles(irr::io::IFileSystem* fs, const irr::core::stringc& source,
                            std::vector<SShaderIncludeFile>* files);

#endif
