#include "scene.h"

// The OpenGL 2.0 entry points (shaders, generic attributes, buffers) are called
// directly: on Linux libGL, libOpenGL and libOSMesa export them all and
// dispatch to the current context. A Windows build would have to fetch them
// with wglGetProcAddress, since opengl32.dll exports OpenGL 1.1 only.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <string>

#include "lattice.h"
#include "point_list.h"
#include "point_shader.h"
#include "quote.h"
#include "view_matrices.h"

void setUpSceneState() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
}

void setUpSceneProjection(int W, int H) {
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(verticalFieldOfView(W, H), aspectRatio(W, H), NEAR_PLANE, FAR_PLANE);
}

void setUpSceneLight() {
    const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
}

namespace {

#define LBM_STRINGIFY(x) #x
#define LBM_TO_STRING(x) LBM_STRINGIFY(x)

// The window's vertex prelude (GLSL 1.10, the language of OpenGL 2.0, with
// its fixed-function state). A point of the point list is (k, u, v) for layer
// k; single GL calls draw it at (0, u, v) under layer k's model-view
// (layerModelView), and the GL transforms it by the product of projection and
// model-view. Each layer's product is handed in (lvLayerClip) and applied
// here to the same vertex, so that every point lands where, and at the depth
// at which, the single calls put it. The x of
// 0 is computed from the vertex rather than written as a constant, so that the
// compiler cannot drop or reorder terms: the shader then multiplies and adds
// exactly as the GL does for a single call's vertex (Mesa's llvmpipe was seen
// to move points of far-out pictures by a pixel otherwise). The normal
// matrix and light 0's eye-space position are the GL's own state, set by the
// fixed-function calls that place the camera and the light. Desktop OpenGL
// centres points on pixels itself.
constexpr char POINT_VERTEX_PRELUDE_WINDOW[] = "#version 110\n"
    "uniform mat4 lvLayerClip[" LBM_TO_STRING(LBM_NUM_LAYERS) "];\n"
    R"glsl(
vec4 lvClipPosition(float pointSize) {
    int layer = int(gl_Vertex.x);
    vec4 place = gl_Vertex;
    place.x -= float(layer);
    return lvLayerClip[layer] * place;
}
mat3 lvNormalMatrix() { return gl_NormalMatrix; }
vec3 lvLightDirection() { return gl_LightSource[0].position.xyz; }
float lvPointSizeScale() { return 1.0; }
)glsl";

constexpr char POINT_FRAGMENT_PRELUDE_WINDOW[] = "#version 110\n";

// The major version of the current context's OpenGL, 0 where it says none.
int glMajorVersion() {
    const GLubyte* version = glGetString(GL_VERSION);
    int major = 0;
    for (; version != nullptr && *version >= '0' && *version <= '9'; ++version) major = major * 10 + (*version - '0');
    return major;
}

// Said in one line: the driver's log, of several lines as a rule, with its
// line ends escaped.
void reportShaderFailure(const char* what, std::string log) {
    while (!log.empty() && std::isspace(static_cast<unsigned char>(log.back()))) log.pop_back();
    std::fprintf(stderr, "latticeview: the point shaders %s (%s); drawing the points one call each\n", what,
                 escapedLine(log).c_str());
}

