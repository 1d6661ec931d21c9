#!/usr/bin/env python3
"""Writes docs/commands.md, the script command reference, from the command tables themselves.

The tables are the luaL_Reg arrays of frontends/script/commands_*.cpp, in the order that
ScriptCommandTable (frontends/script/script.cpp) lists them. Each row's engine function gives the
arguments (names and kinds from its declaration) and the row's wrapper gives the result; the comments
in the table give the rest:

    //! Title            before a table: the group's title; later //! lines are its introduction
    //! Title            inside a table: a section of the group, with its introduction
    /// text             the next row's description (units, ranges, errors)
    /// (args) -> kind   the next row's arguments and result, for rows whose wrapper does not tell them
                         (a row whose wrapper does tell them must agree with them)

Argument lists read "name: kind", "[name: kind = default]" for an optional argument and "name...: text"
for the text joined from every further argument.

    make_command_docs.py            writes docs/commands.md
    make_command_docs.py --check    exits 1, naming what differs, when docs/commands.md is not what
                                    the tables give (a command missing from it, a changed argument...)
"""
import difflib
import os
import re
import signal
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SCRIPT_DIR = os.path.join(ROOT, "frontends", "script")
DOC = os.path.join(ROOT, "docs", "commands.md")
# Where the engine functions behind the commands are declared.
DECLARATION_DIRS = ["api", "shell", "renderer", "frontends/script"]

KINDS = {"int": "integer", "float": "number", "uint32_t": "colour", "const char*": "string"}
RESULTS = {
    "QE_RESULT_NONE": "nothing",
    "QE_RESULT_BOOLEAN": "boolean",
    "QE_RESULT_INTEGER": "integer",
    "QE_RESULT_NUMBER": "number",
    "QE_RESULT_STRING": "string",
}
# Wrappers whose first template argument is the engine function, with the result they push and whether
# they create (delete what the new ID holds first). cmdIntColour checks its colour as an integer.
WRAPPERS = {
    "qeScriptCmd": ("nothing", False),
    "qeScriptCmdBoolean": ("boolean", False),
    "qeScriptCmdInteger": ("integer", False),
    "qeScriptCmdString": ("string", False),
    "cmdIntColour": ("nothing", False),
    "cmdMakeEmitter": ("nothing", True),
}

