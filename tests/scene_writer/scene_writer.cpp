#include "scene_writer.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

SceneWriter::SceneWriter(bool longNestedLengths) : long_(longNestedLengths) {}

void SceneWriter::begin(const char* id) {
    bytes(id, 4);
    const int width = (open_.empty() || long_) ? 4 : 2;
    open_.push_back(body_.size());
    widths_.push_back(width);
    body_.insert(body_.end(), size_t(width), 0);
}

void SceneWriter::end() {
    if (open_.empty()) {
        error_ = "end() without begin()";
        return;
    }
    size_t at = open_.back();
    int width = widths_.back();
    open_.pop_back();
    widths_.pop_back();
    size_t len = body_.size() - at - size_t(width);
    if (width == 2) {
        if (len > 0xFFFF) error_ = "chunk too long for a 16-bit length";
        body_[at] = uint8_t(len >> 8);
        body_[at + 1] = uint8_t(len);
    } else {
        for (int i = 0; i < 4; ++i) body_[at + size_t(i)] = uint8_t(len >> (24 - 8 * i));
    }
}

void SceneWriter::u32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    bytes(b, 4);
}

void SceneWriter::f32(float v) {
    uint32_t w;
    std::memcpy(&w, &v, 4);
    u32(w);
}

void SceneWriter::text(const char* s) {
    size_t n = std::strlen(s) + 1;
    bytes(s, n);
    if (n & 1) body_.push_back(0);
}

void SceneWriter::bytes(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    body_.insert(body_.end(), p, p + n);
}

void SceneWriter::textChunk(const char* id, const char* s) {
    begin(id);
    text(s);
    end();
}

void SceneWriter::type(uint32_t v) {
    begin("TYPE");
    u32(v);
    end();
}

void SceneWriter::vrun(uint32_t count, float value) {
    begin("VRUN");
    u32(count);
    f32(value);
    end();
}

void SceneWriter::vdat(const std::vector<float>& values) {
    begin("VDAT");
    u32(uint32_t(values.size()));
    for (float v : values) f32(v);
    end();
}

void SceneWriter::zeros(const char* id, uint32_t n) {
    begin(id);
    body_.insert(body_.end(), n, 0);
    end();
}

void SceneWriter::propHead(const char* name, uint32_t typeCode) {
    begin("PROP");
    u32(typeCode);
    text(name);
}

void SceneWriter::propInt(const char* name, int32_t v) {
    propHead(name, 1);
    i32(v);
    end();
}

void SceneWriter::propFloat(const char* name, float v) {
    propHead(name, 2);
    f32(v);
    end();
}

void SceneWriter::propString(const char* name, const char* v) {
    propHead(name, 3);
    text(v);
    end();
}

void SceneWriter::propFloat3(const char* name, float a, float b, float c) {
    propHead(name, 4);
    for (float v : {a, b, c}) f32(v);
    end();
}

void SceneWriter::propInt2(const char* name, int32_t a, int32_t b) {
    propHead(name, 5);
    i32(a);
    i32(b);
    end();
}

void SceneWriter::propFloat2(const char* name, float a, float b) {
    propHead(name, 6);
    f32(a);
    f32(b);
    end();
}

void SceneWriter::propRaw(const char* name, uint32_t typeCode) {
    propHead(name, typeCode);
    end();
}

std::vector<uint8_t> SceneWriter::finish() {
    if (!open_.empty() && error_.empty()) error_ = "unclosed chunk";
    if (!error_.empty()) return {};
    std::vector<uint8_t> out;
    const uint32_t len = uint32_t(body_.size() + 4);
    const char form[] = "FORM";
    out.insert(out.end(), form, form + 4);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(len >> (24 - 8 * i)));
    const char qirn[] = "QIRN";
    out.insert(out.end(), qirn, qirn + 4);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
}

namespace {

struct Lexer {
    const std::string& s;
    size_t pos = 0;
    std::string error;

    explicit Lexer(const std::string& text) : s(text) {}

    // The next token: a word, a quoted text (quotes removed, quoted set) or a brace.
    bool next(std::string* tok, bool* quoted = nullptr) {
        for (;;) {
            while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
            if (pos < s.size() && s[pos] == '#') {
                while (pos < s.size() && s[pos] != '\n') ++pos;
                continue;
            }
            break;
        }
        if (quoted) *quoted = false;
        if (pos >= s.size()) return false;
        if (s[pos] == '"') {
            size_t close = s.find('"', pos + 1);
            if (close == std::string::npos) {
                error = "unterminated text";
                return false;
            }
            *tok = s.substr(pos + 1, close - pos - 1);
            pos = close + 1;
            if (quoted) *quoted = true;
            return true;
        }
        if (s[pos] == '{' || s[pos] == '}') {
            *tok = s.substr(pos++, 1);
            return true;
        }
        size_t start = pos;
        while (pos < s.size() && !std::isspace(static_cast<unsigned char>(s[pos])) && s[pos] != '{' && s[pos] != '}')
            ++pos;
        *tok = s.substr(start, pos - start);
        return true;
    }