// A compiled shader of the prelude and the body, or 0 (said on stderr).
GLuint compileShader(GLenum type, const char* prelude, const char* body) {
    const GLuint shader = glCreateShader(type);
    if (shader == 0) {
        reportShaderFailure("cannot be created", "no shader object");
        return 0;
    }
    const GLchar* sources[] = {prelude, body};
    glShaderSource(shader, 2, sources, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        GLchar log[512] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        reportShaderFailure("do not compile", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Offset of a field of ScenePoint inside the vertex buffer's first point.
const void* bufferOffset(std::size_t offset) { return reinterpret_cast<const void*>(offset); }

}  // namespace

const char* pointDrawingName(PointDrawing drawing) {
    switch (drawing) {
        case PointDrawing::ONE_CALL: return "one draw call";
        case PointDrawing::POINT_PER_CALL: return "one call per point";
        default: return "single calls";
    }
}

ScenePainter::ScenePainter() : points_(new ScenePoint[SCENE_POINTS_MAX]) {}

ScenePainter::~ScenePainter() = default;

void ScenePainter::setUpContext() {
    program_ = 0;
    buffer_ = 0;
    drawing_ = glMajorVersion() >= 2 && setUpShaders() ? PointDrawing::ONE_CALL : PointDrawing::LITERAL_CALLS;
}

bool ScenePainter::setUpShaders() {
    const GLuint vertexShader = compileShader(GL_VERTEX_SHADER, POINT_VERTEX_PRELUDE_WINDOW, POINT_VERTEX_SHADER_BODY);
    const GLuint fragmentShader =
        compileShader(GL_FRAGMENT_SHADER, POINT_FRAGMENT_PRELUDE_WINDOW, POINT_FRAGMENT_SHADER_BODY);
    GLuint program = 0;
    if (vertexShader != 0 && fragmentShader != 0) {
        program = glCreateProgram();
        if (program == 0) reportShaderFailure("cannot be created", "no program object");
    }
    if (program != 0) {
        glAttachShader(program, vertexShader);
        glAttachShader(program, fragmentShader);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        colorLocation_ = glGetAttribLocation(program, POINT_COLOR_ATTRIBUTE);
        sizeLocation_ = glGetAttribLocation(program, POINT_SIZE_ATTRIBUTE);
        layerClipLocation_ = glGetUniformLocation(program, "lvLayerClip");
        if (linked != GL_TRUE) {
            GLchar log[512] = "";
            glGetProgramInfoLog(program, sizeof log, nullptr, log);
            reportShaderFailure("do not link", log);
        } else if (colorLocation_ < 0 || sizeLocation_ < 0 || layerClipLocation_ < 0) {
            reportShaderFailure("lack an input", "an attribute or uniform has no location");
        }
        if (linked != GL_TRUE || colorLocation_ < 0 || sizeLocation_ < 0 || layerClipLocation_ < 0) {
            glDeleteProgram(program);
            program = 0;
        }
    }
    // The program keeps the shaders it was linked with.
    if (vertexShader != 0) glDeleteShader(vertexShader);
    if (fragmentShader != 0) glDeleteShader(fragmentShader);
    if (program == 0) return false;

    program_ = program;
    // Room for every point; each frame rewrites the start of it.
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(SCENE_POINTS_MAX * sizeof(ScenePoint)), nullptr,
                 GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    // The point size is the vertex shader's.
    glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
    return true;
}

void ScenePainter::draw(const CameraState& camera, const Lattice& lattice) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const EyePosition eye = eyePosition(camera);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, static_cast<double>(camera.targetX), static_cast<double>(camera.targetY),
              EYE_HEIGHT, 0.0, 0.0, 1.0);

    // Given after the view transform, so the light is fixed in the world.
    const GLfloat lightDirection[] = {1.0f, 1.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);

    if (drawing_ == PointDrawing::LITERAL_CALLS) {
        lattice.draw();
        return;
    }
    const int count = fillScenePoints(lattice, points_.get());
    // The matrices that the single calls draw each layer with, each the
    // product of projection and model-view, rounded as the GL rounds it: in
    // single precision, each element summed left to right.
    Matrix4 projection, view;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    Matrix4 layerClip[NUM_LAYERS];
    for (int k = 0; k < NUM_LAYERS; ++k) layerClip[k] = multiply(projection, layerModelView(view, k));
    static_assert(sizeof(Matrix4) == 16 * sizeof(GLfloat), "the layers' matrices are handed in as one float array");
    glUseProgram(program_);
    glUniformMatrix4fv(layerClipLocation_, NUM_LAYERS, GL_FALSE, layerClip[0].m);
    drawPointArray(count);
    glUseProgram(0);
}

void ScenePainter::drawPointArray(int count) {
    constexpr GLsizei STRIDE = sizeof(ScenePoint);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count) * STRIDE, points_.get());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, STRIDE, bufferOffset(offsetof(ScenePoint, x)));
    const auto color = static_cast<GLuint>(colorLocation_);
    const auto size = static_cast<GLuint>(sizeLocation_);
    glEnableVertexAttribArray(color);
    glVertexAttribPointer(color, 3, GL_FLOAT, GL_FALSE, STRIDE, bufferOffset(offsetof(ScenePoint, red)));
    glEnableVertexAttribArray(size);
    glVertexAttribPointer(size, 1, GL_FLOAT, GL_FALSE, STRIDE, bufferOffset(offsetof(ScenePoint, size)));

    if (drawing_ == PointDrawing::POINT_PER_CALL) {
        for (int first = 0; first < count; ++first) glDrawArrays(GL_POINTS, first, 1);
    } else {
        glDrawArrays(GL_POINTS, 0, count);
    }

    glDisableVertexAttribArray(size);
    glDisableVertexAttribArray(color);
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}