INTRODUCTION = """\
<!-- Written by scripts/make_command_docs.py from the command tables in frontends/script/: edit the
     tables' comments, then run the script. A test fails when this file is not what they give. -->
# Script commands

A `.lua` or `.xlua` script run by qirn.exe sees the engine's commands in the global table `qe` (also
`require("qe")`). This is every one of them, grouped as the command tables are.

**Calling.** `qe.Name(arguments)`. Each argument has a kind:

- *integer*: a number, taken as a 32-bit integer, -2147483648 (-2^31) to 2147483647 (2^31-1); one that
  is not whole is rounded to the nearest integer, a half to the even one (`2.5` gives 2, `3.5` gives 4,
  `-2.5` gives -2). The integers of `Ink`, `InkAlpha`, `SetImageColor` and `SetImageAlpha` are kept as
  their 32 bits: they also take 2^31 to 0xFFFFFFFF (2^32-1), and -1 is the same as 0xFFFFFFFF;
- *number*: a number (kept as a 32-bit float);
- *colour*: a number, rounded as an integer is and taken modulo 2^32 (`-1` gives 0xFFFFFFFF, `2^32 + 16`
  gives 16), as 0xRRGGBB (the top byte is not used); NaN, the infinities and numbers of magnitude 2^53
  or more, which have no such value, are refused;
- *string*: a string (numbers are converted);
- *boolean*: `true` or `false` only: `1`, `0` and `nil` are refused;
- *text*: every further argument through `tostring`, joined by single spaces (at most 1023 characters).

Where a number is expected (integer, number, colour), a string that converts to one (`"7"`, `"1.5"`,
`"0xFF"`) is taken as that number.

`[name: kind = default]` marks an optional argument: left out, it takes the default; given, even as
`nil`, it is checked. Angles are in degrees, times in milliseconds unless a command says otherwise.

**IDs.** Objects, lights, images and fx emitters are kept under IDs 0-999 that the script chooses,
camera effects under 0-199, musics under 0-49. The commands that make an entity say what they do with
one that its ID already holds.

**Errors.** Every error is a Lua error that ends the script (or goes to the script's own `pcall`); the
script's error is written to the standard error stream as one line (run qirn.exe with `-console` to
see it) and the engine is stopped. Behind the script's name and line (such as `demo.lua:12:`) they
read:

- `calling 'Name' without Setup first`: every command except `Setup`, `Term`, `IsSetup`,
  `FileRequester`, `MessageBox`, `ScreenModeDialog` and `ScreenModeOption` needs a started engine;
- `bad argument #n to 'Name' (number expected, got string)` and the like: an argument of the wrong
  kind (integer and colour arguments, too, say `number expected`);
- `bad argument #n to 'Name' (number has no integer representation)`: an integer argument that does
  not round into its range: NaN (`0/0`), an infinity (`1/0`), or a number beyond the range (`2^31`,
  `2^53`, `2^32 + 5`, `1e308`); a colour that is NaN, an infinity or of magnitude 2^53 or more (`2^53`,
  `-2^53`, `1e308`). The command does nothing. The `SetObjectSurfaceParam...` commands are checked
  otherwise: they look at their name (argument 3) alone and raise `the parameter does not exist` (#3)
  before any other argument is checked, so neither a wrong kind nor a number out of range in another
  argument is ever reported;
- `bad argument #n to 'Name' (text)`: the engine refused the call, `n` being the argument it blames
  (-1 for none). Commands that take an ID raise `Object ID 7 does not exist. id 7 does not exist` (for
  Object, read Light, Image, FxEmitter or Music) as argument #1 when the ID holds no entity, and
  `... invalid negative ID -1` or `... invalid ID 1000 greater or equals than 1000` for an ID out of
  its range. The `...Exist` commands and the `Delete...` commands never raise it.

**Message boxes.** Besides `MessageBox` and the dialogs, a few commands show a message box when they
meet a broken file or setting, and the script waits until it is answered; then the command goes on:
`Setup` with bits other than 32 ("LightPrePass only for 32bpp"), `LoadObject` of a terrain whose height
map is missing ("Cannot load height map file '...'", then the command raises "Failed to load terrain
'name'") or whose raw height map is neither 257 nor 513 samples wide, and `MakeCameraEffectFromFile` of
a shader that names a texture which cannot be loaded.

A command called through `pcall(qe.Name, ...)` is named `'qe.Name'` in these texts, and `'?'` in the
missing-Setup one: Lua has no name for it at such a call.

A typical script:

```lua
qe.Setup(800, 600)            -- 800x600 window, 32 bits; a light, the camera at (0, 0, -5)
qe.LoadObject("cube.x", 1)
while qe.Run() and not qe.EscapeKey() do
  qe.RotateObject(1, 0, qe.Timer() / 20, 0)
  qe.Text(10, 10, "time", qe.Timer())
  qe.Sync()
end
qe.Term()
```
"""


class DocError(Exception):
    pass


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def split_top(text, separator=","):
    """Splits at separators outside <>, () and {}."""
    parts, depth, current = [], 0, ""
    for ch in text:
        if ch in "<({":
            depth += 1
        elif ch in ">)}":
            depth -= 1
        if ch == separator and depth == 0:
            parts.append(current.strip())
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current.strip())
    return parts


def normal_type(text):
    text = re.sub(r"\s+", " ", text.strip())
    return text.replace(" *", "*")


def parse_params(text):
    """The (kind, name) of each parameter of a declaration's parameter list."""
    params = []
    for part in split_top(text):
        if part in ("", "void"):
            continue
        if part == "...":
            raise DecodeUnsupported()
        m = re.match(r"^(.*?[\s*&])([A-Za-z_]\w*)$", part)
        if m and normal_type(m.group(1)) in KINDS:
            type_text, name = m.group(1), m.group(2)
        else:
            type_text, name = part, None
        kind = KINDS.get(normal_type(type_text))
        if not kind:
            raise DecodeUnsupported()
        params.append((kind, name))
    return params


class DecodeUnsupported(Exception):
    pass


class Declarations:
    """Parameter lists of the functions declared in the engine's headers and the command files."""

    def __init__(self):
        # Headers first: their declarations name every parameter.
        self.sources = []
        for extension in (".h", ".cpp"):
            for folder in DECLARATION_DIRS:
                base = os.path.join(ROOT, folder)
                for name in sorted(os.listdir(base)):
                    if name.endswith(extension):
                        self.sources.append(read(os.path.join(base, name)))

    def params(self, function):
        # A return type (not a call's "return") before the name.
        pattern = re.compile(r"^[ \t]*(?:(?:inline|static|const)\s+)*(?!return\b)[A-Za-z_][\w:<>]*[\s*&]+" +
                             re.escape(function) + r"\s*\(([^)]*)\)\s*[;{]", re.M)
        for source in self.sources:
            m = pattern.search(source)
            if m:
                return parse_params(m.group(1))
        raise DocError("no declaration of %s" % function)


