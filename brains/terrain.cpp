// The fractal terrain: field generation, the lent mesh and the window that follows the camera.
#include "brains/terrain.h"
#include <cmath>
#include <cstdint>
#include <string>

#include "app/console.h"
#include "brains/brain_messages_internal.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "textures/texture.h"

namespace {

constexpr float kCornerScale = 0.244140625f;  // 125 / 512: hash units to heights at the corners
constexpr int kBlockSize = 8;                 // samples between hashed block corners
constexpr char kTextureName[] = "MountainTexture";
constexpr char kCameraName[] = "Camera";
constexpr char kMaterialName[] = "FractalMountain";

// Position over spacing, truncated toward zero. Kept within +-2^30 (a non-finite position
// counts as 0) so that the window's index sums cannot overflow.
int sampleIndex(float position, float spacing) {
    const float q = position / spacing;
    constexpr float kLimit = 1073741824.0f;
    if (!(std::fabs(q) < kLimit)) return std::isnan(q) ? 0 : (q < 0.0f ? -(1 << 30) : 1 << 30);
    return static_cast<int>(q);
}

}  // namespace

Mountain::Mountain(SceneObject* object, Renderer* renderer, const char* label)
    : Brain(object, renderer, label) {
    generate();
}

Mountain::~Mountain() {
    releaseMesh();
}

int Mountain::hash(int x, int z) {
    const uint32_t ux = static_cast<uint32_t>(x);
    const uint32_t uz = static_cast<uint32_t>(z);
    const uint32_t mixed = static_cast<uint32_t>(kSeed) * (((ux ^ uz) + 1u) * (ux + uz) + 1u) +
                           23421u * ux - 44231u * uz;
    return static_cast<int16_t>(static_cast<uint16_t>(mixed & 0xFFFFu));
}

bool Mountain::load(const ParseNode*) {
    return true;
}

void Mountain::generate() {
    heightField = std::make_unique<TerrainCell[]>(static_cast<size_t>(mapSize) * mapSize);
    for (int r = 0; r < mapSize; r += kBlockSize) {
        for (int c = 0; c < mapSize; c += kBlockSize) {
            const int c2 = (c + kBlockSize) & mapMask;
            const int r2 = (r + kBlockSize) & mapMask;
            subdivide(c, r, kBlockSize, kCornerScale, kCornerScale * float(hash(c, r)),
                      kCornerScale * float(hash(c2, r)), kCornerScale * float(hash(c2, r2)),
                      kCornerScale * float(hash(c, r2)));
        }
    }
    computePlanes();
    computeNormals();
    windowX = windowZ = kUnbuiltWindow;
}

// Midpoint subdivision of the square at (x, z) of side s; the corners run top-left,
// top-right, bottom-right, bottom-left (top = smaller z). Three quadrants recurse, the
// fourth continues the loop, so the depth stays at log2(s).
void Mountain::subdivide(int x, int z, int s, float amp, float tl, float tr, float br, float bl) {
    while (s > 0) {
        const int h = s / 2;
        amp = amp * 0.4f;
        const int xm = x + h, zm = z + h, x2 = x + s, z2 = z + s;
        const float top = (tl + tr) * 0.5f + amp * float(hash(xm, z));
        const float bottom = (br + bl) * 0.5f + amp * float(hash(xm, z2));
        const float left = (tl + bl) * 0.5f + amp * float(hash(x, zm));
        const float right = (tr + br) * 0.5f + amp * float(hash(x2, zm));
        const float centre = (tl + tr + br + bl) * 0.25f;
        heightField[static_cast<size_t>(z * mapSize + xm)].height = top;
        heightField[static_cast<size_t>(zm * mapSize + x)].height = left;
        heightField[static_cast<size_t>(zm * mapSize + xm)].height = centre;
        subdivide(x, z, h, amp, tl, top, centre, left);
        subdivide(xm, z, h, amp, top, tr, right, centre);
        subdivide(x, zm, h, amp, left, centre, bottom, bl);
        x = xm;
        z = zm;
        s = h;
        tl = centre;
        tr = right;
        // br stays
        bl = bottom;
    }
}

// The two triangle planes of every grid square. The far corners of a square on the map's
// last row or column take the wrapped sample's height but stand one spacing further on
// (not back at the map's first column), so the seam squares are as small as the others.
void Mountain::computePlanes() {
    const float half = float(mapSize) * spacing * 0.5f;
    const auto point = [&](int j, int i) {
        return Vector3{float(j) * spacing - half, cellAt(j, i).height, float(i) * spacing - half};
    };
    for (int i = 0; i < mapSize; ++i) {
        for (int j = 0; j < mapSize; ++j) {
            TerrainCell& cell = heightField[static_cast<size_t>(i * mapSize + j)];
            const Vector3 p = point(j, i);
            const Vector3 below = point(j, i + 1);
            const Vector3 diagonal = point(j + 1, i + 1);
            const Vector3 beside = point(j + 1, i);
            cell.plane1 = Plane::fromPoints(p, below, diagonal);
            cell.plane2 = Plane::fromPoints(p, diagonal, beside);
        }
    }
}

void Mountain::computeNormals() {
    const auto n1 = [&](int j, int i) {
        const Plane& p = cellAt(j, i).plane1;
        return Vector3{p.a, p.b, p.c};
    };
    const auto n2 = [&](int j, int i) {
        const Plane& p = cellAt(j, i).plane2;
        return Vector3{p.a, p.b, p.c};
    };
    for (int i = 0; i < mapSize; ++i) {
        for (int j = 0; j < mapSize; ++j) {
            Vector3 sum = add(n1(j - 1, i - 1), n2(j - 1, i - 1));
            sum = add(sum, n1(j, i));
            sum = add(sum, n2(j, i));
            sum = add(sum, n1(j, i - 1));
            sum = add(sum, n2(j - 1, i));
            heightField[static_cast<size_t>(i * mapSize + j)].normal = scaled(sum, 1.0f / 6.0f);
        }
    }
}

