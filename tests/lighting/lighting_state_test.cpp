// The light and the three textures as the GL state holds them after the
// scene's set-up, in a real context of the platform's opengl32 loaded as the
// driver library.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <set>
#include <vector>

#include "lighting_fixture.h"

namespace {

// Four floats of a light parameter of light 0.
std::vector<GLfloat> LightZero(GLenum name, int count = 4)
{
    std::vector<GLfloat> values(4, -7.0f);
    glGetLightfv(GL_LIGHT0, name, values.data());
    values.resize(count);
    return values;
}

typedef std::vector<GLfloat> Floats;

// Set-up with pictures of powers of two, all of different sizes and contents.
class SceneLighting : public SceneContextTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartContext("opengl32.dll"));
        ASSERT_NO_FATAL_FAILURE(WritePictures(cloud, stars, model));
        InitSceneLightingQuietly();
    }

    Picture cloud = VariedPicture(64, 32, 1);
    Picture stars = VariedPicture(32, 16, 2);
    Picture model = VariedPicture(16, 64, 3);
};

TEST_F(SceneLighting, LightZeroIsAWhitePointLightAtTheEye)
{
    EXPECT_EQ(Floats({1, 1, 1, 1}), LightZero(GL_AMBIENT));
    EXPECT_EQ(Floats({1, 1, 1, 1}), LightZero(GL_DIFFUSE));
    EXPECT_EQ(Floats({0, 0, 0, 1}), LightZero(GL_POSITION));

    // Everything else keeps light 0's defaults.
    EXPECT_EQ(Floats({1, 1, 1, 1}), LightZero(GL_SPECULAR));
    EXPECT_EQ(Floats({0, 0, -1}), LightZero(GL_SPOT_DIRECTION, 3));
    EXPECT_EQ(Floats({0}), LightZero(GL_SPOT_EXPONENT, 1));
    EXPECT_EQ(Floats({180}), LightZero(GL_SPOT_CUTOFF, 1));
    EXPECT_EQ(Floats({1}), LightZero(GL_CONSTANT_ATTENUATION, 1));
    EXPECT_EQ(Floats({0}), LightZero(GL_LINEAR_ATTENUATION, 1));
    EXPECT_EQ(Floats({0}), LightZero(GL_QUADRATIC_ATTENUATION, 1));

    // The position was taken in eye space: moving the model-view matrix
    // afterwards, as every frame does, leaves the light at the eye.
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, -2, -10);
    glRotatef(40, 0, 1, 0);
    EXPECT_EQ(Floats({0, 0, 0, 1}), LightZero(GL_POSITION));
}

TEST_F(SceneLighting, LightZeroAndLightingAreOnAndNoOtherLight)
{
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLint lights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &lights);
    for (GLint light = 1; light < lights; ++light)
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + light)) << "light " << light;
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(SceneLighting, ThreeTexturesWithTheModelTextureLeftBound)
{
    std::set<GLuint> names = {sceneTextures.cloudTexture, sceneTextures.starsTexture,
                              sceneTextures.modelTexture};
    EXPECT_EQ(3u, names.size()) << "names not distinct";
    EXPECT_EQ(0u, names.count(0)) << "a texture without a name";
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLint(sceneTextures.modelTexture), bound);
    for (GLuint name : names)
        EXPECT_TRUE(glIsTexture(name)) << name;

    // Pixel store back where a fresh context has it.
    GLint unpack = 0, pack = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    EXPECT_EQ(4, unpack);
    EXPECT_EQ(4, pack);
}

TEST_F(SceneLighting, EachTextureHasItsFiltersAndDefaultWrapAndEnvironment)
{
    struct Expected {
        GLuint texture;
        GLint magnification, minification;
    } expected[] = {
        {sceneTextures.cloudTexture, GL_LINEAR, GL_LINEAR},
        {sceneTextures.starsTexture, GL_LINEAR, GL_LINEAR},
        {sceneTextures.modelTexture, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
    };
    for (const Expected& texture : expected) {
        EXPECT_EQ(texture.magnification, TextureParameter(texture.texture, GL_TEXTURE_MAG_FILTER))
            << texture.texture;
        EXPECT_EQ(texture.minification, TextureParameter(texture.texture, GL_TEXTURE_MIN_FILTER))
            << texture.texture;
        EXPECT_EQ(GL_REPEAT, TextureParameter(texture.texture, GL_TEXTURE_WRAP_S)) << texture.texture;
        EXPECT_EQ(GL_REPEAT, TextureParameter(texture.texture, GL_TEXTURE_WRAP_T)) << texture.texture;
    }
    GLint environment = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &environment);
    EXPECT_EQ(GL_MODULATE, environment);
}

TEST_F(SceneLighting, CloudAndModelHaveFullChainsAndStarsOnlyItsBase)
{
    ExpectLevels(sceneTextures.cloudTexture, FullChain(64, 32));
    ExpectLevels(sceneTextures.modelTexture, FullChain(16, 64));
    ExpectLevels(sceneTextures.starsTexture, {{32, 16}});
    for (GLuint texture : {sceneTextures.cloudTexture, sceneTextures.starsTexture,
                           sceneTextures.modelTexture}) {
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint components = 0, alpha = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &components);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
        EXPECT_TRUE(components == 3 || components == GL_RGB) << texture << ": " << components;
        EXPECT_EQ(0, alpha) << texture;
    }
}

