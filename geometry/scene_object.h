// Scene objects, meshes and materials.
//
// A `SceneObject` is a node of the object hierarchy with a pose, its lights and a mesh
// (materials of convex polygons over one vertex array). A "Geometry" entry is built once
// into a prototype that owns its mesh (`CreateObject`); every placed copy (`makeCopy`)
// shares that mesh and never frees it.
//
// Mesh build from a LightWave object: one material per surface named in the object's
// "SRFS" list, in surface order, set up from the Geometry's "Material" entry labelled
// with the surface's name ("Default" for an unnamed surface) or else from the surface
// itself; every polygon of the surface enters its material through `addConvexPolygons`
// (twice, the second time reversed, for a double-sided surface). `ComputeVertexMap` and
// `ComputeNormals` then split the file's points into vertices per material and normal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/named_list.h"
#include "geometry/owned_text.h"
#include "math/plane.h"
#include "math/quaternion.h"
#include "math/transform.h"
#include "math/vector3.h"

class Texture;
class Light;
class LWObjectFile;
struct ParseNode;
struct TexCoord;

// Bits of `Material::renderFlags` set by the mesh build (the drawing variants are the
// renderer's).
inline constexpr uint16_t kRenderLitColor = 5;      // every built material
inline constexpr uint16_t kRenderTextured = 8;      // with a colour texture (5 + 8 = 13)
inline constexpr uint16_t kRenderTranslucent = 16;  // opacity below 0.99
inline constexpr uint16_t kRenderReflection = 64;   // with a reflection texture

struct MeshVertex {
    Vector3 position;
    Vector3 normal;                                  // unit
    float colorWords[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // intensity, r, g, b: sprite meshes only
    float u = 0.0f;                                  // texture coordinates, 0..255 across the image
    float v = 0.0f;
};

// A convex, planar polygon: `indices` is a closed loop of count + 1 entries whose last
// entry repeats the first. While a mesh is built the indices name the object file's
// points; afterwards they name the mesh's vertices.
class Polygon {
  public:
    explicit Polygon(int n);
    Polygon(const Polygon&) = delete;
    Polygon& operator=(const Polygon&) = delete;

    // plane = fromPoints of loop entries 0, 1, 2.
    void computePlane(const Vector3* positions);
    void computePlane(const MeshVertex* vertices);

    Plane plane;
    int count = 0;
    std::unique_ptr<int[]> indices;
};

// One sprite of a sprite material: a square of half size `spriteSize` (object units)
// centred on vertex `vertexIndex`.
struct Sprite {
    float spriteSize = 0.0f;
    int vertexIndex = 0;
};

// A material owns its name, its polygons (`polygons` is a new[] array of polygonCount
// polygons made with new) and its sprites (a new[] array); the destructor frees them.
class Material {
  public:
    explicit Material(const char* name = nullptr);
    ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    OwnedText name;
    float opacity = 1.0f;  // 1.0 is opaque
    float color[3] = {0.76f, 0.0f, 0.76f};
    float ambient = 63.75f;       // 0..255
    float diffuse = 229.5f;       // 0..255
    float specular = 50.0f;       // 0..100
    float glossiness = 4.0f;      // integer part 0..15 is used
    float smoothingAngle = 0.0f;  // radians; 0 or less: flat shading
    Texture* texture = nullptr;
    Texture* reflectionTexture = nullptr;
    uint16_t renderFlags = 0;
    int polygonCount = 0;
    Polygon** polygons = nullptr;
    int spriteCount = 0;
    Sprite* sprites = nullptr;
};

// One entry of the vertex-to-polygon map.
struct VertexPolygonRef {
    Polygon* polygon = nullptr;
    int material = 0;
};

class SceneObject {
  public:
    // Copies the name (null stays absent); identity pose, scale 1, no mesh, no lights.
    explicit SceneObject(const char* name = nullptr);
    // Frees the name and the light array; the mesh only when `master` is null.
    ~SceneObject();
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    // A new unnamed object sharing this object's mesh; its master is this object's master,
    // or this object when it has none.
    SceneObject* makeCopy() const;

    // Builds the mesh from a "Geometry" entry, finding material textures by name in
    // `textures`. Returns false, with a message naming the entry, when the entry has no
    // "LWObject" or the object file cannot be read: the object then has no mesh and the
    // caller should not list it. A damaged object file ends the process with its message.
    bool CreateObject(const NamedList<Texture>& textures, const ParseNode* geometry);

    // The mesh build proper, from an object file already read: name, "Flags", vertices,
    // one material per surface, the vertex map and the normals. `geometry` may be null (no
    // flags, no "Material" entries, no name).
    void buildFromFile(const NamedList<Texture>& textures, const ParseNode* geometry,
                       const LWObjectFile& file);

    // The vertex-to-polygon map over all materials' polygon loops (closing entry excluded).
    void ComputeVertexMap();
    // Splits vertices per point, material and normal; `uvTable` holds the object file's
    // texture coordinates, entry m * vertexCount + b for material m and old vertex b
    // (`uvCount` entries; coordinates outside it are 0).
    void ComputeNormals(const TexCoord* uvTable, size_t uvCount);

    // Build-time map (empty outside CreateObject).
    std::unique_ptr<int[]> vertexPolygonStart;
    std::unique_ptr<VertexPolygonRef[]> vertexPolygons;

    SceneObject* master = nullptr;
    SceneObject* parent = nullptr;
    SceneObject* firstChild = nullptr;
    SceneObject* prevSibling = nullptr;
    SceneObject* nextSibling = nullptr;
    OwnedText name;
    float boundingRadius = 0.0f;
    Quaternion rotation;
    Vector3 position;
    Vector3 pivot;
    float scale = 1.0f;
    Transform localTransform;
    Transform worldTransform;
    int lightCount = 0;
    Light** lights = nullptr;  // new[] array owned by the object; the lights are not
    int materialCount = 0;
    Material** materials = nullptr;  // new[] array; owned when master is null
    int vertexCount = 0;
    MeshVertex* vertices = nullptr;  // new[] array; owned when master is null
};

// Looks an object up by a "/"-separated name path, starting with the sibling chain of
// `first`: each component names an object of the current chain, the next component is
// looked for among its children. Null when a component matches nothing or the path
// continues below an object without children.
SceneObject* findObjectByPath(SceneObject* first, const char* path);
