// The drawing primitives, texture upload and cover meshes on a real GL context, checked by reading
// pixels back.
#include <gtest/gtest.h>
#define GL_GLEXT_PROTOTYPES 1
#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fragments/fragment.h"
#include "support/gl_context.h"
#include "support/show_files.h"
#include "utils/draw.h"
#include "utils/gl_capabilities.h"
#include "utils/texture.h"
#include "utils/texture_library.h"

namespace {
bool lit(Rgb p) { return p.r + p.g + p.b > 0; }
bool white(Rgb p) { return p.r > 250 && p.g > 250 && p.b > 250; }

void expectColor(Rgb p, int r, int g, int b, const char* where)
{
    EXPECT_NEAR(p.r, r, 2) << where;
    EXPECT_NEAR(p.g, g, 2) << where;
    EXPECT_NEAR(p.b, b, 2) << where;
}

class DrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        openTestDisplay();
        resetSceneState();
    }
    void TearDown() override { disableTexturing(); }

    // 2x2 texture: bottom-left red, bottom-right green, top-left blue, top-right white.
    static uint32_t cornerTexture()
    {
        Image image;
        image.width = 2;
        image.height = 2;
        image.channels = 3;
        image.pixels = {255, 0, 0, 0, 255, 0,  //
                        0, 0, 255, 255, 255, 255};
        return uploadTexture(image);
    }

    // The texel centres sit at a quarter and three quarters of the quad, where linear filtering is exact.
    static void expectCorners(int x0, int y0, int size, Rgb bl, Rgb br, Rgb tl, Rgb tr)
    {
        const int q = size / 4, q3 = 3 * size / 4;
        expectColor(readPixel(x0 + q, y0 + q), bl.r, bl.g, bl.b, "bottom-left");
        expectColor(readPixel(x0 + q3, y0 + q), br.r, br.g, br.b, "bottom-right");
        expectColor(readPixel(x0 + q, y0 + q3), tl.r, tl.g, tl.b, "top-left");
        expectColor(readPixel(x0 + q3, y0 + q3), tr.r, tr.g, tr.b, "top-right");
    }
};

const Rgb Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, White{255, 255, 255};
}  // namespace

TEST_F(DrawTest, QuadPutsTextureOriginAtTheFirstCorner)
{
    bindTexture(cornerTexture());
    drawTexturedQuad(100, 100, 300, 300);
    expectCorners(100, 100, 200, Red, Green, Blue, White);
    EXPECT_FALSE(lit(readPixel(99, 200)));
    EXPECT_FALSE(lit(readPixel(300, 200)));
    EXPECT_TRUE(lit(readPixel(100, 100)));
    EXPECT_TRUE(lit(readPixel(299, 299)));
}

TEST_F(DrawTest, SwappedCornersMirrorTheImage)
{
    bindTexture(cornerTexture());
    drawTexturedQuad(300, 100, 100, 300);  // left-right
    expectCorners(100, 100, 200, Green, Red, White, Blue);
    resetSceneState();
    bindTexture(cornerTexture());
    drawTexturedQuad(600, 300, 800, 100);  // top-bottom
    expectCorners(600, 100, 200, Blue, White, Red, Green);
}

TEST_F(DrawTest, DegenerateQuadsDrawNothing)
{
    glColor4f(1, 1, 1, 1);
    drawTexturedQuad(200, 100, 200, 400);
    drawTexturedQuad(100, 500, 400, 500);
    EXPECT_EQ(countPixels(0, 0, 1024, 768, lit), 0);
}

TEST_F(DrawTest, AnyRowLengthUploadsIntact)
{
    // 3 RGB pixels make 9-byte rows: under a 4-byte unpack alignment the second row would shear.
    Image image;
    image.width = 3;
    image.height = 2;
    image.channels = 3;
    image.pixels = {255, 0, 0, 255, 0, 0, 255, 0, 0,  //
                    0, 0, 255, 0, 0, 255, 0, 0, 255};
    bindTexture(uploadTexture(image));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    drawTexturedQuad(0, 0, 300, 200);
    for (int x : {50, 150, 250}) {
        expectColor(readPixel(x, 50), 255, 0, 0, "bottom row");
        expectColor(readPixel(x, 150), 0, 0, 255, "top row");
    }
}

