// The files that a shader source includes, for a pack that has to carry them (see
// IQeGPUProgrammingServices.h).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderCacheInfo.h"
#include "gpu/QeShaderCachePaths.h"
#include "gpu/QeShaderSources.h"
#include "gpu/ShaderIncludeCallback.h"

using irr::core::stringc;

namespace {

// What the walk knows of a condition, a macro's being defined, or a value.
enum Known { kNo, kYes, kUnsure };

struct Macro {
    Known defined;
    std::string value;
};

// A value of a condition's expression: unsure when it depends on what the walk cannot know.
struct Value {
    bool known;
    long number;
};

// The lines of a text as the compiler's preprocessor sees them: spliced lines joined, comments gone
// (a comment is a blank), line ends kept.
std::vector<std::string> preprocessorLines(const std::string& text) {
    std::string spliced;
    spliced.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r')) {
            i += (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n') ? 2 : 1;
            continue;
        }
        spliced += text[i];
    }
    std::vector<std::string> lines(1);
    char quote = 0;
    for (size_t i = 0; i < spliced.size(); ++i) {
        const char c = spliced[i];
        if (c == '\n' || c == '\r') {
            quote = 0;  // a string ends with its line
            if (c == '\r' && i + 1 < spliced.size() && spliced[i + 1] == '\n') ++i;
            lines.emplace_back();
            continue;
        }
        if (quote) {
            if (c == quote) quote = 0;
            lines.back() += c;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '/' && i + 1 < spliced.size() && spliced[i + 1] == '/') {
            while (i + 1 < spliced.size() && spliced[i + 1] != '\n' && spliced[i + 1] != '\r') ++i;
            continue;
        } else if (c == '/' && i + 1 < spliced.size() && spliced[i + 1] == '*') {
            const size_t end = spliced.find("*/", i + 2);
            i = end == std::string::npos ? spliced.size() : end + 1;
            lines.back() += ' ';
            continue;
        }
        lines.back() += c;
    }
    return lines;
}

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

void skipBlanks(const std::string& text, size_t* at) {
    while (*at < text.size() && (text[*at] == ' ' || text[*at] == '\t')) ++*at;
}

std::string nameAt(const std::string& text, size_t* at) {
    skipBlanks(text, at);
    const size_t start = *at;
    while (*at < text.size() && isNameChar(text[*at])) ++*at;
    return text.substr(start, *at - start);
}

// The directive of a line ("include", "ifdef", ...) with `rest` after it; "" for a line that is none.
std::string directiveOf(const std::string& line, std::string* rest) {
    size_t at = 0;
    skipBlanks(line, &at);
    if (at >= line.size() || line[at] != '#') return "";
    ++at;
    const std::string word = nameAt(line, &at);
    *rest = line.substr(at);
    return word;
}

// How deep a condition's operators may nest, macro values included: deeper than any shader's, and
// shallow enough that a line of a broken file cannot exhaust the stack. A deeper one is unsure.
const int kDeepestCondition = 200;

