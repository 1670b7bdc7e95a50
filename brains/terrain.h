// The fractal terrain that follows the camera (Mountain).
//
// At construction the brain generates a periodic 512 x 512 height field by midpoint
// subdivision driven by an integer hash, with the planes of the two triangles of every grid
// square and a smoothed normal per sample. At scene start it lends its object a 64 x 64
// vertex mesh; every frame in which the object named "Camera" crosses a sample boundary
// the mesh is refilled in place around the camera, so the landscape tiles without end.
#pragma once

#include <memory>

#include "math/plane.h"
#include "math/vector3.h"
#include "render/brain.h"

class Material;
class Texture;
struct MeshVertex;

// One sample of the field: 12 floats.
struct TerrainCell {
    float height = 0.0f;
    Vector3 normal;  // mean of the six surrounding triangle normals, not renormalised
    Plane plane1;    // triangle (j, i), (j, i+1), (j+1, i+1) of the square this sample starts
    Plane plane2;    // triangle (j, i), (j+1, i+1), (j+1, i)
};

class Mountain : public Brain {
  public:
    // Generates the field (about 12 MiB, a few tens of milliseconds).
    Mountain(SceneObject* object, Renderer* renderer, const char* label);
    // Gives the object back the mesh it had before the first start. The brain must go
    // before its object (the renderer destroys brains first).
    ~Mountain() override;

    // Every parameter is fixed: reads nothing, returns true.
    bool load(const ParseNode* brainEntry) override;
    // Finds "MountainTexture" and the top-level object "Camera", releases the mesh of an
    // earlier start and lends the object a new one; the next update fills it.
    void start() override;
    // Refills the mesh when the camera has crossed into another sample square.
    void update() override;

    // The hash: low 16 bits, signed, of seed * (((x ^ z) + 1) * (x + z) + 1) + 23421 x -
    // 44231 z in wrapping 32-bit arithmetic.
    static int hash(int x, int z);
    // The sample at column x, row z, both wrapped into the map.
    const TerrainCell& cellAt(int x, int z) const {
        return heightField[static_cast<size_t>((z & mapMask) * mapSize + (x & mapMask))];
    }

    static constexpr int kMapSize = 512;
    static constexpr int kWindowSize = 64;
    static constexpr int kUnbuiltWindow = 987979656;  // a window index no camera reaches

    std::unique_ptr<TerrainCell[]> heightField;  // kMapSize^2 samples, row-major (row = z)
    int mapSize = kMapSize;
    int mapMask = kMapSize - 1;
    int windowSize = kWindowSize;
    float spacing = 2000.0f;    // object units between neighbouring samples
    float textureStep = 64.0f;  // texture coordinate per sample (0..255 across the image)
    static constexpr int kSeed = 591754833;
    int seed = kSeed;  // the hash's multiplier
    Texture* terrainTexture = nullptr;
    SceneObject* camera = nullptr;
    int windowX = kUnbuiltWindow;  // sample indices of the window last built
    int windowZ = kUnbuiltWindow;

  private:
    void generate();
    void subdivide(int x, int z, int s, float amp, float tl, float tr, float br, float bl);
    void computePlanes();
    void computeNormals();
    void buildMesh();
    void releaseMesh();
    void fillWindow(int a, int b);

    // The mesh the brain owns and lends to its object, and what the object had before.
    std::unique_ptr<MeshVertex[]> meshVertices;
    std::unique_ptr<Material> meshMaterial;
    Material* materialTable[1] = {nullptr};
    bool meshLent = false;
    int savedVertexCount = 0;
    MeshVertex* savedVertices = nullptr;
    int savedMaterialCount = 0;
    Material** savedMaterials = nullptr;
    float savedBoundingRadius = 0.0f;
};
