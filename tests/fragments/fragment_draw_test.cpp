// The four kinds drawn for real on a GL context and read back pixel by pixel: where each lands, how
// large, in which colour and opacity, with which texture, and that each leaves the scene's drawing
// context (pixel projection, identity model-view, blending, texturing off) as it found it.
#include <gtest/gtest.h>

#include <SDL_opengl.h>

#include <cmath>
#include <cstdlib>

#include "fragments/bezier_frag.h"
#include "fragments/circle_grid_frag.h"
#include "fragments/electro_frag.h"
#include "fragments/electro_points.h"
#include "fragments/tex_frag.h"
#include "support/gl_context.h"
#include "utils/texture.h"
#include "utils/texture_library.h"
#include "utils/video.h"

namespace {
uint32_t solidTexture(uint8_t value)
{
    Image image;
    image.width = image.height = 4;
    image.channels = 3;
    image.pixels.assign(4 * 4 * 3, value);
    return uploadTexture(image);
}

uint32_t whiteTexture = 0;
uint32_t blackTexture = 0;
uint32_t greyTexture = 0;

// Colour `c` at opacity `a` blended over black, as 8-bit channels.
Rgb over(const Rgb8& c, float a) { return {int(std::lround(c.r * a)), int(std::lround(c.g * a)), int(std::lround(c.b * a))}; }

::testing::AssertionResult near(Rgb got, Rgb want, int tolerance = 2)
{
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << ") want (" << want.r
                                         << ", " << want.g << ", " << want.b << ")";
}

bool isBlack(Rgb p) { return p.r == 0 && p.g == 0 && p.b == 0; }

void expectMatrix(GLenum which, const float* want)
{
    float m[16];
    glGetFloatv(which, m);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], want[i], 1e-6) << "element " << i;
}

// The scene's drawing context as renderScene sets it for a 1024 x 768 window.
void expectSceneContext()
{
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float pixels[16] = {2.0f / 1024, 0, 0, 0, 0, 2.0f / 768, 0, 0, 0, 0, -1, 0, -1, -1, 0, 1};
    GLint mode = 0, projectionDepth = 0, modelviewDepth = 0, src = 0, dst = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(projectionDepth, 1);
    EXPECT_EQ(modelviewDepth, 1);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    expectMatrix(GL_MODELVIEW_MATRIX, identity);
    expectMatrix(GL_PROJECTION_MATRIX, pixels);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

class FragmentDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        openTestDisplay();
        whiteTexture = solidTexture(255);
        blackTexture = solidTexture(0);
        greyTexture = solidTexture(128);
        TextureLibrary.fileNames = {"white.png", "grey.png"};
        TextureLibrary.textures = {whiteTexture, greyTexture};
        for (uint32_t& t : ElectroTextures) t = whiteTexture;
        for (uint32_t& t : BlendTextures) t = whiteTexture;
    }
    void SetUp() override
    {
        resetSceneState();
        for (uint32_t& t : ElectroTextures) t = whiteTexture;
        for (uint32_t& t : BlendTextures) t = whiteTexture;
    }
    void TearDown() override { expectSceneContext(); }
};

// A sprite living from 10 s for 2 s, drawn at progress p.
TexFrag sprite(int colorIndex)
{
    TexFrag s(2.0f);
    s.start = 10;
    s.colorIndex = colorIndex;
    s.textureName = "white.png";
    return s;
}
float at(float p) { return 10.0f + 2.0f * p; }

// The sprite view maps x -4..4 onto 0..1024 and y -3..3 onto 0..768: 128 pixels per unit.
int viewX(float x) { return int(std::lround((x + 4) * 128)); }
int viewY(float y) { return int(std::lround((y + 3) * 128)); }
}  // namespace

TEST_F(FragmentDraw, BaseFragmentDrawsNothing)
{
    Fragment f(1.0f);
    f.draw(f.start);
    EXPECT_EQ(countPixels(0, 0, 1024, 768, [](Rgb p) { return !isBlack(p); }), 0);
}