// A condition's expression: numbers, macros, defined, !, unary -, comparisons, && and ||, parentheses.
class Condition {
public:
    Condition(const std::string& text, const std::map<std::string, Macro>& macros, int nesting = 0)
        : text_(text), macros_(macros), nesting_(nesting) {}
    Known evaluate() {
        const Value value = orExpression();
        skipBlanks(text_, &at_);
        if (failed_ || at_ < text_.size() || !value.known) return kUnsure;
        return value.number ? kYes : kNo;
    }

private:
    bool take(const char* op) {
        skipBlanks(text_, &at_);
        const size_t n = std::strlen(op);
        if (text_.compare(at_, n, op) != 0) return false;
        // "<" is not the start of "<=", "!" not that of "!="
        if (n == 1 && at_ + 1 < text_.size() && text_[at_ + 1] == '=' && (op[0] == '<' || op[0] == '>' || op[0] == '!'))
            return false;
        at_ += n;
        return true;
    }
    Value orExpression() {
        Value left = andExpression();
        while (take("||")) {
            const Value right = andExpression();
            if ((left.known && left.number) || (right.known && right.number))
                left = {true, 1};
            else
                left = {left.known && right.known, 0};
        }
        return left;
    }
    Value andExpression() {
        Value left = comparison();
        while (take("&&")) {
            const Value right = comparison();
            if ((left.known && !left.number) || (right.known && !right.number))
                left = {true, 0};
            else
                left = {left.known && right.known, 1};
        }
        return left;
    }
    Value comparison() {
        const Value left = unary();
        static const char* const kOperators[] = {"==", "!=", "<=", ">=", "<", ">"};
        for (int op = 0; op < 6; ++op) {
            if (!take(kOperators[op])) continue;
            const Value right = unary();
            if (!left.known || !right.known) return {false, 0};
            const long a = left.number, b = right.number;
            const bool results[] = {a == b, a != b, a <= b, a >= b, a < b, a > b};
            return {true, results[op] ? 1 : 0};
        }
        return left;
    }
    Value unary() {
        if (nesting_ >= kDeepestCondition) {
            failed_ = true;
            return {false, 0};
        }
        ++nesting_;
        Value value;
        if (take("!")) {
            const Value inner = unary();
            value = {inner.known, inner.number ? 0 : 1};
        } else if (take("-")) {
            const Value inner = unary();
            value = {inner.known, static_cast<long>(0UL - static_cast<unsigned long>(inner.number))};
        } else {
            value = primary();
        }
        --nesting_;
        return value;
    }
    Value primary() {
        skipBlanks(text_, &at_);
        if (take("(")) {
            const Value inner = orExpression();
            if (!take(")")) failed_ = true;
            return inner;
        }
        if (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            char* end = nullptr;
            const long number = std::strtol(text_.c_str() + at_, &end, 0);
            at_ = static_cast<size_t>(end - text_.c_str());
            while (at_ < text_.size() && std::strchr("uUlL", text_[at_])) ++at_;
            return {true, number};
        }
        const std::string name = nameAt(text_, &at_);
        if (name.empty()) {
            failed_ = true;
            return {false, 0};
        }
        if (name == "defined") {
            const bool open = take("(");
            const std::string macro = nameAt(text_, &at_);
            if (macro.empty() || (open && !take(")"))) failed_ = true;
            const Known defined = definedState(macro);
            return {defined != kUnsure, defined == kYes ? 1 : 0};
        }
        const std::map<std::string, Macro>::const_iterator macro = macros_.find(name);
        if (macro == macros_.end() || macro->second.defined == kUnsure) return {false, 0};
        if (macro->second.defined == kNo) return {true, 0};
        // a macro of the source's own: its value when it is a number
        Condition value(macro->second.value, macros_, nesting_);
        const Known number = ++depth_ < 16 ? value.evaluateNumber(depth_) : kUnsure;
        if (number == kUnsure) return {false, 0};
        return {true, value.number_};
    }
    Known evaluateNumber(int depth) {
        depth_ = depth;
        const Value value = orExpression();
        skipBlanks(text_, &at_);
        if (failed_ || at_ < text_.size() || !value.known) return kUnsure;
        number_ = value.number;
        return kYes;
    }
    Known definedState(const std::string& name) const {
        const std::map<std::string, Macro>::const_iterator macro = macros_.find(name);
        return macro == macros_.end() ? kUnsure : macro->second.defined;
    }

    const std::string& text_;
    const std::map<std::string, Macro>& macros_;
    size_t at_ = 0;
    bool failed_ = false;
    int nesting_;
    int depth_ = 0;
    long number_ = 0;
};

// One open conditional: whether its current branch is read, and what its earlier branches were.
struct Branch {
    Known read;
    bool readBefore;    // an earlier branch was surely read
    bool unsureBefore;  // an earlier branch may have been read
    bool insideSkipped; // the whole conditional lies in a skipped branch
};