TEST_F(DrawTest, GreyImagesBecomeAlphaMasksTintedByTheColour)
{
    Image image;
    image.width = 1;
    image.height = 1;
    image.channels = 1;
    image.pixels = {128};
    bindTexture(uploadTexture(image));
    glColor4f(0, 1, 0, 1);
    drawTexturedQuad(10, 10, 50, 50);
    expectColor(readPixel(30, 30), 0, 128, 0, "half-covered green");
}

TEST_F(DrawTest, TexturingSwitchesLeaveTheBindingAlone)
{
    const uint32_t name = cornerTexture();
    bindTexture(name);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    disableTexturing();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(uint32_t(bound), name);
}

TEST_F(DrawTest, OrthoMapsCornersToCornerPixelsAndResetsModelView)
{
    glColor4f(1, 1, 1, 1);
    glTranslatef(100, 100, 0);
    setOrtho(0, 1024, 0, 768);
    drawTexturedQuad(0, 0, 1, 1);
    drawTexturedQuad(1023, 767, 1024, 768);
    EXPECT_TRUE(white(readPixel(0, 0)));
    EXPECT_TRUE(white(readPixel(1023, 767)));
    EXPECT_EQ(countPixels(0, 0, 1024, 768, lit), 2);

    resetSceneState();
    setOrtho(-4, 4, -3, 3);  // the sprite view: 128 pixels a unit
    glColor4f(1, 1, 1, 1);
    drawTexturedQuad(-0.5f, -0.5f, 0.5f, 0.5f);
    EXPECT_EQ(countPixels(0, 0, 1024, 768, white), 128 * 128);
    EXPECT_TRUE(white(readPixel(448, 320)));
    EXPECT_TRUE(white(readPixel(575, 447)));
}

TEST_F(DrawTest, DiscIsAThirtySixSidedPolygon)
{
    glColor4f(1, 1, 1, 1);
    const float r = 300;
    drawDisc(512, 384, r, r);
    // At a vertex direction the rim reaches r; halfway between two vertices only r * cos(5 degrees).
    const double d = 299.3;
    EXPECT_TRUE(white(readPixel(int(512 + d), 384)));
    const double a = 5.0 * M_PI / 180.0;
    EXPECT_FALSE(lit(readPixel(int(std::lround(512 + d * std::cos(a))), int(std::lround(384 + d * std::sin(a))))));
    const double area = 0.5 * 36 * r * r * std::sin(10.0 * M_PI / 180.0);
    EXPECT_NEAR(countPixels(0, 0, 1024, 768, white), area, area * 0.001);
}