TEST_F(FragmentDraw, TexFragSquareSitsInItsEightBySixView)
{
    TexFrag s = sprite(4);  // warm colour 9
    s.fromX = s.toX = 2;
    s.fromY = s.toY = 1;
    s.scale = 1;
    s.alpha = 1;
    s.draw(at(0.2f));  // the fade's peak

    const int cx = viewX(2), cy = viewY(1);  // (768, 512); edge 128 pixels
    EXPECT_TRUE(near(readPixel(cx, cy), over(ColorTable[9], 1)));
    EXPECT_TRUE(near(readPixel(cx - 61, cy + 61), over(ColorTable[9], 1)));
    EXPECT_TRUE(isBlack(readPixel(cx - 67, cy)));
    EXPECT_TRUE(isBlack(readPixel(cx + 67, cy)));
    EXPECT_TRUE(isBlack(readPixel(cx, cy + 67)));
    EXPECT_TRUE(isBlack(readPixel(cx, cy - 67)));
    EXPECT_NEAR(countPixels(0, 0, 1024, 768, [](Rgb p) { return !isBlack(p); }), 128 * 128, 2 * 128);
}

TEST_F(FragmentDraw, TexFragOpacityFollowsTheFadeAtTenthAndSixTenths)
{
    for (const auto& [p, opacity] : {std::pair{0.1f, 0.6125f}, std::pair{0.6f, 0.35f}}) {
        SCOPED_TRACE(p);
        resetSceneState();
        TexFrag s = sprite(2);  // warm colour 7
        s.scale = 2;
        s.alpha = 0.7f;
        s.draw(at(p));
        EXPECT_TRUE(near(readPixel(512, 384), over(ColorTable[7], opacity)));
    }
}

TEST_F(FragmentDraw, TexFragMovesThenTurnsAndGrowsAboutItsOwnCentre)
{
    TexFrag s = sprite(4);
    s.fromX = 0, s.fromY = -1, s.toX = 2, s.toY = 1;  // centre (1, 0) at p = 0.5: pixel (640, 384)
    s.angle = 0, s.spin = 90;                          // 45 degrees at p = 0.5
    s.scale = 1, s.growth = 2;                         // edge 2 units = 256 pixels at p = 0.5
    s.alpha = 1;
    s.draw(at(0.5f));

    // A diamond of half-diagonal 181 pixels around (640, 384); a turned offset would move it.
    const Rgb lit = over(ColorTable[9], fadeEnvelope(0.5f, 1));
    EXPECT_TRUE(near(readPixel(640, 384), lit));
    EXPECT_TRUE(near(readPixel(640 + 170, 384), lit));
    EXPECT_TRUE(near(readPixel(640 - 170, 384), lit));
    EXPECT_TRUE(near(readPixel(640, 384 - 170), lit));
    EXPECT_TRUE(isBlack(readPixel(640 + 100, 384 + 100)));  // a corner of the unturned square
    EXPECT_TRUE(isBlack(readPixel(640 + 190, 384)));
    EXPECT_TRUE(isBlack(readPixel(640 - 190, 384)));
}

TEST_F(FragmentDraw, TexFragUsesItsNamedTextureOrNoneWhenTheNameIsUnknown)
{
    TexFrag grey = sprite(4);
    grey.textureName = "grey.png";  // modulates the colour by 128 / 255
    grey.scale = 1, grey.alpha = 1;
    grey.fromX = grey.toX = -2;
    grey.draw(at(0.2f));

    TexFrag unknown = sprite(4);
    unknown.textureName = "typo9.png";  // not in the library: plain colour
    unknown.scale = 1, unknown.alpha = 1;
    unknown.fromX = unknown.toX = 2;
    unknown.draw(at(0.2f));

    EXPECT_TRUE(near(readPixel(viewX(-2), 384), over(ColorTable[9], 128.0f / 255)));
    EXPECT_TRUE(near(readPixel(viewX(2), 384), over(ColorTable[9], 1)));
}