TEST_F(SceneLighting, EachTextureHoldsItsOwnPicture)
{
    ExpectSamePicture(cloud, ReadTextureLevel(sceneTextures.cloudTexture, 0), "cloud");
    ExpectSamePicture(stars, ReadTextureLevel(sceneTextures.starsTexture, 0), "stars");
    ExpectSamePicture(model, ReadTextureLevel(sceneTextures.modelTexture, 0), "model");
}

// Pictures of other sizes.

const unsigned char kRed[3] = {255, 0, 0};
const unsigned char kGreen[3] = {0, 255, 0};
const unsigned char kBlue[3] = {0, 0, 255};
const unsigned char kYellow[3] = {255, 255, 0};

// Checks that a texture scaled from a split picture kept the split: the
// left quarter of every row of its base level is one colour, the right
// quarter the other. Rows read with the wrong length would drift sideways
// and mix the colour channels.
void ExpectSplitKept(GLuint texture, const unsigned char left[3], const unsigned char right[3],
                     const char* what)
{
    Picture base = ReadTextureLevel(texture, 0);
    ASSERT_GT(base.width, 0) << what << ": no base level";
    int mismatches = 0;
    for (int row = 0; row < base.height; ++row)
        for (int column = 0; column < base.width; ++column) {
            const unsigned char* expected = column < base.width / 4 ? left
                                            : column >= base.width * 3 / 4 ? right : nullptr;
            if (!expected)
                continue;
            const unsigned char* actual = &base.rgb[(row * base.width + column) * 3];
            for (int channel = 0; channel < 3; ++channel)
                if (abs(actual[channel] - expected[channel]) > 2 && mismatches++ < 5)
                    ADD_FAILURE() << what << ": row " << row << " column " << column
                                  << " channel " << channel << " is " << int(actual[channel])
                                  << ", expected " << int(expected[channel]);
        }
    EXPECT_EQ(0, mismatches) << what;
}

// The full chain of a texture whose base level GLU made: the base has sides
// that are powers of two, and every level down to 1 x 1 is there.
void ExpectScaledChain(GLuint texture, const char* what)
{
    GLint width, height;
    TextureLevelSize(texture, 0, &width, &height);
    EXPECT_TRUE(IsPowerOfTwo(width)) << what << ": base width " << width;
    EXPECT_TRUE(IsPowerOfTwo(height)) << what << ": base height " << height;
    if (IsPowerOfTwo(width) && IsPowerOfTwo(height))
        ExpectLevels(texture, FullChain(width, height));
}

typedef SceneContextTest SceneLightingSizes;

TEST_F(SceneLightingSizes, CloudAndModelOfOtherSidesAreScaledToPowersOfTwo)
{
    // Widths that are neither powers of two nor multiples of 4, so that the
    // rows of the pictures are not 4-byte aligned either.
    ASSERT_NO_FATAL_FAILURE(StartContext("opengl32.dll"));
    ASSERT_NO_FATAL_FAILURE(WritePictures(SplitPicture(90, 60, kRed, kGreen),
                                          VariedPicture(8, 8, 4),
                                          SplitPicture(70, 33, kBlue, kYellow)));
    InitSceneLightingQuietly();
    ExpectScaledChain(sceneTextures.cloudTexture, "cloud");
    ExpectSplitKept(sceneTextures.cloudTexture, kRed, kGreen, "cloud");
    ExpectScaledChain(sceneTextures.modelTexture, "model");
    ExpectSplitKept(sceneTextures.modelTexture, kBlue, kYellow, "model");
}

// Star pictures are uploaded unscaled; widths that are not a multiple of 4
// (accepted by this platform's GL, whose textures need not be powers of two)
// must still be read row for row.
class StarsRows : public SceneContextTest,
                  public testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(StarsRows, UploadRowForRow)
{
    Picture stars = VariedPicture(GetParam().first, GetParam().second, 5);
    ASSERT_NO_FATAL_FAILURE(StartContext("opengl32.dll"));
    ASSERT_NO_FATAL_FAILURE(WritePictures(VariedPicture(4, 4, 6), stars, VariedPicture(4, 4, 7)));
    InitSceneLightingQuietly();
    ExpectLevels(sceneTextures.starsTexture, {{stars.width, stars.height}});
    ExpectSamePicture(stars, ReadTextureLevel(sceneTextures.starsTexture, 0), "stars");
}

INSTANTIATE_TEST_SUITE_P(Widths, StarsRows,
                         testing::Values(std::make_pair(6, 4), std::make_pair(10, 8),
                                         std::make_pair(5, 3), std::make_pair(1, 7),
                                         std::make_pair(16, 8)),
                         [](const testing::TestParamInfo<std::pair<int, int>>& info) {
                             return std::to_string(info.param.first) + "x" +
                                    std::to_string(info.param.second);
                         });

}  // namespace
