// The page's matrices (view_matrices.h, plain arithmetic) against what GLU and
// the GL itself leave on the matrix stacks for the same cameras, read back
// from Mesa's off-screen context: the projection, the layers' model-views,
// their product and light 0's direction in eye space.
#include <gtest/gtest.h>

#include <GL/osmesa.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

#include "camera.h"
#include "view_matrices.h"

namespace {

class GlMatrices : public ::testing::Test {
protected:
    void SetUp() override {
        context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        ASSERT_NE(context, nullptr);
        ASSERT_TRUE(OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, 8, 8));
    }
    void TearDown() override {
        if (context != nullptr) OSMesaDestroyContext(context);
    }

    static Matrix4 read(GLenum which) {
        Matrix4 m{};
        glGetFloatv(which, m.m);
        return m;
    }

    OSMesaContext context = nullptr;
    std::vector<unsigned char> pixels = std::vector<unsigned char>(8 * 8 * 4);
};

void expectSame(const Matrix4& mine, const Matrix4& gl, const char* what) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(mine.m[i], gl.m[i]) << what << ", element " << i;
}

// Cameras of the window's reference pictures (start-up, orbit, zoom) and
// others that leave no element of the matrices trivial.
const CameraState CAMERAS[] = {
    DEFAULT_CAMERA,
    {-3.0f, 333.0f, 100.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 275.041656f, 0.0f, 0.0f},
    {37.5f, 123.4f, 61.25f, 7.5f, -12.25f},
    {89.0f, 200.0f, 1.0f, -40.0f, 3.0f},
    {-5.0f, 45.0f, 950.0f, 0.0f, 0.0f},
};

TEST_F(GlMatrices, ProjectionIsGluPerspective) {
    for (const auto& [W, H] : {std::pair{800, 600}, std::pair{1600, 1200}, std::pair{333, 1000}}) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(verticalFieldOfView(W, H), aspectRatio(W, H), NEAR_PLANE, FAR_PLANE);
        expectSame(sceneProjection(W, H), read(GL_PROJECTION_MATRIX), "projection");
    }
}

TEST_F(GlMatrices, ModelViewAndLightAreThoseOfTheWindowsCalls) {
    for (const CameraState& camera : CAMERAS) {
        SCOPED_TRACE(::testing::Message() << "camera " << camera.elevation << " " << camera.azimuth << " "
                                          << camera.distance << " " << camera.targetX << " " << camera.targetY);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const EyePosition eye = eyePosition(camera);
        gluLookAt(eye.x, eye.y, eye.z, static_cast<double>(camera.targetX), static_cast<double>(camera.targetY),
                  EYE_HEIGHT, 0.0, 0.0, 1.0);
        expectSame(sceneView(camera), read(GL_MODELVIEW_MATRIX), "view");

        const GLfloat light[] = {1.0f, 1.0f, 1.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        GLfloat eyeLight[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, eyeLight);
        const FrameMatrices frame = frameMatrices(camera, 800, 600);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(frame.lightDirection[i], eyeLight[i]) << "light, component " << i;

        glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
        glTranslatef(0.0f, 0.0f, 0.0f);
        glTranslatef(1.0f, 0.0f, 0.0f);  // layer 0
        const Matrix4 modelView = read(GL_MODELVIEW_MATRIX);
        expectSame(layerModelView(sceneView(camera), 0), modelView, "layer 0's model-view");
        glPushMatrix();
        glTranslatef(1.0f, 0.0f, 0.0f);  // each layer one translation further
        glTranslatef(1.0f, 0.0f, 0.0f);
        expectSame(layerModelView(sceneView(camera), 2), read(GL_MODELVIEW_MATRIX), "layer 2's model-view");
        glPopMatrix();
        // The model-view is a rotation and a translation: its normal matrix
        // is its own upper 3 x 3, to the last bits of the inverse.
        for (int column = 0; column < 3; ++column)
            for (int row = 0; row < 3; ++row)
                EXPECT_NEAR(frame.normal[column * 3 + row], modelView.m[column * 4 + row], 1e-6);

        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(verticalFieldOfView(800, 600), aspectRatio(800, 600), NEAR_PLANE, FAR_PLANE);
        glMultMatrixf(modelView.m);  // the product as the GL forms it
        expectSame(frame.modelViewProjection, read(GL_PROJECTION_MATRIX), "product");
    }
}

// The product of two matrices as the GL forms it: glMultMatrixf on a loaded
// matrix.
TEST_F(GlMatrices, ProductIsTheGlsOwn) {
    Matrix4 a{}, b{};
    for (int i = 0; i < 16; ++i) {
        a.m[i] = 0.1f * static_cast<float>(i * i) - 1.7f;
        b.m[i] = 3.3f / static_cast<float>(i + 1) - 0.25f * static_cast<float>(i);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(a.m);
    glMultMatrixf(b.m);
    expectSame(multiply(a, b), read(GL_MODELVIEW_MATRIX), "product");
}

}  // namespace
