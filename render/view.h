// Views: one camera's drawing of the scene into a rectangle of the screen.
//
// A "Camera" entry fills the shared `ViewSettings` and makes a `View`: projection and
// clip constants, frustum planes rebuilt every frame, table fog, and a sky box built from
// the "Sky" geometry and six textures. `renderView` draws the view: clear, sky box, every
// visible object material by material through the polygon pipeline, then the translucent
// polygons and sprites sorted far to near, and finally an optional capture into a texture.
//
// Work areas (object slots, vertex buffer, lit bitmap, deferred list) are allocated when
// the view is made and grow only when a frame needs more than ever before; no pointer into
// them outlives the frame that filled it.
#pragma once

#include <cstdint>
#include <vector>

#include "glide/glide.h"
#include "math/keyed_sort.h"
#include "math/plane.h"
#include "math/transform.h"
#include "math/vector3.h"
#include "textures/texture_memory.h"

class Light;
class Material;
class Polygon;
class Renderer;
class SceneObject;
class Texture;
struct ParseNode;
struct Sprite;

// A colour channel 0..1 as a byte: trunc(value * 255), limited to 0..255.
inline uint32_t colourByte(float value) {
    const float scaled = value * 255.0f;
    if (!(scaled > 0.0f)) return 0;
    return scaled >= 255.0f ? 255u : static_cast<uint32_t>(scaled);
}

// Fog modes of `ViewSettings::fogMode`.
inline constexpr int32_t kFogNone = 0;
inline constexpr int32_t kFogOneMinusExp = 1;  // "1_Exp"
inline constexpr int32_t kFogExp = 2;          // "Exp1"
inline constexpr int32_t kFogExp2 = 3;         // "Exp2"

// Capacities of a view's work areas before they grow, and the lights an object may have.
inline constexpr int kViewObjectSlots = 2000;
inline constexpr int kViewVertices = 30000;
inline constexpr int kViewDeferred = 30000;
inline constexpr int kMaxObjectLights = 32;

// The settings of the camera being loaded; every "Camera" entry refills the one record,
// and a key given with the wrong number of values keeps the previous camera's value.
struct ViewSettings {
    int32_t windowX = 0, windowY = 0, windowWidth = 640, windowHeight = 480;  // pixels
    float clearRed = 0.0f, clearGreen = 0.0f, clearBlue = 0.0f;               // 0..1
    float fovX = 1.5707964f, fovY = 1.2f;  // full angles, radians
    float zNear = 1.0f, zFar = 10000.0f;
    float fogRed = 0.0f, fogGreen = 0.0f, fogBlue = 0.0f;  // 0..1
    float fogDensity = 0.00005f;
    int32_t fogMode = kFogNone;
    int32_t hasBackground = 0;
    Texture* mapN = nullptr;
    Texture* mapW = nullptr;
    Texture* mapS = nullptr;
    Texture* mapE = nullptr;
    Texture* mapU = nullptr;
    Texture* mapD = nullptr;
};

// A transformed mesh vertex. Screen position and oow are valid only when z > 0.
struct ViewVertex {
    float xs = 0.0f;  // camera x times fx
    float ys = 0.0f;  // camera y times fy
    float z = 0.0f;   // camera depth
    float sx = 0.0f;  // screen pixels
    float sy = 0.0f;
    float oow = 0.0f;    // 1 / z
    float alpha = 0.0f;  // specular 0..100 (opaque lit) or opacity * 255 (translucent)
    float red = 0.0f;    // 0..255
    float green = 0.0f;
    float blue = 0.0f;
    float s = 0.0f;  // environment-map coordinates, 0..256
    float t = 0.0f;
};

// One object drawn this frame.
struct ObjectSlot {
    SceneObject* object = nullptr;
    uint32_t* litBits = nullptr;               // one bit per vertex: lit this frame
    ViewVertex* vertices = nullptr;            // one per mesh vertex
    Transform toCamera;                        // object space to camera space
    Vector3 cameraPosition;                    // the eye in object space
    int lightCount = 0;                        // lights with an object to shine from
    Vector3 lightPositions[kMaxObjectLights];  // in object space
    const Light* lights[kMaxObjectLights] = {};
};

