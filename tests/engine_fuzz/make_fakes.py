#!/usr/bin/env python3
"""Writes stand-ins for the engine's scene manager, video driver and file system interfaces, so that a
fuzzer can run one loader without the rest of the engine. Every method the compiler reports as not
implemented traps, except those the harness defines itself (fuzz_fakes_own.h, included in each class).

usage: make_fakes.py ENGINE_INCLUDE_DIR OUT_HEADER
"""
import re
import subprocess
import sys

CLASSES = [("scene", "ISceneManager", "FakeScene", {"getVideoDriver", "getMeshManipulator", "getFileSystem"}),
           ("video", "IVideoDriver", "FakeDriver", {"getTexture"}),
           ("io", "IFileSystem", "FakeFiles", {"existFile", "getFileDir", "getFileBasename", "getAbsolutePath",
                                                  "createAndOpenFile", "createXMLReaderUTF8"})]


def main():
    include, out = sys.argv[1:]
    probe = "#include <irrlicht.h>\nusing namespace irr;\n"
    for ns, base, fake, _ in CLASSES:
        probe += "struct %s : %s::%s {};\n" % (fake, ns, base)
    probe += "void f() {%s}\n" % "".join(" new %s();" % c[2] for c in CLASSES)
    run = subprocess.run(["clang++", "-std=gnu++14", "-fsyntax-only", "-ferror-limit=0", "-D_IRR_STATIC_LIB_",
                          "-I" + include, "-x", "c++", "-"], input=probe.encode(), capture_output=True)
    notes = re.findall(r"^(\S+?):(\d+):\d+: note: unimplemented pure virtual method '(\w+)' in '(\w+)'",
                       run.stderr.decode(), re.M)
    bodies = {c[2]: [] for c in CLASSES}
    lines = {}
    for path, line, name, fake in notes:
        own = next(c[3] for c in CLASSES if c[2] == fake)
        if name in own:
            continue
        text = lines.setdefault(path, open(path).read().split("\n"))
        decl = ""
        i = int(line) - 1
        while ";" not in decl:
            decl += " " + text[i].strip()
            i += 1
        decl = decl[:decl.index(";")]
        decl = re.sub(r"^\s*virtual\s+", "", decl)
        decl = re.sub(r"=\s*0\s*$", "", decl).rstrip()
        bodies[fake].append("    %s override { trap(\"%s\"); }" % (decl, name))
    with open(out, "w") as f:
        f.write("// Written by make_fakes.py: engine interfaces whose every call traps but the harness's own.\n")
        f.write("#include <irrlicht.h>\n#include <cstdio>\n#include <cstdlib>\n")
        f.write("[[noreturn]] inline void trap(const char* name) { std::fprintf(stderr, \"fake called: %s\\n\", name); std::abort(); }\n")
        for ns, base, fake, _ in CLASSES:
            f.write("namespace irr { namespace %s {\nstruct %s : %s {\n#define QE_FAKE_%s\n#include \"fuzz_fakes_own.h\"\n#undef QE_FAKE_%s\n"
                    % (ns, fake, base, fake.upper(), fake.upper()))
            f.write("\n".join(bodies[fake]))
            f.write("\n};\n} }\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