// On a 3840x2160 output the show's picture is 2880x2160 at x 480, 2.81 times its own size: the whole
// picture lands in that letterbox, and a disc keeps its rim within a fifth of a pixel of the circle
// (at the show's 36 sides the rim would cut a pixel deep into it).
TEST_F(DrawTest, AMagnifiedPictureFillsItsLetterboxAndDiscsStayRound)
{
    constexpr int W = 3840, H = 2160;
    const LargerFramebuffer target(W, H);
    ASSERT_TRUE(target.complete());
    const PixelRect picture = letterbox(W, H, 1024, 768);
    EXPECT_EQ(picture.x, 480);
    EXPECT_EQ(picture.width, 2880);
    EXPECT_EQ(picture.height, 2160);
    EXPECT_EQ(pictureViewport().x, picture.x);

    resetSceneState();
    glColor4f(1, 1, 1, 1);
    drawTexturedQuad(0, 0, 1024, 768);
    EXPECT_EQ(countPixels(0, 0, W, H, white), 2880 * 2160);
    EXPECT_TRUE(white(readPixel(480, 0)));
    EXPECT_TRUE(white(readPixel(480 + 2879, H - 1)));

    resetSceneState();
    glColor4f(1, 1, 1, 1);
    drawDisc(512, 384, 100, 100);
    const double scale = 2160.0 / 768.0, radius = 100 * scale, cx = 480 + 512 * scale, cy = 384 * scale;
    std::vector<uint8_t> p(size_t(W) * H * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    int missing = 0, outside = 0;
    for (int y = int(cy - radius) - 2; y <= int(cy + radius) + 2; ++y)
        for (int x = int(cx - radius) - 2; x <= int(cx + radius) + 2; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const bool on = p[(size_t(y) * W + size_t(x)) * 4] > 128;
            missing += d < radius - 0.2 && !on;
            outside += d > radius + 0.2 && on;
        }
    EXPECT_EQ(missing, 0) << "the rim's flat sides cut into the circle";
    EXPECT_EQ(outside, 0);
}

TEST_F(DrawTest, DiscRadiiAreHorizontalThenVertical)
{
    glColor4f(1, 1, 1, 1);
    drawDisc(512, 384, 200, 50);
    EXPECT_TRUE(white(readPixel(512 + 190, 384)));
    EXPECT_TRUE(white(readPixel(512, 384 + 45)));
    EXPECT_FALSE(lit(readPixel(512, 384 + 60)));
    resetSceneState();
    glColor4f(1, 1, 1, 1);
    drawDisc(512, 384, 0, 0);
    EXPECT_EQ(countPixels(0, 0, 1024, 768, lit), 0);
}

TEST_F(DrawTest, DiscFollowsAndKeepsTheCallersMatrix)
{
    glColor4f(1, 1, 1, 1);
    glTranslatef(100, 50, 0);
    glScalef(2, 2, 1);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    drawDisc(10, 10, 20, 20);  // centre (120, 70), radius 40 on screen
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]);
    EXPECT_TRUE(white(readPixel(120 + 38, 70)));
    EXPECT_FALSE(lit(readPixel(120 + 42, 70)));
    EXPECT_FALSE(lit(readPixel(10, 10)));
}

// Every fragment texture of the show, drawn at the poses sprites take, once as the full quad and once
// as its cover mesh: the mesh may skip only pixels the quad would have left unchanged.
TEST_F(DrawTest, CoverMeshesDrawWhatTheFullQuadDraws)
{
    struct Pose {
        const char* name;
        float centreX, centreY, edge, angle;  // pixels, pixels, pixels (negative: mirrored), degrees
        bool edgeInTexels;                    // edge is a multiple of the texture's width
    };
    const Pose poses[] = {
        {"rotated",        512, 384,  700,  30, false},
        {"magnified 1.6x", 512, 384,  1.6f, 12, true},
        {"minified",       300, 500,  0.6f, 75, true},
        {"off-screen",     980,  40,  900, -20, false},
        {"mirrored",       400, 380, -600, 200, false},
    };
    int count = 0;
    const char* const* names = showImageNames(count);
    const size_t screen = 1024 * 768 * 4;
    std::vector<uint8_t> quad(screen), mesh(screen);
    auto drawAndRead = [](std::vector<uint8_t>& out, auto draw) {
        resetSceneState();
        draw();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    };
    GLuint query = 0;
    glGenQueries(1, &query);
    for (int i = 0; i < count - 1; ++i) {  // all but the closing image, which keeps its quad
        Image image;
        std::string error;
        ASSERT_TRUE(decodePng((std::string(SHOW_DATA_DIR) + "/" + names[i]).c_str(), image, error)) << error;
        const uint32_t texture = uploadTexture(image);
        const CoverMesh& cover = textureCover(texture);
        // Each image in the brightest colour and at the highest opacity the show draws it with:
        // sparks and strokes cool at 0.4, typography warm at 0.7.
        const bool typography = i >= ElectroTextureCount + BlendTextureCount;
        const Rgb8 colour = ColorTable[typography ? ColorCount - 1 : 0];
        const float opacity = typography ? 0.7f : 0.4f;
        for (const Pose& pose : poses) {
            const float half = 0.5f * (pose.edgeInTexels ? pose.edge * float(image.width) : pose.edge);
            GLuint filled[2] = {};
            auto draw = [&](bool useMesh, GLuint& samples) {
                glColor4f(colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, opacity);
                bindTexture(texture);
                glTranslatef(pose.centreX, pose.centreY, 0);
                glRotatef(pose.angle, 0, 0, 1);
                glBeginQuery(GL_SAMPLES_PASSED, query);
                if (useMesh)
                    drawTexturedMesh(cover, -half, -half, half, half);
                else
                    drawTexturedQuad(-half, -half, half, half);
                glEndQuery(GL_SAMPLES_PASSED);
                glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);
                disableTexturing();
            };
            drawAndRead(quad, [&] { draw(false, filled[0]); });
            drawAndRead(mesh, [&] { draw(true, filled[1]); });
            // Triangles other than the quad's round their interpolated texture coordinates otherwise
            // (the rasteriser steps them in fixed point), so a filtered value may land a level off,
            // and very rarely two where both coordinates round apart at a sharp edge. A pixel drawn
            // twice or missed is off by far more.
            int worst = 0;
            size_t shown = 0, differing = 0, twoOff = 0;
            for (size_t p = 0; p < screen; p += 4) {
                int d = 0;
                for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(quad[p + c]) - int(mesh[p + c])));
                shown += quad[p] + quad[p + 1] + quad[p + 2] != 0;
                differing += d != 0;
                twoOff += d > 1;
                worst = std::max(worst, d);
            }
            const std::string where = std::string(names[i]) + ", " + pose.name;
            EXPECT_GT(shown, 0u) << where;
            EXPECT_LE(worst, 2) << where;
            EXPECT_LE(double(twoOff), 1e-5 * double(filled[0])) << where << ": of the quad's pixels";
            EXPECT_LE(double(differing), 0.001 * double(filled[0])) << where << ": of the quad's pixels";
            if (!cover.whole) {
                EXPECT_LT(filled[1], filled[0]) << where << ": the mesh saves nothing";
            }
        }
    }
}