void Mountain::start() {
    terrainTexture = renderer->textures.find(kTextureName);
    camera = findObjectByPath(renderer->rootObject, kCameraName);
    if (terrainTexture == nullptr) {
        reportBrain(*this, "no texture \"MountainTexture\"", "the terrain is drawn untextured");
    }
    if (camera == nullptr) {
        reportBrain(*this, "no object \"Camera\"", "the terrain stays around the origin");
    }
    releaseMesh();
    buildMesh();
}

void Mountain::buildMesh() {
    if (object == nullptr) return;
    const int w = windowSize;
    meshVertices = std::make_unique<MeshVertex[]>(static_cast<size_t>(w) * w);
    meshMaterial = std::make_unique<Material>(kMaterialName);
    Material& material = *meshMaterial;
    material.texture = terrainTexture;
    material.renderFlags =
        terrainTexture != nullptr ? kRenderLitColor | kRenderTextured : kRenderLitColor;
    // White, so the terrain shows its texture's own colours: a new material's colour is
    // the default magenta, which would tint the whole landscape.
    material.color[0] = material.color[1] = material.color[2] = 1.0f;
    material.ambient = 76.5f;
    material.diffuse = 497.25f;
    material.specular = 30.0f;
    material.glossiness = 2.0f;
    material.polygonCount = (2 * w - 2) * (w - 1);
    material.polygons = new Polygon*[static_cast<size_t>(material.polygonCount)];
    int next = 0;
    const auto triangle = [&](int first, int second, int third) {
        auto* polygon = new Polygon(3);
        polygon->indices[0] = first;
        polygon->indices[1] = second;
        polygon->indices[2] = third;
        polygon->indices[3] = first;
        material.polygons[next++] = polygon;
    };
    for (int j = 0; j < w - 1; ++j) {
        for (int k = 0; k < w - 1; ++k) {
            triangle(k + j * w, (j + 1) * w + k + 1, (j + 1) * w + k);
            triangle(k + j * w, j * w + k + 1, (j + 1) * w + k + 1);
        }
    }
    materialTable[0] = meshMaterial.get();

    savedVertexCount = object->vertexCount;
    savedVertices = object->vertices;
    savedMaterialCount = object->materialCount;
    savedMaterials = object->materials;
    savedBoundingRadius = object->boundingRadius;
    object->vertexCount = w * w;
    object->vertices = meshVertices.get();
    object->materialCount = 1;
    object->materials = materialTable;
    object->boundingRadius = spacing * float(w) * std::sqrt(2.0f);
    meshLent = true;
    windowX = windowZ = kUnbuiltWindow;  // the new vertices are blank: the next update fills them
}

void Mountain::releaseMesh() {
    if (meshLent) {
        object->vertexCount = savedVertexCount;
        object->vertices = savedVertices;
        object->materialCount = savedMaterialCount;
        object->materials = savedMaterials;
        object->boundingRadius = savedBoundingRadius;
        meshLent = false;
    }
    materialTable[0] = nullptr;
    meshMaterial.reset();
    meshVertices.reset();
}

void Mountain::update() {
    if (!meshLent) return;
    // Without a camera the window stays on the origin's square.
    const int a = camera != nullptr ? sampleIndex(camera->position.x, spacing) : 0;
    const int b = camera != nullptr ? sampleIndex(camera->position.z, spacing) : 0;
    if (a == windowX && b == windowZ) return;
    windowX = a;
    windowZ = b;
    fillWindow(a, b);
}

void Mountain::fillWindow(int a, int b) {
    const int w = windowSize;
    const int off = (mapSize - w) / 2;
    const float hw = float(w) * spacing * 0.5f;
    const float ht = float(w) * textureStep * 0.5f;
    MeshVertex* vertices = meshVertices.get();
    for (int i = 0; i < w; ++i) {
        const float z = spacing * float(b + i) - hw;
        const float v = textureStep * float(b + i) - ht;
        for (int j = 0; j < w; ++j) {
            const TerrainCell& cell = cellAt(off + a + j, off + b + i);
            MeshVertex& vertex = vertices[i * w + j];
            vertex.position = {spacing * float(a + j) - hw, cell.height, z};
            vertex.normal = cell.normal;
            vertex.u = textureStep * float(a + j) - ht;
            vertex.v = v;
        }
    }
    // The planes' normals come from the field; their offsets are taken at the square's first
    // vertex where it stands now, so they stay right wherever the window has wandered.
    Polygon** polygons = meshMaterial->polygons;
    for (int i = 0; i < w - 1; ++i) {
        for (int j = 0; j < w - 1; ++j) {
            const TerrainCell& cell = cellAt(off + a + j, off + b + i);
            const Vector3& corner = vertices[i * w + j].position;
            Plane& first = polygons[2 * (i * (w - 1) + j)]->plane;
            Plane& second = polygons[2 * (i * (w - 1) + j) + 1]->plane;
            first = Plane::fromPointNormal(corner, {cell.plane1.a, cell.plane1.b, cell.plane1.c});
            second = Plane::fromPointNormal(corner, {cell.plane2.a, cell.plane2.b, cell.plane2.c});
        }
    }
}
