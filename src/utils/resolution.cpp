// The resolution rule. The renderer names are those Mesa, ANGLE and the common software fallbacks
// report (GL_RENDERER, or WebGL's unmasked renderer); a name is matched anywhere in the text, any case.
#include "utils/resolution.h"

#include <strings.h>

#include <cstring>

namespace {
constexpr const char* SoftwareRenderers[] = {
    "llvmpipe",            // Mesa's default software rasteriser (Xvfb, VMs, servers without a GPU)
    "softpipe",            // Mesa's reference rasteriser
    "swrast",              // Mesa's classic one, and some drivers' fallback name
    "SwiftShader",         // Chromium's WebGL without a GPU
    "Software Rasterizer", // Apple's, and Mesa's as some versions name it
    "GDI Generic",         // Windows without a GL driver
};
static_assert(sizeof SoftwareRenderers / sizeof SoftwareRenderers[0] == 6, "one entry per software rasteriser");

bool containsIgnoringCase(const char* text, const char* word)
{
    const size_t length = std::strlen(word);
    for (const char* p = text; *p; ++p)
        if (strncasecmp(p, word, length) == 0) return true;
    return false;
}
}  // namespace

bool parseResolutionSetting(const char* text, ResolutionSetting& out)
{
    if (!text || !*text || std::strcmp(text, "auto") == 0) out = ResolutionSetting::Auto;
    else if (std::strcmp(text, "native") == 0) out = ResolutionSetting::Native;
    else if (std::strcmp(text, "1024x768") == 0) out = ResolutionSetting::ShowSize;
    else return false;
    return true;
}

const char* resolutionSettingText(ResolutionSetting setting)
{
    switch (setting) {
    case ResolutionSetting::Native: return "native";
    case ResolutionSetting::ShowSize: return "1024x768";
    default: return "auto";
    }
}

bool isSoftwareRenderer(const char* glRenderer)
{
    if (!glRenderer) return false;
    for (const char* name : SoftwareRenderers)
        if (containsIgnoringCase(glRenderer, name)) return true;
    return false;
}

bool drawsAtScreenSize(ResolutionSetting setting, const char* glRenderer)
{
    switch (setting) {
    case ResolutionSetting::Native: return true;
    case ResolutionSetting::ShowSize: return false;
    default: return !isSoftwareRenderer(glRenderer);
    }
}
