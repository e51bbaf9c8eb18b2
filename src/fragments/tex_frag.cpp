// TexFrag. The texture is looked up by name on every draw: the library is tiny, and an unknown name
// must fall back to a plain square rather than to a stale texture.
#include "fragments/tex_frag.h"

#include <SDL_opengl.h>

#include "utils/draw.h"
#include "utils/random.h"
#include "utils/texture.h"
#include "utils/texture_library.h"

TexFrag::TexFrag(float life) : Fragment(life), colorIndex(int(randomFloat(5))) {}

SpritePose texFragPose(const TexFrag& s, float time)
{
    const float p = progress(s, time);
    return {s.fromX + (s.toX - s.fromX) * p,
            s.fromY + (s.toY - s.fromY) * p,
            s.angle + s.spin * p,
            s.scale + s.growth * p,
            fadeEnvelope(p, s.alpha)};
}

void TexFrag::draw(float time)
{
    const SpritePose pose = texFragPose(*this, time);
    const uint32_t texture = findTexture(textureName);
    if (texture != NoTexture) bindTexture(texture);
    setFragmentColor(WarmColorBase + colorIndex, pose.opacity);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    setOrtho(-SpriteViewHalfWidth, SpriteViewHalfWidth, -SpriteViewHalfHeight, SpriteViewHalfHeight);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(pose.x, pose.y, 0);
    glRotatef(pose.angle, 0, 0, 1);
    glScalef(pose.size, pose.size, 1);
    // Untextured, the plain square shows everywhere; textured, only where the image can. At opacity 0
    // (a cue's sprites in their first frame) blending would leave every pixel as it was.
    if (pose.opacity > 0) {
        if (texture != NoTexture)
            drawTexturedMesh(textureCover(texture), -0.5f, -0.5f, 0.5f, 0.5f);
        else
            drawTexturedQuad(-0.5f, -0.5f, 0.5f, 0.5f);
    }

    // Back to the scene's context: identity model-view under the pixel projection, no texturing.
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    disableTexturing();
}