class Row:
    def __init__(self, name, binding, doc, signature):
        self.name, self.binding, self.doc, self.signature = name, binding, doc, signature
        self.args = None  # list of (name, kind, optional default or None, rest)
        self.result = None
        self.replaces = False


def parse_signature(text):
    """'(a: integer, [b: boolean = true], c...: text) -> kind' as arguments and result."""
    m = re.match(r"^\((.*)\)\s*->\s*(\w+)$", text.strip())
    if not m:
        raise DocError("cannot read the argument line '%s'" % text)
    args = []
    for item in split_top(m.group(1)):
        optional = item.startswith("[") and item.endswith("]")
        if optional:
            item = item[1:-1]
        default = None
        if "=" in item:
            item, default = [x.strip() for x in item.split("=", 1)]
        if ":" not in item:
            raise DocError("argument '%s' has no kind" % item)
        name, kind = [x.strip() for x in item.split(":", 1)]
        rest = name.endswith("...")
        args.append((name, kind, default if optional else None, rest))
    return args, m.group(2)


def template_args(binding):
    """('wrapper', [template arguments]) of a row's function expression."""
    m = re.match(r"^([\w:]+)\s*(?:<(.*)>)?$", binding.strip(), re.S)
    if not m:
        raise DocError("cannot read the binding '%s'" % binding)
    return m.group(1), split_top(m.group(2)) if m.group(2) else []


def ignored_params(argument):
    """qeScriptIgnore<int, float> or qeScriptFalse<int>: the kinds, without names."""
    wrapper, types = template_args(argument)
    if wrapper not in ("qeScriptIgnore", "qeScriptFalse"):
        return None
    kinds = []
    for t in types:
        kind = KINDS.get(normal_type(t))
        if not kind:
            raise DocError("no kind for %s" % t)
        kinds.append((kind, None))
    return kinds


def derive(row, declarations):
    """Arguments and result from the row's wrapper and engine function; None when they cannot be told."""
    wrapper, targs = template_args(row.binding)
    result = None
    if wrapper in WRAPPERS and targs:
        result, row.replaces = WRAPPERS[wrapper]
        function = targs[0]
        if wrapper == "qeScriptCmd" and len(targs) > 1:
            result = RESULTS[targs[1]]
    elif wrapper == "qeScriptCmdReplace" and len(targs) == 4:
        result, row.replaces, function = "nothing", True, targs[2]
    else:
        return None
    params = ignored_params(function)
    if params is None:
        try:
            params = declarations.params(function)
        except DecodeUnsupported:
            return None
    if wrapper == "cmdIntColour":
        params = [("integer" if kind == "colour" else kind, name) for kind, name in params]
    return params, result


def resolve(row, declarations):
    derived = derive(row, declarations)
    if row.signature:
        args, result = parse_signature(row.signature)
        if derived:
            kinds = [kind for kind, _ in derived[0]]
            if kinds != [a[1] for a in args] or result != derived[1]:
                raise DocError("%s: the comment says (%s) -> %s, the code (%s) -> %s" %
                               (row.name, ", ".join(a[1] for a in args), result, ", ".join(kinds), derived[1]))
        row.args, row.result = args, result
        return
    if not derived:
        raise DocError("%s: its arguments cannot be told from '%s': give them in a '/// (...) -> ...' line" %
                       (row.name, row.binding))
    params, row.result = derived
    row.args = []
    for index, (kind, name) in enumerate(params):
        if not name:
            raise DocError("%s: argument %d has no name: give the arguments in a '/// (...) -> ...' line" %
                           (row.name, index + 1))
        row.args.append((name, kind, None, False))