// A path as a key for the files walked: its components, lower case.
std::string pathKey(const std::string& path) {
    std::string key;
    for (const std::string& part : cachePathParts(path)) {
        key += '/';
        for (char c : part) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

// How deep includes are followed: deeper than any compiler would take them.
const int kMostNested = 64;

class IncludeWalk {
public:
    IncludeWalk(irr::io::IFileSystem* fs, const stringc& source, std::vector<SQeShaderInclude>* files)
        : callback_(fs, fs->getFileDir(source)), source_(source.c_str()), files_(files) {
        walked_[pathKey(source.c_str())] = true;
    }

    void walkFile(const std::string& path, const std::string& text, bool certain, int depth) {
        const std::vector<std::string> lines = preprocessorLines(text);
        std::vector<Branch> open;
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string rest;
            const std::string directive = directiveOf(lines[i], &rest);
            if (directive.empty()) continue;
            bool read = true, sure = certain;
            for (const Branch& branch : open) {
                read = read && branch.read != kNo;
                sure = sure && branch.read == kYes;
            }
            if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
                if (!read) {
                    open.push_back({kNo, true, false, true});
                    continue;
                }
                Known state = kUnsure;
                if (directive == "if") {
                    state = Condition(rest, macros_).evaluate();
                } else {
                    size_t at = 0;
                    const std::string name = nameAt(rest, &at);
                    const Known defined = definedState(name);
                    state = defined == kUnsure ? kUnsure : ((defined == kYes) == (directive == "ifdef") ? kYes : kNo);
                    // an include guard: the compiler reads the file's body the first time it meets it
                    if (directive == "ifndef" && defined == kUnsure && definesNext(lines, i, name)) state = kYes;
                }
                open.push_back({state, state == kYes, state == kUnsure, false});
            } else if (directive == "elif" || directive == "else") {
                if (open.empty() || open.back().insideSkipped) continue;
                Branch& branch = open.back();
                const Known own = directive == "else" ? kYes : Condition(rest, macros_).evaluate();
                if (branch.read == kYes) branch.readBefore = true;
                if (branch.read == kUnsure) branch.unsureBefore = true;
                if (branch.readBefore || own == kNo)
                    branch.read = kNo;
                else
                    branch.read = branch.unsureBefore || own == kUnsure ? kUnsure : kYes;
            } else if (directive == "endif") {
                if (!open.empty()) open.pop_back();
            } else if (!read) {
                continue;
            } else if (directive == "define" || directive == "undef") {
                size_t at = 0;
                const std::string name = nameAt(rest, &at);
                if (name.empty()) continue;
                // a macro with parameters has no value here
                const bool function = at < rest.size() && rest[at] == '(';
                if (!sure)
                    macros_[name] = {kUnsure, ""};
                else if (directive == "undef")
                    macros_[name] = {kNo, ""};
                else
                    macros_[name] = {kYes, function ? std::string("(") : rest.substr(at)};
            } else if (directive == "include") {
                include(path, rest, sure, depth);
            }
        }
    }

private:
    Known definedState(const std::string& name) const {
        const std::map<std::string, Macro>::const_iterator macro = macros_.find(name);
        return macro == macros_.end() ? kUnsure : macro->second.defined;
    }

    // Whether the next line with a directive after line `i` defines `name`.
    static bool definesNext(const std::vector<std::string>& lines, size_t i, const std::string& name) {
        for (size_t j = i + 1; j < lines.size(); ++j) {
            std::string rest;
            const std::string directive = directiveOf(lines[j], &rest);
            if (directive.empty()) {
                size_t at = 0;
                skipBlanks(lines[j], &at);
                if (at < lines[j].size()) return false;  // code comes first
                continue;
            }
            size_t at = 0;
            return directive == "define" && nameAt(rest, &at) == name;
        }
        return false;
    }

    void include(const std::string& includer, const std::string& rest, bool certain, int depth) {
        size_t at = 0;
        skipBlanks(rest, &at);
        if (at >= rest.size() || (rest[at] != '"' && rest[at] != '<')) return;  // a name made by a macro
        const size_t end = rest.find(rest[at] == '"' ? '"' : '>', at + 1);
        if (end == std::string::npos) return;
        const std::string name = rest.substr(at + 1, end - at - 1);
        const void* data = nullptr;
        irr::u32 size = 0;
        if (!callback_.Open(name.c_str(), &data, &size)) {
            files_->push_back({source_, includer, name, std::string(), certain});
            return;
        }
        const std::string found = callback_.getLastFound().c_str();
        const std::string text(static_cast<const char*>(data), size);
        callback_.Close(data);
        files_->push_back({source_, includer, name, found, certain});
        // each file once, and again only to read it surely where it was read unsurely before
        const std::string key = pathKey(found);
        std::map<std::string, bool>::iterator walked = walked_.find(key);
        if (walked != walked_.end() && (walked->second || !certain)) return;
        walked_[key] = certain;
        if (depth + 1 < kMostNested) walkFile(found, text, certain, depth + 1);
    }

    ShaderIncludeCallback callback_;
    const std::string source_;
    std::vector<SQeShaderInclude>* files_;
    std::map<std::string, Macro> macros_;
    std::map<std::string, bool> walked_;
};

// The levels of includes that the content key of a blob reads.
const int kKeyLevels = 3;

// The includes that the content key of a blob reads (QeShaderSources: every "#include" line's quoted
// name, comments too, beside the file that names it, three levels deep), found ones only.
void addKeyIncludes(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& source, const stringc& file,
                    int level, std::vector<SQeShaderInclude>* files) {
    const SShaderFileFacts* facts = shaderFileFacts(fs, memo, file);
    if (!facts) return;
    const irr::core::array<stringc> names = facts->includes;  // the memo may change below
    const stringc dir = fs->getFileDir(file);
    for (irr::u32 i = 0; i < names.size(); ++i) {
        const stringc path = qeJoin(dir, "/", names[i]);
        if (!shaderFileFacts(fs, memo, path)) continue;
        files->push_back({source.c_str(), file.c_str(), names[i].c_str(), path.c_str(), false});
        if (level + 1 < kKeyLevels) addKeyIncludes(fs, memo, source, path, level + 1, files);
    }
}

}  // namespace

void listShaderIncludeFiles(irr::io::IFileSystem* fs, const stringc& source, std::vector<SQeShaderInclude>* files) {
    if (!fs || !files || source.empty()) return;
    void* data = nullptr;
    irr::u32 size = 0;
    if (!readWholeFile(fs, source, false, &data, &size)) return;
    const std::string text(static_cast<const char*>(data), size);
    std::free(data);
    IncludeWalk(fs, source, files).walkFile(source.c_str(), text, true, 0);
    SShaderFileMemo memo;
    addKeyIncludes(fs, memo, source, source, 0, files);
}