    bool peek(std::string* tok) {
        size_t save = pos;
        bool ok = next(tok);
        pos = save;
        return ok;
    }
};

bool number(Lexer& lx, double* v) {
    std::string t;
    if (!lx.next(&t)) {
        lx.error = "number expected at the end";
        return false;
    }
    char* end = nullptr;
    *v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end) {
        lx.error = "number expected, got '" + t + "'";
        return false;
    }
    return true;
}

bool word(Lexer& lx, std::string* t, const char* what) {
    if (!lx.next(t)) {
        lx.error = std::string(what) + " expected at the end";
        return false;
    }
    return true;
}

bool statement(Lexer& lx, SceneWriter& w, const std::string& tok);

bool block(Lexer& lx, SceneWriter& w) {
    std::string tok;
    while (lx.next(&tok)) {
        if (tok == "}") return true;
        if (!statement(lx, w, tok)) return false;
    }
    if (lx.error.empty()) lx.error = "missing '}'";
    return false;
}

bool statement(Lexer& lx, SceneWriter& w, const std::string& tok) {
    std::string a, b;
    double x = 0, y = 0, z = 0;
    if (tok == "NAME" || tok == "FNAM") {
        if (!word(lx, &a, "text")) return false;
        w.textChunk(tok.c_str(), a.c_str());
        return true;
    }
    if (tok == "TYPE") {
        if (!number(lx, &x)) return false;
        w.type(uint32_t(x));
        return true;
    }
    if (tok == "VRUN") {
        if (!number(lx, &x) || !number(lx, &y)) return false;
        w.vrun(uint32_t(x), float(y));
        return true;
    }
    if (tok == "VDAT") {
        if (!number(lx, &x)) return false;
        std::vector<float> values;
        for (uint32_t i = 0; i < uint32_t(x); ++i) {
            if (!number(lx, &y)) return false;
            values.push_back(float(y));
        }
        w.vdat(values);
        return true;
    }
    if (tok == "BYTES") {
        if (!word(lx, &a, "chunk id") || !number(lx, &x)) return false;
        if (a.size() != 4) {
            lx.error = "chunk ids have four letters: '" + a + "'";
            return false;
        }
        w.zeros(a.c_str(), uint32_t(x));
        return true;
    }
    if (tok == "PROP") {
        if (!word(lx, &a, "property type")) return false;
        if (a == "type") {
            if (!number(lx, &x) || !word(lx, &b, "property name")) return false;
            w.propRaw(b.c_str(), uint32_t(x));
            return true;
        }
        if (!word(lx, &b, "property name")) return false;
        if (a == "int" && number(lx, &x)) w.propInt(b.c_str(), int32_t(x));
        else if (a == "float" && number(lx, &x)) w.propFloat(b.c_str(), float(x));
        else if (a == "string" && word(lx, &a, "text")) w.propString(b.c_str(), a.c_str());
        else if (a == "float3" && number(lx, &x) && number(lx, &y) && number(lx, &z))
            w.propFloat3(b.c_str(), float(x), float(y), float(z));
        else if (a == "int2" && number(lx, &x) && number(lx, &y)) w.propInt2(b.c_str(), int32_t(x), int32_t(y));
        else if (a == "float2" && number(lx, &x) && number(lx, &y)) w.propFloat2(b.c_str(), float(x), float(y));
        else {
            if (lx.error.empty()) lx.error = "unknown property type '" + a + "'";
            return false;
        }
        return true;
    }
    std::string brace;
    if (tok.size() == 4 && lx.next(&brace) && brace == "{") {
        w.begin(tok.c_str());
        if (!block(lx, w)) return false;
        w.end();
        return true;
    }
    if (lx.error.empty()) lx.error = "unknown statement '" + tok + "'";
    return false;
}

}  // namespace

std::vector<uint8_t> qeSceneWriteDescription(const std::string& description, std::string* error) {
    Lexer lx(description);
    std::string tok;
    bool longLengths = true;
    if (lx.peek(&tok) && tok == "width") {
        lx.next(&tok);
        double width = 0;
        if (!number(lx, &width) || (width != 16 && width != 32)) {
            if (error) *error = lx.error.empty() ? "width is 16 or 32" : lx.error;
            return {};
        }
        longLengths = width == 32;
    }
    SceneWriter w(longLengths);
    while (lx.next(&tok)) {
        if (!statement(lx, w, tok)) break;
    }
    if (!lx.error.empty()) {
        if (error) *error = lx.error;
        return {};
    }
    std::vector<uint8_t> out = w.finish();
    if (error) *error = w.error();
    return out;
}

bool qeSceneWriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}
