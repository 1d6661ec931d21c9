#include "CQeEffectDefCollada.h"

#include <cstdio>
#include <cstring>
#include <new>

using irr::c8;
using irr::s32;
using irr::u32;
using irr::core::stringc;

namespace {

// The message of the last refused document.
c8 FaultText[512];

bool is(const stringc& name, const c8* word) { return name == word; }

struct STypeName {
    const c8* element;
    u32 type;
};

const STypeName ValueTypes[] = {
    {"bool", EQEPT_BOOL},     {"float", EQEPT_FLOAT},   {"float2", EQEPT_FLOAT2},     {"float3", EQEPT_FLOAT3},
    {"float4", EQEPT_FLOAT4}, {"float4x4", EQEPT_FLOAT4X4}, {"int", EQEPT_INT},
};

const STypeName SamplerTypes[] = {
    {"sampler1D", EQEPT_SAMPLER1D},     {"sampler2D", EQEPT_SAMPLER2D},       {"sampler3D", EQEPT_SAMPLER3D},
    {"samplerRect", EQEPT_SAMPLERRECT}, {"samplerCube", EQEPT_SAMPLERCUBE},   {"samplerDepth", EQEPT_SAMPLERDEPTH},
    {"usertype", EQEPT_USERTYPE},
};

template <size_t N>
u32 typeOf(const STypeName (&table)[N], const stringc& name) {
    for (const STypeName& t : table)
        if (name == t.element) return t.type;
    return EQEPT_NONE;
}

const c8* const EvaluateTargets[] = {"color_target", "depth_target", "stencil_target",
                                     "color_clear",  "depth_clear",  "stencil_clear"};

u32 stageOf(const stringc& stage) {
    if (stage == "TESSELATION") return EQESS_TESSELLATION;
    if (stage == "VERTEX") return EQESS_VERTEX;
    if (stage == "GEOMETRY") return EQESS_GEOMETRY;
    if (stage == "FRAGMENT") return EQESS_PIXEL;
    return EQESS_UNKNOWN;
}

u32 targetOf(const stringc& target) {
    static const c8* const Targets[] = {"vs_1_1", "vs_2_0", "vs_3_0", "ps_1_1", "ps_2_0", "ps_3_0"};
    for (u32 i = 0; i < 6; ++i)
        if (target == Targets[i]) return i + 1;
    return EQEST_NONE;
}

}  // namespace

CQeEffectDefCollada::CQeEffectDefCollada(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName,
                                         bool isOpenGL, const c8** errorText)
    : CQeEffectDef(fileSystem, fileName, isOpenGL, errorText) {
    Xml = fileSystem ? fileSystem->createXMLReaderUTF8(FileName) : nullptr;
    if (!Xml) {
        if (errorText) *errorText = "File Not Found";
        return;
    }
    readDocument();
    Xml->drop();
    Xml = nullptr;
    if (errorText) *errorText = Fault;
}

// The next node; false once the input has ended.
bool CQeEffectDefCollada::next() {
    if (InputEnded) return false;
    if (!Xml->read()) InputEnded = true;
    else if (!Fault && Xml->getNodeType() == irr::io::EXN_ELEMENT && !*Xml->getNodeName())
        Fault = "COLLADA document holds an element without a name";
    return !InputEnded;
}

bool CQeEffectDefCollada::isEmpty() const { return Xml->isEmptyElement(); }

stringc CQeEffectDefCollada::nodeName() const { return stringc(Xml->getNodeName()); }

stringc CQeEffectDefCollada::attribute(const c8* name) const { return stringc(Xml->getAttributeValueSafe(name)); }