def parse_table(source, table):
    start = re.search(r"const luaL_Reg " + re.escape(table) + r"\[\] = \{", source)
    if not start:
        raise DocError("no table %s" % table)
    # The group's title and introduction: the //! block just before the table.
    before = source[:start.start()].rstrip("\n").split("\n")
    head = []
    while before and before[-1].startswith("//!"):
        head.insert(0, before.pop()[3:].strip())
    if not head:
        raise DocError("%s has no '//! Title' line before it" % table)
    end = source.index("\n};", start.end())
    body = source[start.end():end].split("\n")

    sections = []  # (title, introduction lines, rows)
    doc, signature, after_title = [], None, False
    i = 0
    while i < len(body):
        line = body[i].strip()
        i += 1
        if not line:
            continue
        if line.startswith("//!"):
            text = line[3:].strip()
            if after_title:
                sections[-1][1].append(text)
            else:
                sections.append((text, [], []))
            after_title = True
            continue
        after_title = False
        if line.startswith("///"):
            text = line[3:].strip()
            if text.startswith("(") and "->" in text and not doc and signature is None:
                signature = text
            else:
                doc.append(text)
            continue
        if line.startswith("//"):
            continue
        if line.startswith("{NULL, NULL}"):
            break
        # A row, perhaps over several lines: up to the brace that closes it.
        text = line
        while text.count("{") > text.count("}") and i < len(body):
            text += " " + body[i].strip()
            i += 1
        m = re.match(r'^\{"(\w+)",\s*(.*)\},$', text, re.S)
        if not m:
            raise DocError("%s: cannot read the row '%s'" % (table, text))
        if not sections:
            sections.append(("", [], []))
        if not doc:
            raise DocError("%s has no '///' description" % m.group(1))
        sections[-1][2].append(Row(m.group(1), m.group(2), " ".join(doc), signature))
        doc, signature = [], None
    return head[0], head[1:], sections


def tables_in_order():
    source = read(os.path.join(SCRIPT_DIR, "script.cpp"))
    m = re.search(r"ScriptCommandTable\[\]\s*=\s*\{([^}]*)\}", source)
    names = [n.strip() for n in m.group(1).split(",") if n.strip() and n.strip() != "NULL"]
    files = [os.path.join(SCRIPT_DIR, f) for f in sorted(os.listdir(SCRIPT_DIR))
             if f.startswith("commands_") and f.endswith(".cpp")]
    sources = {f: read(f) for f in files}
    found = []
    for name in names:
        holders = [f for f, s in sources.items() if re.search(r"const luaL_Reg " + re.escape(name) + r"\[\]", s)]
        if len(holders) != 1:
            raise DocError("table %s is defined in %d files" % (name, len(holders)))
        found.append((name, sources[holders[0]]))
    return found


def call_form(row):
    parts = []
    for name, kind, default, rest in row.args:
        text = "%s: %s" % (name, kind)
        if default is not None:
            text = "[%s = %s]" % (text, default)
        parts.append(text)
    return "`%s(%s)` → %s" % (row.name, ", ".join(parts), row.result)


def generate():
    declarations = Declarations()
    out = [INTRODUCTION]
    total = 0
    seen = set()
    for table, source in tables_in_order():
        title, intro, sections = parse_table(source, table)
        count = sum(len(rows) for _, _, rows in sections)
        out.append("\n## %s (%d)\n" % (title, count))
        if intro:
            out.append("\n" + " ".join(intro) + "\n")
        for section, section_intro, rows in sections:
            if section:
                out.append("\n### %s\n" % section)
            if section_intro:
                out.append("\n" + " ".join(section_intro) + "\n")
            out.append("\n")
            for row in rows:
                if row.name in seen:
                    raise DocError("%s is in the tables twice" % row.name)
                seen.add(row.name)
                resolve(row, declarations)
                replace = " What the new ID holds is deleted first." if row.replaces else ""
                out.append("- %s. %s%s\n" % (call_form(row), row.doc, replace))
                total += 1
    out.append("\n%d commands.\n" % total)
    return "".join(out)


def main():
    try:
        text = generate()
    except DocError as e:
        print("make_command_docs: %s" % e, file=sys.stderr)
        return 1
    if len(sys.argv) > 1 and sys.argv[1] == "--check":
        current = read(DOC) if os.path.exists(DOC) else ""
        if current == text:
            return 0
        print("docs/commands.md is not what the command tables give: run scripts/make_command_docs.py",
              file=sys.stderr)
        sys.stderr.writelines(difflib.unified_diff(current.splitlines(True), text.splitlines(True),
                                                   "docs/commands.md", "from the tables", n=0))
        return 1
    with open(DOC, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    # Nothing to undo: an interrupt ends it at once, without a word.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    sys.exit(main())
