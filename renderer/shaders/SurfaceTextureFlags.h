// 1 or 0 for each surface texture define, to count sampler registers with.
#ifndef SURFACE_TEXTURE_FLAGS_H
#define SURFACE_TEXTURE_FLAGS_H
#ifdef USE_TEX_COLOR
#define F_COLOR 1
#else
#define F_COLOR 0
#endif
#ifdef USE_TEX_LUMINOSITY
#define F_LUM 1
#else
#define F_LUM 0
#endif
#ifdef USE_TEX_DIFFUSE
#define F_DIFF 1
#else
#define F_DIFF 0
#endif
#ifdef USE_TEX_SPECULAR
#define F_SPEC 1
#else
#define F_SPEC 0
#endif
#ifdef USE_TEX_GLOSSINESS
#define F_GLOSS 1
#else
#define F_GLOSS 0
#endif
#ifdef USE_TEX_TRANSPARENCY
#define F_TRANSP 1
#else
#define F_TRANSP 0
#endif
#ifdef USE_TEX_NORMAL
#define F_NORMAL 1
#else
#define F_NORMAL 0
#endif
#ifdef USE_TEX_REFLECIMG
#define F_REFLIMG 1
#else
#define F_REFLIMG 0
#endif
#ifdef USE_TEX_REFLECTIVITY
#define F_REFLECTIVITY 1
#else
#define F_REFLECTIVITY 0
#endif
#endif