s32 CQeEffectDefCollada::indexAttribute() const {
    const irr::f32 index = irr::core::fast_atof(Xml->getAttributeValueSafe("index"));
    if (index >= 2147483520.0f) return 2147483647;
    if (index <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<s32>(index);
}

// Walks the children of the current element up to its end tag (or the end of the input): onChild is
// called at each child element and reads it wholly; the last text node is kept in *text.
template <class F>
void CQeEffectDefCollada::children(F onChild, stringc* text) {
    if (isEmpty()) return;
    const stringc name = nodeName();
    while (next()) {
        switch (Xml->getNodeType()) {
        case irr::io::EXN_ELEMENT:
            onChild(nodeName());
            break;
        case irr::io::EXN_TEXT:
        case irr::io::EXN_CDATA:
            if (text) {
                *text = Xml->getNodeData();
                text->trim();
            }
            break;
        case irr::io::EXN_ELEMENT_END:
            if (!Fault && nodeName() != name) {
                std::snprintf(FaultText, sizeof(FaultText), "COLLADA end tag </%s> does not close <%s>",
                              Xml->getNodeName(), name.c_str());
                FaultText[sizeof(FaultText) - 1] = 0;
                Fault = FaultText;
            }
            return;
        default:
            break;
        }
    }
    if (!Fault) {
        std::snprintf(FaultText, sizeof(FaultText), "COLLADA document ends inside <%s>", name.c_str());
        FaultText[sizeof(FaultText) - 1] = 0;
        Fault = FaultText;
    }
}

// Passes over the current element and everything in it.
void CQeEffectDefCollada::skip(bool message) {
    const stringc name = nodeName();
    if (message) std::printf("COLLADA skipping section %s\n", name.c_str());
    if (isEmpty()) return;
    u32 depth = 1;
    while (depth > 0 && next()) {
        const irr::io::EXML_NODE type = Xml->getNodeType();
        if (type == irr::io::EXN_ELEMENT && !isEmpty())
            ++depth;
        else if (type == irr::io::EXN_ELEMENT_END)
            --depth;
    }
    if (depth > 0 && !Fault) {
        std::snprintf(FaultText, sizeof(FaultText), "COLLADA document ends inside <%s>", name.c_str());
        FaultText[sizeof(FaultText) - 1] = 0;
        Fault = FaultText;
    }
}

void CQeEffectDefCollada::passOver() {
    children([this](const stringc&) { skip(false); });
}

// The element's text, blanks, tabs and line breaks trimmed.
stringc CQeEffectDefCollada::content() {
    stringc text;
    children([this](const stringc&) { skip(true); }, &text);
    return text;
}

void CQeEffectDefCollada::readDocument() {
    bool anyElement = false;
    while (next()) {
        if (Xml->getNodeType() != irr::io::EXN_ELEMENT) continue;
        anyElement = true;
        if (is(nodeName(), "COLLADA"))
            readRoot();
        else
            skip(true);
    }
    if (!anyElement && !Fault) Fault = "COLLADA document holds no element";
}

void CQeEffectDefCollada::readRoot() {
    children([this](const stringc& name) {
        if (is(name, "asset")) {
            skip(false);  // the document's own asset is not read
        } else if (is(name, "library_effects")) {
            readLibraryEffects();
        } else {
            std::printf("COLLADA loader warning: Wrong tag usage found %s\n", name.c_str());
            skip(true);
        }
    });
}

void CQeEffectDefCollada::readLibraryEffects() {
    children([this](const stringc& name) {
        if (is(name, "effect"))
            readEffect();
        else
            skip(true);
    });
}

void CQeEffectDefCollada::readEffect() {
    Effect.id = attribute("id");
    Effect.name = attribute("name");
    children([this](const stringc& name) {
        if (is(name, "asset")) {
            readAsset();
        } else if (is(name, "newparam")) {
            Effect.parameters.push_back(readNewParam());
        } else if (is(name, "profile_CG")) {
            if (IsOpenGL)
                skip(false);
            else
                readProfile();
        } else if (is(name, "profile_GLSL")) {
            if (IsOpenGL)
                readProfile();
            else
                skip(false);
        } else if (is(name, "annotate")) {
            Effect.annotations.push_back(readAnnotation());
        } else {
            skip(true);
        }
    });
}

void CQeEffectDefCollada::readAsset() {
    children([this](const stringc& name) {
        if (is(name, "title")) {
            Effect.title = content();
        } else if (is(name, "subject")) {
            Effect.subject = content();
        } else if (is(name, "contributor")) {
            children([this](const stringc& inner) {
                if (is(inner, "comments"))
                    Effect.comments = content();
                else
                    skip(true);
            });
        } else {
            skip(true);
        }
    });
}

SParameter CQeEffectDefCollada::readNewParam() {
    SParameter parameter;
    parameter.name = attribute("sid");
    children([this, &parameter](const stringc& name) {
        if (const u32 type = typeOf(ValueTypes, name)) {
            parameter.type = type;
            parameter.value = content();
        } else if (const u32 sampler = typeOf(SamplerTypes, name)) {
            parameter.type = sampler;
            readSampler(parameter.sampler);
        } else if (is(name, "semantic")) {
            parameter.semantic = content();
        } else if (is(name, "annotate")) {
            parameter.annotations.push_back(readAnnotation());
        } else {
            skip(true);
        }
    });
    return parameter;
}

void CQeEffectDefCollada::readSampler(SSamplerState& sampler) {
    children([this, &sampler](const stringc& name) {
        if (is(name, "instance_image")) {
            sampler.image = attribute("url");
            passOver();
        } else if (is(name, "wrap_s")) {
            sampler.wrap_s = content();
        } else if (is(name, "wrap_t")) {
            sampler.wrap_t = content();
        } else if (is(name, "wrap_p")) {
            sampler.wrap_p = content();
        } else if (is(name, "minfilter")) {
            sampler.minfilter = content();
        } else if (is(name, "magfilter")) {
            sampler.magfilter = content();
        } else if (is(name, "mipfilter")) {
            sampler.mipfilter = content();
        } else {
            skip(true);
        }
    });
}

SParameter CQeEffectDefCollada::readAnnotation() {
    SParameter annotation;
    annotation.name = attribute("name");
    children([this, &annotation](const stringc& name) {
        if (is(name, "string"))
            annotation.value = content();
        else
            skip(true);
    });
    return annotation;
}

void CQeEffectDefCollada::readProfile() {
    children([this](const stringc& name) {
        if (is(name, "include")) {
            SInclude include;
            include.sid = attribute("sid");
            include.url = attribute("url");
            Effect.includes.push_back(include);
            passOver();
        } else if (is(name, "technique")) {
            readTechnique();
        } else {
            skip(true);
        }
    });
}

void CQeEffectDefCollada::readTechnique() {
    STechnique technique;
    technique.name = attribute("sid");
    children([this, &technique](const stringc& name) {
        if (is(name, "pass"))
            technique.passes.push_back(readPass());
        else if (is(name, "annotate"))
            technique.annotations.push_back(readAnnotation());
        else
            skip(true);
    });
    Effect.techniques.push_back(technique);
}

SPass CQeEffectDefCollada::readPass() {
    SPass pass;
    pass.name = attribute("sid");
    children([this, &pass](const stringc& name) {
        if (is(name, "states"))
            readStates(pass);
        else if (is(name, "evaluate"))
            readEvaluate(pass);
        else if (is(name, "program"))
            readProgram(pass);
        else if (is(name, "annotate"))
            pass.annotations.push_back(readAnnotation());
        else
            skip(true);
    });
    return pass;
}

void CQeEffectDefCollada::readStates(SPass& pass) {
    children([this, &pass](const stringc& stateName) {
        SState state;
        state.name = stateName;
        state.value = attribute("value");
        state.param = attribute("param");
        state.index = indexAttribute();
        if (is(stateName, "blend_func")) {
            // Its source and destination factors come first, as states of their own.
            children([this, &pass](const stringc& name) {
                if (is(name, "src") || is(name, "dest")) {
                    SState factor;
                    factor.name = is(name, "src") ? "blend_func src" : "blend_func dest";
                    factor.value = attribute("value");
                    factor.param = attribute("param");
                    factor.index = indexAttribute();
                    pass.states.push_back(factor);
                    passOver();
                } else {
                    skip(true);
                }
            });
        } else {
            children([this, &state](const stringc& name) {
                if (is(name, "param"))
                    state.param = content();
                else if (is(name, "value"))
                    state.value = content();
                else
                    skip(true);
            });
        }
        pass.states.push_back(state);
    });
}

void CQeEffectDefCollada::readEvaluate(SPass& pass) {
    children([this, &pass](const stringc& name) {
        bool known = false;
        for (const c8* target : EvaluateTargets)
            if (is(name, target)) known = true;
        if (known) {
            SEvaluate evaluate;
            evaluate.name = name;
            evaluate.index = indexAttribute();
            const bool clear = name.find("_clear") >= 0;
            stringc text;
            children(
                [this, &evaluate](const stringc& inner) {
                    if (is(inner, "param")) {
                        evaluate.value = attribute("ref");
                        passOver();
                    } else if (is(inner, "instance_image")) {
                        evaluate.image = attribute("url");
                        passOver();
                    } else {
                        skip(true);
                    }
                },
                &text);
            if (clear && !text.empty()) evaluate.value = text;
            pass.evaluates.push_back(evaluate);
        } else if (is(name, "draw")) {
            SEvaluate evaluate;
            evaluate.name = "draw";
            evaluate.value = content();
            pass.evaluates.push_back(evaluate);
        } else {
            skip(true);
        }
    });
}

void CQeEffectDefCollada::readProgram(SPass& pass) {
    children([this, &pass](const stringc& name) {
        if (is(name, "shader")) {
            pass.shaders.push_back(readShader());
        } else if (is(name, "bind_uniform") && IsOpenGL) {
            // GLSL binds its uniforms at the program: they go to the pass's first fragment shader.
            const SParameter binding = readBinding();
            for (u32 i = 0; i < pass.shaders.size(); ++i)
                if (pass.shaders[i].stage == EQESS_PIXEL) {
                    pass.shaders[i].annotations.push_back(binding);
                    break;
                }
        } else {
            skip(true);
        }
    });
}

SShader CQeEffectDefCollada::readShader() {
    SShader shader;
    shader.stage = stageOf(attribute("stage"));
    if (IsOpenGL) {
        if (shader.stage == EQESS_VERTEX) shader.target = EQEST_VS_2_0;
        if (shader.stage == EQESS_PIXEL) shader.target = EQEST_PS_2_0;
    }
    children([this, &shader](const stringc& name) {
        if (is(name, "sources")) {
            readSources(shader);
        } else if (is(name, "compiler")) {
            shader.target = targetOf(attribute("target"));
            passOver();
        } else if (is(name, "bind_uniform") && !IsOpenGL) {
            shader.annotations.push_back(readBinding());
        } else {
            skip(true);
        }
    });
    return shader;
}

void CQeEffectDefCollada::readSources(SShader& shader) {
    shader.entry = attribute("entry");
    children([this, &shader](const stringc& name) {
        if (is(name, "inline")) {
            shader.inlineSources.push_back(content());
        } else if (is(name, "import")) {
            const stringc ref = attribute("ref");
            shader.source = ref;
            bool found = false;
            for (u32 i = 0; i < Effect.includes.size() && !found; ++i)
                if (Effect.includes[i].sid == ref) {
                    shader.source = Effect.includes[i].url;
                    found = true;
                }
            if (!found) std::printf("COLLADA Warning missing include reference for source ref '%s'\n", ref.c_str());
            passOver();
        } else {
            skip(true);
        }
    });
}

SParameter CQeEffectDefCollada::readBinding() {
    SParameter binding;
    binding.name = attribute("symbol");
    children([this, &binding](const stringc& name) {
        if (is(name, "param")) {
            binding.value = attribute("ref");
            passOver();
        } else {
            skip(true);
        }
    });
    return binding;
}

bool CQeEffectDefLoaderCollada::isALoadableFileExtension(const irr::io::path& fileName) const {
    return qeHasFileExtension(fileName, "dae", "xml");
}

IQeEffectDef* CQeEffectDefLoaderCollada::createEffectDef(irr::io::IFileSystem* fileSystem,
                                                         const irr::io::path& fileName, bool isOpenGL,
                                                         const c8** errorText) {
    return new (std::nothrow) CQeEffectDefCollada(fileSystem, fileName, isOpenGL, errorText);
}

IQeEffectDefLoader* createEffectDefLoaderCollada() { return new (std::nothrow) CQeEffectDefLoaderCollada(); }