TEST_F(FragmentDraw, BezierFragSixSpritesCoverTheCurve)
{
    BezierFrag b(4.0f);
    b.start = 10;
    b.curveIndex = 2;
    b.colorIndex = 0;
    const float time = 10.0f + 4.0f * 0.3f;
    b.draw(time);

    Point2 c[4];
    bezierControlPoints(2, 0.3f, 1024, 768, c);
    const float u[] = {0, 0.2f, 0.4f, 0.6f, 0.8f, 1};
    const float half[] = {100, 128.2321f, 146.6020f, 148.6924f, 133.7732f, 107.0560f};
    Point2 centre[6];
    for (int i = 0; i < 6; ++i) centre[i] = bezierPoint(c[0], c[1], c[2], c[3], u[i]);

    // Every sampled pixel shows 1 - 0.6^n of the colour, n the squares that cover it; pixels on an
    // edge are skipped.
    int checked = 0, lit = 0;
    for (int y = 4; y < 768; y += 12) {
        for (int x = 4; x < 1024; x += 12) {
            int n = 0;
            bool onEdge = false;
            for (int i = 0; i < 6; ++i) {
                const float dx = std::fabs(x + 0.5f - centre[i].x), dy = std::fabs(y + 0.5f - centre[i].y);
                if (std::fabs(dx - half[i]) < 1.5f && dy <= half[i] + 1.5f) onEdge = true;
                if (std::fabs(dy - half[i]) < 1.5f && dx <= half[i] + 1.5f) onEdge = true;
                if (dx < half[i] && dy < half[i]) ++n;
            }
            if (onEdge) continue;
            ++checked;
            lit += n > 0;
            const Rgb want = over(ColorTable[0], 1.0f - float(std::pow(0.6, n)));
            ASSERT_TRUE(near(readPixel(x, y), want, 4)) << "pixel " << x << ", " << y << " under " << n;
        }
    }
    EXPECT_GT(lit, 500);
    EXPECT_GT(checked, 4000);
}

TEST_F(FragmentDraw, BezierFragPlaysTheBlendFramesByProgress)
{
    for (uint32_t& t : BlendTextures) t = blackTexture;
    BlendTextures[7] = whiteTexture;
    BlendTextures[19] = whiteTexture;

    BezierFrag b(19.0f);  // frame k covers times k..k+1
    b.start = 0;
    b.curveIndex = 7;
    b.colorIndex = 1;
    Point2 c[4];
    auto drawnAt = [&](float time) {
        resetSceneState();
        b.draw(time);
        bezierControlPoints(7, time / 19, 1024, 768, c);
        const Point2 mid = bezierPoint(c[0], c[1], c[2], c[3], 0.6f);
        return readPixel(int(mid.x), int(mid.y));
    };
    EXPECT_FALSE(isBlack(drawnAt(7.5f)));
    EXPECT_TRUE(isBlack(drawnAt(6.99f)));
    EXPECT_TRUE(isBlack(drawnAt(8.01f)));
    EXPECT_FALSE(isBlack(drawnAt(19.0f)));   // p = 1: the last frame, shown only there
    EXPECT_TRUE(isBlack(drawnAt(18.99f)));
}

TEST_F(FragmentDraw, ElectroFragSquareIsCentredOnItsAnchor)
{
    ElectroPoints = {{100, 100}, {300, 400}};
    for (uint32_t& t : ElectroTextures) t = blackTexture;
    ElectroTextures[3] = whiteTexture;

    ElectroFrag e(2.0f);
    e.start = 10;
    e.pointIndex = 1;
    e.textureIndex = 3;
    e.colorIndex = 2;
    e.scale = 1;
    e.draw(at(0.2f));  // full 0.4 opacity, a 100 x 100 square

    const Rgb lit = over(ColorTable[2], 0.4f);
    EXPECT_TRUE(near(readPixel(300, 400), lit));
    EXPECT_TRUE(near(readPixel(300 + 47, 400 - 47), lit));
    EXPECT_TRUE(isBlack(readPixel(300 + 53, 400)));
    EXPECT_TRUE(isBlack(readPixel(300, 400 + 53)));
    EXPECT_TRUE(isBlack(readPixel(100, 100)));
}

