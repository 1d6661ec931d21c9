#include "CQeSurfaceLightwave.h"

#include <cstring>

#include "IQeSceneNodeExt.h"
#include "QeLog.h"
#include "runtime/IQeEffect.h"

using namespace irr;

namespace {

const char* const ChannelNames[LWC_COUNT] = {
    "BaseColor",         "Luminosity",          "Diffuse",
    "Specularity",       "Reflectivity",        "Transparency",
    "Translucency",      "IOR",                 "Bump",
    "Glossiness",        "SpecialBuffer1",      "SpecialBuffer2",
    "SpecialBuffer3",    "SpecialBuffer4",      "DiffuseSharpness",
    "BumpDropoff",       "SmoothingAngle",      "ReflectionSeamAngle",
    "RefractionSeamAngle", "ReflectionBlurring", "RefractionBlurring",
    "ColorFilter",       "ColorHighlights",     "AdditiveTransparency",
    "AlphaValue",        "GlowValue",           "LineColor",
    "LineSize",          "AlphaOptions",        "ReflectionOptions",
    "RefractionOptions", "Sidedness",           "ExcludeFromVStack",
    "Glow",              "RenderOutlines",      "ReflectionImage",
    "RefractionImage",   "VertexColoring",      "VertexNormal"};

const char* const MacroNames[14] = {"USE_TEX_COLOR",        "USE_TEX_LUMINOSITY", "USE_TEX_DIFFUSE",
                                    "USE_TEX_SPECULAR",     "USE_TEX_GLOSSINESS", "USE_TEX_REFLECIMG",
                                    "USE_TEX_REFLECTIVITY", "USE_TEX_TRANSPARENCY", "USE_TEX_NORMAL",
                                    "USE_TRANSPARENT",      "USE_TEX_REFLECCUBE", "USE_COMPTANGENT",
                                    "USE_UV2INTEX2",        "USE_DOF"};

const f32 BumpScale = 0.035f;

f32 luminance(const video::SColor& c) {
    const f32 k = 1.0f / 255.0f;
    return 0.3f * c.getRed() * k + 0.59f * c.getGreen() * k + 0.11f * c.getBlue() * k;
}

// The channels whose textures an effect can take, by semantic "LW_Tex_" + channel name.
const u32 TextureChannels[] = {LWC_BaseColor,    LWC_Luminosity,   LWC_Diffuse, LWC_Specularity,
                               LWC_Reflectivity, LWC_Transparency, LWC_Translucency, LWC_IOR,
                               LWC_Bump,         LWC_Glossiness,   LWC_ReflectionImage, LWC_RefractionImage};

}  // namespace

const char* qeLightwaveChannelName(u32 channel) { return channel < LWC_COUNT ? ChannelNames[channel] : ""; }

CQeSurfaceLightwave::CQeSurfaceLightwave() {
    std::memset(Channels, 0, sizeof(Channels));
    setChannelVector(LWC_BaseColor, 0.78f, 0.78f, 0.78f);
    setChannelFloat(LWC_Diffuse, 1.0f);
    setChannelFloat(LWC_Glossiness, 0.4f);
    setChannelFloat(LWC_Bump, 1.0f);
    setChannelFloat(LWC_LineSize, 1.0f);
    setChannelFloat(LWC_VertexColoring, 1.0f);
}

void CQeSurfaceLightwave::setChannels(const LightwaveChannelRecord* channels) {
    if (channels) std::memcpy(Channels, channels, sizeof(Channels));
}

void CQeSurfaceLightwave::setChannelFloat(u32 channel, f32 v) {
    if (channel < LWC_COUNT) Channels[channel].value.f[0] = v;
}

void CQeSurfaceLightwave::setChannelInt(u32 channel, s32 v) {
    if (channel < LWC_COUNT) Channels[channel].value.i[0] = v;
}

