// What the GL the show draws with can do, where that differs between platforms. The desktop's GL
// does all of it; the browser's fixed-function emulation over WebGL 1 lacks three things the drawing
// uses. Chosen once at initVideo from the platform, so both ways are built and tested everywhere.
#pragma once

struct GlCapabilities {
    bool wideIndices = true;        // glDrawElements takes 32-bit client-side indices (else 16-bit only)
    bool looseNormals = true;       // a normal set outside glBegin/glEnd is plain state (else a bogus attribute)
    bool alphaTextures = true;      // an alpha texture modulates by alpha alone (else colour by its black too)
};

// --- The current set
const GlCapabilities& glCapabilities();          // the desktop's until initVideo or a set
void setGlCapabilities(const GlCapabilities& capabilities);  // initVideo, and tests of the other branches
