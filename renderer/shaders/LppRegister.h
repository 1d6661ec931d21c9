// Sampler register by layer position: define LPP_AT as the number of textures in the layers before
// a sampler, include this file, then declare the sampler with ": LPP_REGISTER_HERE".
#undef LPP_REGISTER_HERE
#if (LPP_AT) == 0
#define LPP_REGISTER_HERE register(s0)
#elif (LPP_AT) == 1
#define LPP_REGISTER_HERE register(s1)
#elif (LPP_AT) == 2
#define LPP_REGISTER_HERE register(s2)
#elif (LPP_AT) == 3
#define LPP_REGISTER_HERE register(s3)
#elif (LPP_AT) == 4
#define LPP_REGISTER_HERE register(s4)
#elif (LPP_AT) == 5
#define LPP_REGISTER_HERE register(s5)
#elif (LPP_AT) == 6
#define LPP_REGISTER_HERE register(s6)
#elif (LPP_AT) == 7
#define LPP_REGISTER_HERE register(s7)
#elif (LPP_AT) == 8
#define LPP_REGISTER_HERE register(s8)
#elif (LPP_AT) == 9
#define LPP_REGISTER_HERE register(s9)
#elif (LPP_AT) == 10
#define LPP_REGISTER_HERE register(s10)
#elif (LPP_AT) == 11
#define LPP_REGISTER_HERE register(s11)
#elif (LPP_AT) == 12
#define LPP_REGISTER_HERE register(s12)
#elif (LPP_AT) == 13
#define LPP_REGISTER_HERE register(s13)
#elif (LPP_AT) == 14
#define LPP_REGISTER_HERE register(s14)
#elif (LPP_AT) == 15
#define LPP_REGISTER_HERE register(s15)
#endif
