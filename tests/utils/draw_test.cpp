// The drawing primitives and texture upload on a real GL context, checked by reading pixels back.
#include <gtest/gtest.h>
#include <SDL_opengl.h>

#include <cmath>

#include "support/gl_context.h"
#include "utils/draw.h"
#include "utils/texture.h"

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
