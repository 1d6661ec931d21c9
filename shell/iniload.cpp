// The ini loader of the iniparser library, reading through the file layer.
//
// The library is used as installed for everything but the file reading: its dictionary functions
// build the result and its getters read it. Its own loader reads with the standard stream functions
// (it is compiled under another name, see scripts/deps.sh), so the loader loop and the line rules are
// repeated here over SysFile. The line rules are static in the library; the same rules follow.
#include <iniparser/iniparser.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "sysfile.h"

namespace {

enum { LINE_SIZE = 1024 };

enum LineStatus { LINE_ERROR, LINE_EMPTY, LINE_COMMENT, LINE_SECTION, LINE_VALUE };

// The library's messages go to the standard error stream.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
}

void lowerInPlace(char* s) {
    for (; *s; ++s) *s = static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
}

// Removes blanks at both ends, in place.
void strip(char* s) {
    char* begin = s;
    while (*begin && std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    char* end = begin + std::strlen(begin);
    while (end > begin && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
    *end = 0;
    std::memmove(s, begin, static_cast<size_t>(end - begin) + 1);
}

// Ends a quoted value at its closing quote and removes the backslashes that escape characters.
// Works in place: the write position never passes the read position.
void unquote(char* value, char quote) {
    size_t v = 0;
    bool escaped = false;
    for (size_t q = 0; value[q]; ++q) {
        const char c = value[q];
        if (!escaped) {
            if (c == '\\') {
                escaped = true;
                continue;
            }
            if (c == quote) break;
        }
        escaped = false;
        value[v++] = c;
    }
    value[v] = 0;
}

// Classifies one line and gives its section, or its key and value. Every buffer holds LINE_SIZE + 1
// bytes and the line is shorter, so no scan can write past them.
LineStatus parseLine(const char* input, char* section, char* key, char* value) {
    char line[LINE_SIZE + 1];
    std::snprintf(line, sizeof(line), "%s", input);
    strip(line);
    const size_t len = std::strlen(line);
    if (len < 1) return LINE_EMPTY;
    if (line[0] == '#' || line[0] == ';') return LINE_COMMENT;
    if (line[0] == '[' && line[len - 1] == ']') {
        if (std::sscanf(line, "[%[^\n]", section) != 1) section[0] = 0;
        const size_t n = std::strlen(section);
        if (n > 0 && section[n - 1] == ']') section[n - 1] = 0;
        strip(section);
        lowerInPlace(section);
        return LINE_SECTION;
    }
    int quoted = std::sscanf(line, "%[^=] = \"%[^\n]\"", key, value);
    if (quoted == 2 || std::sscanf(line, "%[^=] = '%[^\n]'", key, value) == 2) {
        // Spaces inside the quotes are kept.
        strip(key);
        lowerInPlace(key);
        unquote(value, quoted == 2 ? '"' : '\'');
        return LINE_VALUE;
    }
    if (std::sscanf(line, "%[^=] = %[^;#]", key, value) == 2) {
        strip(key);
        lowerInPlace(key);
        strip(value);
        // The scan cannot give an empty value for "" or ''.
        if (!std::strcmp(value, "\"\"") || !std::strcmp(value, "''")) value[0] = 0;
        return LINE_VALUE;
    }
    if (std::sscanf(line, "%[^=] = %[;#]", key, value) == 2 || std::sscanf(line, "%[^=] %[=]", key, value) == 2) {
        // "key=", "key=;" and "key=#": an empty value.
        strip(key);
        lowerInPlace(key);
        value[0] = 0;
        return LINE_VALUE;
    }
    return LINE_ERROR;
}

// The loader loop over an open file. NULL on a line that is too long, a syntax error or a failed
// allocation, after the library's message.
dictionary* loadFrom(SysFile* in, const char* name) {
    char line[LINE_SIZE + 1] = {};
    char section[LINE_SIZE + 1] = {};
    char key[LINE_SIZE + 1] = {};
    char value[LINE_SIZE + 1] = {};
    char entry[2 * LINE_SIZE + 2];

    dictionary* dict = dictionary_new(0);
    if (!dict) {
        report("iniparser: memory allocation failure\n");
        return nullptr;
    }
    int last = 0;
    int lineNumber = 0;
    int errors = 0;
    for (;;) {
        // Continued lines that fill the whole buffer make a line that is too long.
        if (last >= LINE_SIZE - 1) {
            report("iniparser: input line too long in %s (%d)\n", name, lineNumber);
            dictionary_del(dict);
            return nullptr;
        }
        if (!qeSysFileGets(line + last, LINE_SIZE - last, in)) break;
        ++lineNumber;
        int len = static_cast<int>(std::strlen(line)) - 1;
        if (len <= 0) continue;
        // A line that does not end in a newline must be the file's last one.
        if (line[len] != '\n' && qeSysFileGetc(in) != EOF) {
            report("iniparser: input line too long in %s (%d)\n", name, lineNumber);
            dictionary_del(dict);
            return nullptr;
        }
        while (len >= 0 && (line[len] == '\n' || std::isspace(static_cast<unsigned char>(line[len])))) {
            line[len] = 0;
            --len;
        }
        if (len < 0) len = 0;
        // A line ending in a backslash goes on in the next line, which overwrites the backslash.
        if (line[len] == '\\') {
            last = len;
            continue;
        }
        last = 0;
        int setResult = 0;
        switch (parseLine(line, section, key, value)) {
        case LINE_SECTION:
            setResult = dictionary_set(dict, section, nullptr);
            break;
        case LINE_VALUE:
            std::snprintf(entry, sizeof(entry), "%s:%s", section, key);
            setResult = dictionary_set(dict, entry, value);
            break;
        case LINE_ERROR:
            report("iniparser: syntax error in %s (%d):\n-> %s\n", name, lineNumber, line);
            ++errors;
            break;
        default:
            break;
        }
        std::memset(line, 0, sizeof(line));
        if (setResult < 0) {
            // A dictionary with entries missing is no result.
            report("iniparser: memory allocation failure\n");
            dictionary_del(dict);
            return nullptr;
        }
    }
    if (errors) {
        dictionary_del(dict);
        return nullptr;
    }
    return dict;
}

}  // namespace

dictionary* iniparser_load(const char* ininame) {
    SysFile* in = qeSysFileOpen(ininame, "rb");
    if (!in) {
        report("iniparser: cannot open %s\n", ininame ? ininame : "(null)");
        return nullptr;
    }
    dictionary* dict = loadFrom(in, ininame);
    qeSysFileClose(in);
    return dict;
}