// The browser's GL lacks wide indices, loose normals and a plain alpha modulate; the drawing then takes
// other ways (16-bit indices, no normal, masks as white luminance-alpha), which must put the very same
// pixels on the screen as the desktop's.
TEST_F(DrawTest, TheWaysAroundTheBrowsersGlDrawTheDesktopsPixels)
{
    int count = 0;
    const char* const* names = showImageNames(count);
    Image mask;
    for (int i = 0; i < count && mask.channels != 1; ++i) {
        std::string error;
        ASSERT_TRUE(decodePng((std::string(SHOW_DATA_DIR) + "/" + names[i]).c_str(), mask, error)) << error;
    }
    ASSERT_EQ(mask.channels, 1) << "the show has grey masks";
    const size_t screen = 1024 * 768 * 4;
    auto drawWith = [&](const GlCapabilities& caps) {
        setGlCapabilities(caps);
        const uint32_t texture = uploadTexture(mask);
        EXPECT_FALSE(textureCover(texture).whole);
        resetSceneState();
        glColor4f(0.9f, 0.6f, 0.2f, 0.7f);
        bindTexture(texture);
        glTranslatef(512, 384, 0);
        glRotatef(30, 0, 0, 1);
        drawTexturedMesh(textureCover(texture), -350, -350, 350, 350);
        disableTexturing();
        std::vector<uint8_t> pixels(screen);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    const std::vector<uint8_t> desktop = drawWith(GlCapabilities{});
    const std::vector<uint8_t> browser = drawWith(GlCapabilities{false, false, false});
    setGlCapabilities(GlCapabilities{});
    size_t lit = 0, differing = 0;
    for (size_t p = 0; p < screen; p += 4) {
        lit += desktop[p] + desktop[p + 1] + desktop[p + 2] != 0;
        for (int c = 0; c < 3; ++c) differing += desktop[p + c] != browser[p + c];
    }
    EXPECT_GT(lit, 10000u);
    EXPECT_EQ(differing, 0u);
}
