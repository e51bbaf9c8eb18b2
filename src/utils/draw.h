// The immediate-mode drawing primitives every picture of the show is made of. They never set a
// colour or a blend mode: the caller sets the colour first and brackets textured drawing with
// bindTexture ... disableTexturing. A current GL context is required.
#pragma once
#include <cstdint>

struct CoverMesh;

// --- Texturing
void bindTexture(uint32_t name);   // enables 2D texturing and binds the texture
void disableTexturing();           // disables 2D texturing; the texture stays bound

// --- Projection
void setOrtho(float left, float right, float bottom, float top);  // loads a 2D projection, model-view = identity

// --- Shapes (units of the current projection)
void drawTexturedQuad(float x0, float y0, float x1, float y1);  // texcoord (0,0) at (x0,y0), (1,1) at (x1,y1)
// The same quad, filled only where its texture can show (textureCover); a whole mesh is drawTexturedQuad.
void drawTexturedMesh(const CoverMesh& mesh, float x0, float y0, float x1, float y1);
void drawDisc(float cx, float cy, float rx, float ry);          // filled ellipse, a fan of discSegmentsAt triangles

// --- Where the picture lands in the framebuffer (pixels, origin bottom-left)
// The scene is always drawn in the show's own coordinates (setOrtho); only the viewport it is
// rasterised into follows the output, so the same scene comes out sharp at any size.
struct PixelRect {
    int x, y, width, height;
};
PixelRect letterbox(int outputWidth, int outputHeight, int pictureWidth, int pictureHeight);  // largest of the
                                                            // picture's shape inside the output, centred
void setPictureViewport(PixelRect rect);   // the viewport every frame draws into (kept while squeezed)
PixelRect pictureViewport();               // as last set; initVideo sets the letterbox of the output
float pictureScale(int showHeight);        // framebuffer pixels per show pixel, 1 at the show's own size

// --- Frames nobody sees (the tools run the whole show logic up to the frames they want)
void squeezeDrawing(bool squeeze);  // squeeze: all drawing lands in one pixel, the GL calls the same, the
                                    // rasterising nearly free; else the picture viewport again

// --- Pure geometry behind drawDisc
constexpr int DiscSegments = 36;     // at the show's own size; more where the picture is larger
struct DiscVertex { float x, y; };
int discSegmentsAt(float scale);     // 36 x the whole number of times the picture is magnified (at least 1)
DiscVertex discRimVertex(int i, float rx, float ry, int segments = DiscSegments);  // rim vertex i (0..segments)
