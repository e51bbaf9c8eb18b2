// Test GL context. The offscreen video driver needs no X server, so these tests run anywhere.
#include "support/gl_context.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdlib>
#include <vector>

#include "utils/draw.h"
#include "utils/video.h"

void openTestDisplay()
{
    static bool open = false;
    if (open) return;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    initVideo(1024, 768, false);
    open = true;
    resetSceneState();
}

void resetSceneState()
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    setOrtho(0, float(screenWidth()), 0, float(screenHeight()));
}

namespace {
// The GL library exports only the core 1.x entry points; framebuffer objects come through SDL.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSEXTPROC genFramebuffers;
    PFNGLDELETEFRAMEBUFFERSEXTPROC deleteFramebuffers;
    PFNGLBINDFRAMEBUFFEREXTPROC bindFramebuffer;
    PFNGLGENRENDERBUFFERSEXTPROC genRenderbuffers;
    PFNGLDELETERENDERBUFFERSEXTPROC deleteRenderbuffers;
    PFNGLBINDRENDERBUFFEREXTPROC bindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEEXTPROC renderbufferStorage;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC framebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkFramebufferStatus;
};

template <class F>
F load(const char* name)
{
    return reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

const FramebufferCalls& fbo()
{
    static const FramebufferCalls calls{
        load<PFNGLGENFRAMEBUFFERSEXTPROC>("glGenFramebuffersEXT"),
        load<PFNGLDELETEFRAMEBUFFERSEXTPROC>("glDeleteFramebuffersEXT"),
        load<PFNGLBINDFRAMEBUFFEREXTPROC>("glBindFramebufferEXT"),
        load<PFNGLGENRENDERBUFFERSEXTPROC>("glGenRenderbuffersEXT"),
        load<PFNGLDELETERENDERBUFFERSEXTPROC>("glDeleteRenderbuffersEXT"),
        load<PFNGLBINDRENDERBUFFEREXTPROC>("glBindRenderbufferEXT"),
        load<PFNGLRENDERBUFFERSTORAGEEXTPROC>("glRenderbufferStorageEXT"),
        load<PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC>("glFramebufferRenderbufferEXT"),
        load<PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC>("glCheckFramebufferStatusEXT"),
    };
    return calls;
}

PixelRect displayPicture{0, 0, 0, 0};
}  // namespace

LargerFramebuffer::LargerFramebuffer(int width, int height)
{
    const FramebufferCalls& gl = fbo();
    if (!gl.genFramebuffers || !gl.checkFramebufferStatus) return;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &display_);
    gl.genFramebuffers(1, &framebuffer_);
    gl.genRenderbuffers(1, &colour_);
    gl.bindRenderbuffer(GL_RENDERBUFFER_EXT, colour_);
    gl.renderbufferStorage(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
    gl.bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer_);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour_);
    complete_ = gl.checkFramebufferStatus(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    displayPicture = pictureViewport();
    setPictureViewport(letterbox(width, height, screenWidth(), screenHeight()));
}

LargerFramebuffer::~LargerFramebuffer()
{
    if (!framebuffer_) return;
    const FramebufferCalls& gl = fbo();
    gl.bindFramebuffer(GL_FRAMEBUFFER_EXT, GLuint(display_));
    gl.deleteFramebuffers(1, &framebuffer_);
    gl.deleteRenderbuffers(1, &colour_);
    setPictureViewport(displayPicture);
}

Rgb readPixel(int x, int y)
{
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

int countPixels(int x0, int y0, int x1, int y1, bool (*match)(Rgb))
{
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> p(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x0, y0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    int n = 0;
    for (size_t i = 0; i < p.size(); i += 4)
        if (match({p[i], p[i + 1], p[i + 2]})) ++n;
    return n;
}