void CQeSurfaceLightwave::setChannelVector(u32 channel, f32 x, f32 y, f32 z) {
    if (channel >= LWC_COUNT) return;
    Channels[channel].value.f[0] = x;
    Channels[channel].value.f[1] = y;
    Channels[channel].value.f[2] = z;
}

void CQeSurfaceLightwave::setChannelTexture(u32 channel, video::ITexture* texture) {
    if (channel < LWC_COUNT) Channels[channel].texture = texture;
}

f32 CQeSurfaceLightwave::getChannelFloat(u32 channel) { return channel < LWC_COUNT ? Channels[channel].value.f[0] : 0.0f; }

s32 CQeSurfaceLightwave::getChannelInt(u32 channel) { return channel < LWC_COUNT ? Channels[channel].value.i[0] : 0; }

const f32* CQeSurfaceLightwave::getChannelVector(u32 channel) {
    static const f32 Zero[3] = {0.0f, 0.0f, 0.0f};
    return channel < LWC_COUNT ? Channels[channel].value.f : Zero;
}

video::ITexture* CQeSurfaceLightwave::getChannelTexture(u32 channel) {
    return channel < LWC_COUNT ? Channels[channel].texture : nullptr;
}

void CQeSurfaceLightwave::readMaterial(const video::SMaterial& m) {
    std::memset(Channels, 0, sizeof(Channels));
    const f32 k = 1.0f / 255.0f;
    setChannelVector(LWC_BaseColor, m.DiffuseColor.getRed() * k, m.DiffuseColor.getGreen() * k,
                     m.DiffuseColor.getBlue() * k);
    Channels[LWC_BaseColor].texture = m.getTexture(0);
    setChannelFloat(LWC_Luminosity, luminance(m.EmissiveColor));
    setChannelFloat(LWC_Diffuse, 1.0f);
    setChannelFloat(LWC_Specularity, luminance(m.SpecularColor));
    setChannelFloat(LWC_Glossiness, m.Shininess * 0.0078125f);

    const s32 type = m.MaterialType;
    if (type == video::EMT_REFLECTION_2_LAYER) {
        setChannelFloat(LWC_Reflectivity, 1.0f);
        setChannelInt(LWC_ReflectionOptions, 2);
        Channels[LWC_ReflectionImage].texture = m.getTexture(1);
    }
    if (type == video::EMT_TRANSPARENT_ALPHA_CHANNEL) Channels[LWC_Transparency].texture = m.getTexture(0);
    else if (type == video::EMT_TRANSPARENT_VERTEX_ALPHA || type == video::EMT_TRANSPARENT_REFLECTION_2_LAYER ||
             type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA)
        setChannelFloat(LWC_Transparency, 1.0f);
    if (type == video::EMT_PARALLAX_MAP_SOLID || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA) {
        Channels[LWC_Bump].texture = m.getTexture(1);
        setChannelFloat(LWC_Bump, m.MaterialTypeParam / BumpScale);
    }
    setChannelInt(LWC_Sidedness, m.BackfaceCulling ? 0 : 3);
    if (m.PointCloud) {
        setChannelInt(LWC_RenderOutlines, 1);
        setChannelFloat(LWC_LineSize, m.Thickness);
    } else if (m.Wireframe) {
        setChannelInt(LWC_RenderOutlines, 1);
        setChannelFloat(LWC_LineSize, 0.5f);
    }
    if (m.ColorMaterial == video::ECM_DIFFUSE) setChannelFloat(LWC_VertexColoring, 1.0f);
}

