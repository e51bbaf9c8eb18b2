// Drawing primitives over OpenGL 1.x immediate mode.
#include "utils/draw.h"

#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "utils/coverage.h"
#include "utils/gl_capabilities.h"
#include "utils/video.h"

namespace {
// Exact at both ends, so a mesh's outline meets the full quad's corners bit for bit.
float mix(float a, float b, float s) { return a * (1.0f - s) + b * s; }

PixelRect picture{0, 0, 0, 0};   // the viewport of an unsqueezed frame
bool squeezed = false;
}  // namespace

void bindTexture(uint32_t name)
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
}

void disableTexturing() { glDisable(GL_TEXTURE_2D); }

void setOrtho(float left, float right, float bottom, float top)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, right, bottom, top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void drawTexturedQuad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glNormal3f(0, 0, 1);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 0);
    glNormal3f(0, 0, 1);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 1);
    glNormal3f(0, 0, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glNormal3f(0, 0, 1);
    glVertex2f(x0, y1);
    glEnd();
}

void drawTexturedMesh(const CoverMesh& mesh, float x0, float y0, float x1, float y1)
{
    if (mesh.whole) {
        drawTexturedQuad(x0, y0, x1, y1);
        return;
    }
    if (mesh.triangles.empty()) return;
    static std::vector<float> positions;  // reused: no allocation per draw once grown
    positions.resize(mesh.points.size() * 2);
    for (size_t i = 0; i < mesh.points.size(); ++i) {
        positions[2 * i] = mix(x0, x1, mesh.points[i].s);
        positions[2 * i + 1] = mix(y0, y1, mesh.points[i].t);
    }
    // Cover meshes have fewer than 65536 points, so 16-bit indices always reach them.
    static std::vector<uint16_t> shortIndices;
    const bool wide = glCapabilities().wideIndices;
    if (!wide) shortIndices.assign(mesh.triangles.begin(), mesh.triangles.end());
    const GLenum indexType = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    const void* indexData = wide ? static_cast<const void*>(mesh.triangles.data()) : shortIndices.data();
    // Lighting is off, so the normal changes nothing where it would be taken as a vertex attribute.
    if (glCapabilities().looseNormals) glNormal3f(0, 0, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.points.data());
    glDrawElements(GL_TRIANGLES, GLsizei(mesh.triangles.size()), indexType, indexData);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

int discSegmentsAt(float scale) { return DiscSegments * std::max(1, int(std::ceil(scale))); }

DiscVertex discRimVertex(int i, float rx, float ry, int segments)
{
    // The angle is rounded to single precision before the sine and cosine, as are their results. The
    // show's own 36 steps keep their exact step, so the picture at its own size never moves.
    const double step = segments == DiscSegments ? 0.17453292519943295 : 6.283185307179586 / segments;
    const float angle = float(i * step);
    return {rx * float(std::cos(angle)), ry * float(std::sin(angle))};
}

void drawDisc(float cx, float cy, float rx, float ry)
{
    // The rim's flat sides would show at a magnified size: a disc keeps as many rim points per output
    // pixel as at the show's own size.
    const int segments = discSegmentsAt(pictureScale(screenHeight()));
    glPushMatrix();
    glTranslatef(cx, cy, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex2f(0, 0);
    for (int i = 0; i <= segments; ++i) {
        const DiscVertex v = discRimVertex(i, rx, ry, segments);
        glVertex2f(v.x, v.y);
    }
    glEnd();
    glPopMatrix();
}

PixelRect letterbox(int outputWidth, int outputHeight, int pictureWidth, int pictureHeight)
{
    PixelRect r{0, 0, outputWidth, outputHeight};
    if (int64_t(outputWidth) * pictureHeight > int64_t(outputHeight) * pictureWidth)
        r.width = int(int64_t(outputHeight) * pictureWidth / pictureHeight);   // bars left and right
    else
        r.height = int(int64_t(outputWidth) * pictureHeight / pictureWidth);   // bars above and below
    r.x = (outputWidth - r.width) / 2;
    r.y = (outputHeight - r.height) / 2;
    return r;
}

void setPictureViewport(PixelRect rect)
{
    picture = rect;
    if (!squeezed) glViewport(picture.x, picture.y, picture.width, picture.height);
}

PixelRect pictureViewport() { return picture; }

float pictureScale(int showHeight) { return showHeight > 0 ? float(picture.height) / float(showHeight) : 1.0f; }

void squeezeDrawing(bool squeeze)
{
    squeezed = squeeze;
    if (squeeze) {
        glViewport(0, 0, 1, 1);
        glScissor(0, 0, 1, 1);
        glEnable(GL_SCISSOR_TEST);
    } else {
        glViewport(picture.x, picture.y, picture.width, picture.height);
        glDisable(GL_SCISSOR_TEST);
    }
}
