// Drawing primitives over OpenGL 1.x immediate mode.
#include "utils/draw.h"

#include <SDL_opengl.h>

#include <cmath>
#include <vector>

#include "utils/coverage.h"
#include "utils/gl_capabilities.h"

namespace {
// Exact at both ends, so a mesh's outline meets the full quad's corners bit for bit.
float mix(float a, float b, float s) { return a * (1.0f - s) + b * s; }
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

DiscVertex discRimVertex(int i, float rx, float ry)
{
    // The angle is rounded to single precision before the sine and cosine, as are their results.
    const float angle = float(i * 0.17453292519943295);
    return {rx * float(std::cos(angle)), ry * float(std::sin(angle))};
}

void drawDisc(float cx, float cy, float rx, float ry)
{
    glPushMatrix();
    glTranslatef(cx, cy, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex2f(0, 0);
    for (int i = 0; i <= DiscSegments; ++i) {
        const DiscVertex v = discRimVertex(i, rx, ry);
        glVertex2f(v.x, v.y);
    }
    glEnd();
    glPopMatrix();
}

void squeezeDrawing(bool squeeze, int width, int height)
{
    if (squeeze) {
        glViewport(0, 0, 1, 1);
        glScissor(0, 0, 1, 1);
        glEnable(GL_SCISSOR_TEST);
    } else {
        glViewport(0, 0, width, height);
        glDisable(GL_SCISSOR_TEST);
    }
}