// A translucent polygon or a sprite waiting for the far-to-near pass.
struct DeferredPolygon {
    ObjectSlot* slot = nullptr;
    Material* material = nullptr;
    Polygon* polygon = nullptr;  // null for a sprite
    const Sprite* sprite = nullptr;
    uint8_t clipEdges = 0;  // window edges the polygon crosses (see cullAndClassify)
};

// Lookup tables of the lighting, indexed by squared cosines scaled to 0..2047.
struct LightingTables {
    float cosStorage[4095];  // index -2047..2047 through `cosine`
    float envStorage[4095];  // index -2047..2047 through `environment`
    float power[16][2048];   // [n][i] = (sqrt(i / 2048))^n
    const float* cosine = cosStorage + 2047;
    const float* environment = envStorage + 2047;
    LightingTables();
};
const LightingTables& lightingTables();

// Statistics of the last renderView, for benchmarks and the frame-rate display.
struct ViewStats {
    int objectsDrawn = 0;
    int verticesTransformed = 0;
    int verticesLit = 0;
    int polygonsDrawn = 0;  // handed to the board
    int deferred = 0;
};

class View {
  public:
    explicit View(ViewSettings& viewSettings);
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Computes the projection and clip constants from the settings and builds the sky box
    // when the settings have a background. `context` names the scene in messages.
    void prepare(Renderer* owner, TextureMemory* memory, const char* context = "");
    void updateFrustum();
    void setupFog();
    void renderView();

    ViewSettings& settings;
    SceneObject* camera = nullptr;
    Renderer* renderer = nullptr;
    TextureMemory* textureMemory = nullptr;
    float width = 0.0f, height = 0.0f;
    float centreX = 0.0f, centreY = 0.0f;
    float tanX = 0.0f, tanY = 0.0f;
    float fx = 0.0f, fy = 0.0f;
    float left = 0.0f, right = 0.0f, top = 0.0f, bottom = 0.0f;
    GrColor_t clearColour = 0;
    float near = 1.0f, invNear = 1.0f, far = 1.0f, invFar = 1.0f;
    Vector3 sideNormals[4];  // left, right, bottom, top; camera space, pointing out
    Vector3 forward{0.0f, 0.0f, 1.0f};
    Plane sidePlanes[4];
    Plane farPlane;
    const LightingTables& tables;
    SceneObject* skyBox = nullptr;
    Texture* captureTexture = nullptr;
    TextureRenderState state;
    ViewStats stats;

    // Per-frame work areas.
    std::vector<ObjectSlot> slots;
    std::vector<ViewVertex> vertexBuffer;
    std::vector<uint32_t> litBitmap;
    std::vector<DeferredPolygon> deferred;
    std::vector<KeyedEntry> sortEntries;
    int deferredCount = 0;
    std::vector<GrVertex> clipA, clipB;  // the clipper's two stage buffers

  private:
    void createBackground(const char* context);
    void ensureCapacity();
    bool visible(const SceneObject& object) const;
    ObjectSlot& fillSlot(int index, SceneObject& object, const Transform& cameraInverse,
                         size_t vertexStart, size_t bitStart);
    void transformVertices(ObjectSlot& slot);
    void prepareLights(ObjectSlot& slot);
    void drawMaterials(ObjectSlot& slot);
    void drawDeferred();
    void capture();
};

// Views send a fog table to the board only when its mode or density changed; a newly
// opened display has none, so opening one forgets the last table sent.
void forgetFogTable();

// Fills `settings` from a "Camera" entry and returns the object carrying the camera (null
// when it names none, with a message). `textures` supplies the background maps; `root`
// is the scene's root object; `context` names the scene in messages.
SceneObject* readCamera(const ParseNode* camera, ViewSettings& settings, const Renderer& renderer,
                        const char* context);