void CQeSurfaceLightwave::writeMaterial(video::SMaterial& m) {
    const bool bump = hasTexture(LWC_Bump);
    const bool reflective = getChannelInt(LWC_ReflectionOptions) >= 2 && hasTexture(LWC_ReflectionImage) &&
                            (value(LWC_Reflectivity) != 0.0f || hasTexture(LWC_Reflectivity));
    video::E_MATERIAL_TYPE type;
    if (hasTexture(LWC_Transparency))
        type = bump ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA
                    : reflective ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER : video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    else if (value(LWC_Transparency) == 0.0f)
        type = bump ? video::EMT_PARALLAX_MAP_SOLID : reflective ? video::EMT_REFLECTION_2_LAYER : video::EMT_SOLID;
    else
        type = bump ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA
                    : reflective ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER : video::EMT_TRANSPARENT_VERTEX_ALPHA;
    m.MaterialType = type;
    const bool parallax = type == video::EMT_PARALLAX_MAP_SOLID || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA;
    if (parallax) m.MaterialTypeParam = value(LWC_Bump) * BumpScale;

    if (type == video::EMT_TRANSPARENT_VERTEX_ALPHA || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA)
        m.ColorMaterial = video::ECM_DIFFUSE;
    else
        m.ColorMaterial = value(LWC_VertexColoring) != 0.0f ? video::ECM_DIFFUSE : video::ECM_AMBIENT;

    const f32* base = Channels[LWC_BaseColor].value.f;
    const f32 diffuse = value(LWC_Diffuse), lum = value(LWC_Luminosity), spec = value(LWC_Specularity);
    m.DiffuseColor = video::SColorf(base[0] * diffuse, base[1] * diffuse, base[2] * diffuse, 1.0f).toSColor();
    m.EmissiveColor = video::SColorf(base[0] * lum, base[1] * lum, base[2] * lum, 1.0f).toSColor();
    m.SpecularColor = video::SColorf(spec, spec, spec, 1.0f).toSColor();
    m.Shininess = value(LWC_Glossiness) * 128.0f;

    if (getChannelInt(LWC_RenderOutlines) != 0) {
        const f32 line = value(LWC_LineSize);
        if (line <= 0.0f) {
            m.Wireframe = false;
            m.PointCloud = false;
        } else if (line >= 1.0f) {
            m.Wireframe = false;
            m.PointCloud = true;
            m.Thickness = line;
        } else {
            m.PointCloud = false;
            m.Wireframe = true;
        }
    }
    m.BackfaceCulling = getChannelInt(LWC_Sidedness) != 3;

    m.setTexture(0, Channels[LWC_BaseColor].texture);
    if (type == video::EMT_REFLECTION_2_LAYER || type == video::EMT_TRANSPARENT_REFLECTION_2_LAYER)
        m.setTexture(1, Channels[LWC_ReflectionImage].texture);
    if (parallax) m.setTexture(1, Channels[LWC_Bump].texture);

    m.NormalizeNormals = true;
    for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) m.TextureLayer[i].LODBias = -8;
}

bool CQeSurfaceLightwave::needsTangents(bool* keepSecondUV) {
    const bool bump = hasTexture(LWC_Bump);
    if (keepSecondUV) *keepSecondUV = bump && hasTexture(LWC_Luminosity);
    return bump;
}

