// ElectroFrag. It draws in the scene's pixel projection and only pushes the model-view matrix, so the
// square turns and grows about its anchor.
#include "fragments/electro_frag.h"

#include <SDL_opengl.h>

#include "fragments/electro_points.h"
#include "utils/draw.h"
#include "utils/texture.h"
#include "utils/texture_library.h"

ElectroFrag::ElectroFrag(float life) : Fragment(life) {}

ElectroPose electroPose(const ElectroFrag& f, float time)
{
    const float p = progress(f, time);
    return {f.angle + f.spin * p, f.scale + f.growth * easeOut(p), fadeEnvelopeWide(p, ElectroPeakOpacity)};
}

void ElectroFrag::draw(float time)
{
    const ElectroPose pose = electroPose(*this, time);
    setFragmentColor(colorIndex, pose.opacity);
    const uint32_t texture = ElectroTextures[textureIndex];
    bindTexture(texture);
    const Point2 anchor = ElectroPoints[size_t(pointIndex)];
    glPushMatrix();
    glTranslatef(anchor.x, anchor.y, 0);
    glRotatef(pose.angle, 0, 0, 1);
    glScalef(pose.scale, pose.scale, 1);
    if (pose.opacity > 0)  // transparent at the very start and end: nothing would change
        drawTexturedMesh(textureCover(texture), -ElectroHalfEdge, -ElectroHalfEdge, ElectroHalfEdge, ElectroHalfEdge);
    glPopMatrix();
    disableTexturing();
}
