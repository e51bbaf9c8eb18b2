// How many pixels the picture is drawn with. The show's coordinates are always 1024x768; the
// framebuffer is the screen's own size where the GL can fill that many pixels in time, and the
// show's size (scaled up by the compatibility layer or the page) on a software rasteriser, where
// the frame time follows the pixels drawn. SHOW_RESOLUTION (desktop) or ?resolution= (browser)
// overrides the choice. Pure: no GL, no environment.
#pragma once

enum class ResolutionSetting {
    Auto,       // the screen's size, unless the renderer is a software one
    Native,     // the screen's own pixels, whatever the renderer
    ShowSize,   // 1024x768, scaled to the screen as a whole
};

// --- The setting
bool parseResolutionSetting(const char* text, ResolutionSetting& out);  // null or "": Auto; "native", "1024x768"
const char* resolutionSettingText(ResolutionSetting setting);            // "auto", "native", "1024x768"

// --- The choice
bool isSoftwareRenderer(const char* glRenderer);   // llvmpipe, softpipe, SwiftShader and the like
bool drawsAtScreenSize(ResolutionSetting setting, const char* glRenderer);
