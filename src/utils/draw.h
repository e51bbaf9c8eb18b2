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
void drawDisc(float cx, float cy, float rx, float ry);          // filled ellipse, a fan of 36 triangles

// --- Frames nobody sees (the tools run the whole show logic up to the frames they want)
void squeezeDrawing(bool squeeze, int width, int height);  // squeeze: all drawing lands in one pixel, the GL
                                                            // calls the same, the rasterising nearly free;
                                                            // else the viewport is width x height pixels again

// --- Pure geometry behind drawDisc
constexpr int DiscSegments = 36;
struct DiscVertex { float x, y; };
DiscVertex discRimVertex(int i, float rx, float ry);  // rim vertex i (0..36) of a disc centred on the origin