TEST_F(FragmentDraw, ElectroFragGrowsEasedAndTurnsAboutTheAnchor)
{
    ElectroPoints = {{500, 380}};
    ElectroFrag e(2.0f);
    e.start = 10;
    e.textureIndex = 0;
    e.colorIndex = 0;
    e.scale = 2, e.growth = 1;   // 2.75 at p = 0.5: half-edge 137.5 pixels
    e.angle = 60, e.spin = -30;  // 45 degrees at p = 0.5
    e.draw(at(0.5f));

    const Rgb lit = over(ColorTable[0], fadeEnvelopeWide(0.5f, 0.4f));
    EXPECT_TRUE(near(readPixel(500, 380), lit));
    EXPECT_TRUE(near(readPixel(500 + 185, 380), lit));  // the diamond reaches 194 pixels along the axes
    EXPECT_TRUE(isBlack(readPixel(500 + 200, 380)));
    EXPECT_TRUE(isBlack(readPixel(500 + 120, 380 + 120)));
}

TEST_F(FragmentDraw, ElectroFragKeepsACallersModelViewMatrix)
{
    ElectroPoints = {{0, 0}};
    ElectroFrag e(2.0f);
    e.start = 10;
    e.colorIndex = 0;
    glTranslatef(200, 150, 0);
    e.draw(at(0.2f));
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 200);
    EXPECT_FLOAT_EQ(m[13], 150);
    EXPECT_FALSE(isBlack(readPixel(200, 150)));  // drawn at the anchor inside the caller's frame
    glLoadIdentity();
}

TEST_F(FragmentDraw, CircleGridDiscAtTheCentreInColourFive)
{
    CircleGridFrag g(2.0f);
    g.start = 10;
    g.cells.push_back({0, 0, 40, 5, 1.0f});
    g.draw(at(0));

    EXPECT_TRUE(near(readPixel(512, 384), over(ColorTable[5], 0.5f), 1));
    EXPECT_FALSE(isBlack(readPixel(512 + 38, 384)));
    EXPECT_TRUE(isBlack(readPixel(512 + 42, 384)));
    EXPECT_TRUE(isBlack(readPixel(512, 384 - 42)));
}

TEST_F(FragmentDraw, CircleGridDiscsSwellAndFadeTogether)
{
    CircleGridFrag g(2.0f);
    g.start = 10;
    g.cells.push_back({100, -50, 40, 0, 1.0f});   // around (612, 334)
    g.cells.push_back({-300, 200, 10, 1, 0.5f});  // around (212, 584)
    g.draw(at(0.5f));  // radius + 15, opacity alpha x 0.125

    EXPECT_TRUE(near(readPixel(612, 334), over(ColorTable[0], 0.125f), 1));
    EXPECT_FALSE(isBlack(readPixel(612 + 53, 334)));
    EXPECT_TRUE(isBlack(readPixel(612 + 57, 334)));
    EXPECT_TRUE(near(readPixel(212, 584), over(ColorTable[1], 0.0625f), 1));
    EXPECT_FALSE(isBlack(readPixel(212, 584 + 23)));
    EXPECT_TRUE(isBlack(readPixel(212, 584 + 27)));
}

TEST_F(FragmentDraw, EmptyCircleGridLeavesEvenTheColourAlone)
{
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    CircleGridFrag g(2.0f);
    g.start = 10;
    g.draw(at(0.5f));
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);
    EXPECT_EQ(countPixels(0, 0, 1024, 768, [](Rgb p) { return !isBlack(p); }), 0);
}