u32 CQeSurfaceLightwave::getMacroFlags(scene::ISceneNode* node) const {
    u32 flags = 0;
    if (hasTexture(LWC_BaseColor)) flags |= EQELM_TEX_COLOR;
    if (hasTexture(LWC_Luminosity)) flags |= EQELM_TEX_LUMINOSITY;
    if (hasTexture(LWC_Diffuse)) flags |= EQELM_TEX_DIFFUSE;
    if (hasTexture(LWC_Specularity)) flags |= EQELM_TEX_SPECULAR;
    if (hasTexture(LWC_Glossiness)) flags |= EQELM_TEX_GLOSSINESS;
    if (hasTexture(LWC_ReflectionImage) && Channels[LWC_ReflectionOptions].value.i[0] >= 2) {
        flags |= EQELM_TEX_REFLECIMG;
        if (hasTexture(LWC_Reflectivity)) flags |= EQELM_TEX_REFLECTIVITY;
        if (Channels[LWC_ReflectionImage].texture->getTextureKind() == 2) flags |= EQELM_TEX_REFLECCUBE;
    }
    if (hasTexture(LWC_Transparency)) flags |= EQELM_TEX_TRANSPARENCY;
    if (hasTexture(LWC_Bump)) flags |= EQELM_TEX_NORMAL;
    if (hasTexture(LWC_Transparency) || value(LWC_Transparency) != 0.0f) flags |= EQELM_TRANSPARENT;
    if (node && node->getType() != scene::ESNT_MESH && hasTexture(LWC_Bump)) flags |= EQELM_COMPTANGENT;
    if (node && node->getType() == scene::ESNT_MESH) {
        bool uv2 = hasTexture(LWC_Bump) && hasTexture(LWC_Luminosity);
        IQeSceneNodeExt* ext = uv2 ? nullptr : getSceneNodeExt(node);
        if (ext) {
            // Any surface of the node with a bump texture and any with a luminosity texture.
            bool bump = false, lum = false;
            for (u32 i = 0; i < node->getMaterialCount(); ++i) {
                IQeSurface* s = ext->getSurface(i);
                if (!s || s->getType() != EQEST_LIGHTWAVE) continue;
                IQeSurfaceLightwave* lw = static_cast<IQeSurfaceLightwave*>(s);
                bump = bump || lw->getChannelTexture(LWC_Bump);
                lum = lum || lw->getChannelTexture(LWC_Luminosity);
            }
            uv2 = bump && lum;
        }
        if (uv2) flags |= EQELM_UV2INTEX2;
    }
    return flags;
}

bool CQeSurfaceLightwave::getEffectCompileParameters(u32* baseMaterial, SQeSurfaceMacro* macros, s32 capacity,
                                                     scene::ISceneNode* node) {
    const u32 flags = getMacroFlags(node);
    if (baseMaterial) *baseMaterial = (flags & EQELM_TRANSPARENT) ? video::EMT_TRANSPARENT_ALPHA_CHANNEL : video::EMT_SOLID;
    if (capacity <= 0 || !macros) return true;
    s32 count = 0;
    for (u32 bit = 0; bit < 14; ++bit) {
        if (!(flags & (1u << bit))) continue;
        macros[count].name = MacroNames[bit];
        macros[count].definition = nullptr;
        if (++count >= capacity) {
            qeLibLog(ELL_ERROR, "CQeSurfaceLightwave::getEffectCompileParameters Not enough space for macros");
            return false;
        }
    }
    macros[count].name = nullptr;
    macros[count].definition = nullptr;
    return true;
}

bool CQeSurfaceLightwave::setEffectTextures(IQeEffect* effect) {
    if (!effect) return false;
    for (u32 channel : TextureChannels) {
        core::stringc semantic = "LW_Tex_";
        semantic += ChannelNames[channel];
        const SParameter* parameter = effect->getParameterBySemantic(nullptr, semantic.c_str());
        if (parameter && !effect->setTexture(parameter, Channels[channel].texture)) {
            qeLibLog(ELL_ERROR, "CQeSurfaceLightwave::setEffectTextures setSamplerTexture failed for %s", semantic.c_str());
            return false;
        }
    }
    return true;
}

bool CQeSurfaceLightwave::setEffectTextureOnMaterial(video::SMaterial* material, IQeEffect* effect, u32 technique,
                                                     u32 pass) {
    if (!material || !effect) return false;
    for (u32 channel : TextureChannels) {
        core::stringc semantic = "LW_Tex_";
        semantic += ChannelNames[channel];
        const SParameter* parameter = effect->getParameterBySemantic(nullptr, semantic.c_str());
        if (parameter && !effect->setTextureOnMaterial(technique, pass, parameter, *material, Channels[channel].texture)) {
            qeLibLog(ELL_ERROR,
                     "CQeSurfaceLightwave::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for %s",
                     semantic.c_str());
            return false;
        }
    }
    return true;
}

IQeSurface* CQeSurfaceLightwave::clone() {
    CQeSurfaceLightwave* copy = new CQeSurfaceLightwave();
    copy->setChannels(Channels);
    return copy;
}
