// Mesh build of a "Geometry" entry: materials, vertex map and smoothed normals.
#include <cmath>
#include <cstring>
#include <vector>

#include "app/console.h"
#include "geometry/convex_splitter.h"
#include "geometry/geometry_messages.h"
#include "geometry/lw_object_file.h"
#include "geometry/scene_object.h"
#include "scene_lang/parse_tree.h"

namespace {

// The growable array behind the normal builder: grows on demand, and a negative index is
// a fatal error.
template <class T>
class GrowableArray {
  public:
    T& at(int index) {
        if (index < 0) fatalError("Accessing outside array boundary (%d)\n", index);
        if (static_cast<size_t>(index) >= items.size()) {
            items.resize(static_cast<size_t>(index) + 1);
        }
        return items[static_cast<size_t>(index)];
    }
    int size() const { return static_cast<int>(items.size()); }

  private:
    std::vector<T> items;
};

struct NewVertex {
    MeshVertex vertex;
    const Material* material = nullptr;
};

const char* labelOf(const ParseNode* node) {
    return node != nullptr && node->text != nullptr ? node->text : "";
}

bool hasScaleFlag(const ParseNode* geometry) {
    bool scale = false;
    const ParseNode* flags = child(geometry, "Flags");
    if (flags == nullptr) return false;
    for (const ParseValue* v = flags->valuesHead; v != nullptr; v = v->next) {
        if (v->text != nullptr && std::strcmp(v->text, "Scale") == 0) {
            scale = true;
        } else {
            trace("Unknown Geomentry Flag '%s'\n", v->text != nullptr ? v->text : "");
        }
    }
    return scale;
}

float glossinessFromLevel(uint16_t level) {
    switch (level) {
        case 0:
            return 0.0f;
        case 16:
            return 2.0f;
        case 64:
            return 4.0f;
        case 256:
            return 8.0f;
        case 1024:
            return 15.0f;
        default:
            trace("Unknown Glossiness value %d\n", level);
            return 4.0f;
    }
}

void settingsFromEntry(Material& material, const ParseNode* entry,
                       const NamedList<Texture>& textures) {
    material.name = copyOwnedText(entry->text);
    if (const ParseNode* color = child(entry, "Color")) {
        int32_t rgb[3] = {0, 0, 0};
        getInts(color, rgb, 3);
        for (int i = 0; i < 3; ++i) material.color[i] = static_cast<float>(rgb[i]) / 255.0f;
    }
    if (const ParseNode* n = child(entry, "Transparent")) material.opacity = n->floatValue;
    if (const ParseNode* n = child(entry, "Ambient")) material.ambient = n->floatValue * 255.0f;
    if (const ParseNode* n = child(entry, "Diffuse")) material.diffuse = n->floatValue * 255.0f;
    if (const ParseNode* n = child(entry, "Specular")) {
        material.specular = n->floatValue * 100.0f;
    }
    if (const ParseNode* n = child(entry, "Glossiness")) material.glossiness = n->floatValue;
    if (const ParseNode* n = child(entry, "SmoothingAngle")) {
        material.smoothingAngle = n->floatValue;
    }
    if (const ParseNode* n = child(entry, "TextureMap")) material.texture = textures.find(n->text);
    if (const ParseNode* n = child(entry, "ReflectionMap")) {
        material.reflectionTexture = textures.find(n->text);
    }
}

void settingsFromSurface(Material& material, const SurfaceRecord& surface,
                         const NamedList<Texture>& textures) {
    material.name = copyOwnedText(surface.name.get());
    material.opacity =
        static_cast<float>(255 - static_cast<int>(surface.transparencyLevel)) / 255.0f;
    material.color[0] = static_cast<float>((surface.color >> 24) & 0xFF) / 255.0f;
    material.color[1] = static_cast<float>((surface.color >> 16) & 0xFF) / 255.0f;
    material.color[2] = static_cast<float>((surface.color >> 8) & 0xFF) / 255.0f;
    material.ambient = static_cast<float>(surface.luminosity) * 255.0f / 256.0f;
    material.diffuse = static_cast<float>(surface.diffuseLevel) * 255.0f / 256.0f;
    material.specular = static_cast<float>(surface.specularLevel) * 100.0f / 256.0f;
    material.smoothingAngle = (surface.surfaceFlags & 4) ? surface.maxSmoothingAngle : -1.0f;
    material.glossiness = glossinessFromLevel(surface.glossinessLevel);
    if (surface.textureImage) {
        material.texture = textures.find(surface.textureImage.get());
        if (material.texture == nullptr) {
            trace("Can't find Texture %s\n", surface.textureImage.get());
        }
    }
    if (surface.reflectionImage) {
        material.reflectionTexture = textures.find(surface.reflectionImage.get());
        if (material.reflectionTexture == nullptr) {
            trace("Can't find Reflection Texture %s\n", surface.reflectionImage.get());
        }
    }
}

Material* materialFromSurface(int s, const ParseNode* geometry, const LWObjectFile& file,
                              const NamedList<Texture>& textures) {
    SurfaceRecord fallback;
    const SurfaceRecord* surface = file.surfaces[s].get();
    if (surface == nullptr) {
        // Named in "SRFS" but given no "SURF" chunk: the default surface under that name.
        fallback.name = copyOwnedText(file.surfaceNames[s].get());
        geometryMessage("%s: surface %d ('%s') has no SURF chunk; default settings used\n",
                        file.fileName.c_str(), s, fallback.name ? fallback.name.get() : "");
        surface = &fallback;
    }

    auto* material = new Material();
    std::vector<std::unique_ptr<Polygon>> list;
    const bool doubleSided = (surface->surfaceFlags & 256) != 0;
    for (size_t i = 0; i < file.polygons.size(); ++i) {
        const RawPolygon& raw = file.polygons[i];
        if (raw.surface != s) continue;
        auto polygon = std::make_unique<Polygon>(raw.count);
        for (int k = 0; k <= raw.count; ++k)
            polygon->indices[k] = raw.indices[static_cast<size_t>(k)];
        std::unique_ptr<Polygon> back;
        if (doubleSided) {
            back = std::make_unique<Polygon>(raw.count);
            for (int k = 0; k <= raw.count; ++k) {
                back->indices[k] = raw.indices[static_cast<size_t>(raw.count - k)];
            }
        }
        // A concave polygon too complex to split within the splitter's work limit is
        // dropped (its reversed copy would be too).
        if (!addConvexPolygons(list, std::move(polygon), file.points.get())) {
            geometryMessage(
                "%s: polygon %zu (%d corners) is too complex to split into convex pieces; "
                "dropped\n",
                file.fileName.c_str(), i, raw.count);
            continue;
        }
        if (back) addConvexPolygons(list, std::move(back), file.points.get());
    }
    material->polygonCount = static_cast<int>(list.size());
    if (!list.empty()) {
        material->polygons = new Polygon*[list.size()];
        for (size_t i = 0; i < list.size(); ++i) {
            material->polygons[i] = list[list.size() - 1 - i].release();
        }
    }

    const char* label = surface->name ? surface->name.get() : "Default";
    const ParseNode* entry = childLabelled(geometry, "Material", label);
    if (entry != nullptr) {
        settingsFromEntry(*material, entry, textures);
    } else {
        settingsFromSurface(*material, *surface, textures);
    }
    material->renderFlags =
        material->texture != nullptr ? kRenderLitColor | kRenderTextured : kRenderLitColor;
    if (material->reflectionTexture != nullptr) material->renderFlags |= kRenderReflection;
    if (material->opacity < 0.99f) material->renderFlags |= kRenderTranslucent;
    return material;
}

}  // namespace

bool SceneObject::CreateObject(const NamedList<Texture>& textures, const ParseNode* geometry) {
    const ParseNode* source = child(geometry, "LWObject");
    if (source == nullptr || source->text == nullptr) {
        geometryMessage("Geometry '%s': no \"LWObject\" file named; the geometry is skipped\n",
                        labelOf(geometry));
        return false;
    }
    LWObjectFile file;
    if (!file.load(source->text)) {
        geometryMessage(
            "Geometry '%s': object file %s cannot be read; the geometry is "
            "skipped\n",
            labelOf(geometry), source->text);
        return false;
    }
    buildFromFile(textures, geometry, file);
    return true;
}

void SceneObject::buildFromFile(const NamedList<Texture>& textures, const ParseNode* geometry,
                                const LWObjectFile& file) {
    const bool scaleToUnit = hasScaleFlag(geometry);
    name = copyOwnedText(geometry != nullptr ? geometry->text : nullptr);

    vertexCount = file.pointCount;
    vertices = new MeshVertex[static_cast<size_t>(vertexCount)];
    // Without points (radius 0) the scale flag has nothing to scale.
    const float f = (scaleToUnit && file.radius > 0.0f) ? 1.0f / file.radius : 1.0f;
    float largest = 0.0f;
    for (int i = 0; i < vertexCount; ++i) {
        MeshVertex& vertex = vertices[i];
        vertex.position = scaled(file.points[i], f);
        vertex.normal = Vector3{};
        vertex.u = vertex.v = 0.0f;
        float length = vertex.position.length();
        if (length > largest) largest = length;
    }
    boundingRadius = largest;

    materialCount = file.surfaceCount - 1;
    materials = new Material*[static_cast<size_t>(materialCount > 0 ? materialCount : 0)];
    for (int s = 1; s < file.surfaceCount; ++s) {
        materials[s - 1] = materialFromSurface(s, geometry, file, textures);
    }

    ComputeVertexMap();
    ComputeNormals(file.uvTable.data(), file.uvTable.size());
    vertexPolygons.reset();
    vertexPolygonStart.reset();

    int polygons = 0;
    for (int m = 0; m < materialCount; ++m) polygons += materials[m]->polygonCount;
    trace("--- CreateObject ---\n");
    trace("Polygons  : %d\n", polygons);
    trace("Vertexes  : %d\n", vertexCount);
    trace("Materials : %d\n", materialCount);
    (void)polygons;
}

void SceneObject::ComputeVertexMap() {
    trace("ComputeVertexMap()\n");
    vertexPolygonStart = std::make_unique<int[]>(static_cast<size_t>(vertexCount) + 1);
    std::vector<int> uses(static_cast<size_t>(vertexCount), 0);
    size_t total = 0;
    for (int m = 0; m < materialCount; ++m) {
        const Material& material = *materials[m];
        for (int p = 0; p < material.polygonCount; ++p) {
            const Polygon& polygon = *material.polygons[p];
            for (int k = 0; k < polygon.count; ++k) {
                int vertex = polygon.indices[k];
                if (vertex < 0 || vertex >= vertexCount) continue;
                ++uses[static_cast<size_t>(vertex)];
                ++total;
            }
        }
    }
    int start = 0;
    for (int i = 0; i < vertexCount; ++i) {
        vertexPolygonStart[i] = start;
        start += uses[static_cast<size_t>(i)];
    }
    vertexPolygonStart[vertexCount] = start;

    vertexPolygons = std::make_unique<VertexPolygonRef[]>(total);
    std::vector<int> fill(vertexPolygonStart.get(), vertexPolygonStart.get() + vertexCount);
    for (int m = 0; m < materialCount; ++m) {
        const Material& material = *materials[m];
        for (int p = 0; p < material.polygonCount; ++p) {
            Polygon* polygon = material.polygons[p];
            for (int k = 0; k < polygon->count; ++k) {
                int vertex = polygon->indices[k];
                if (vertex < 0 || vertex >= vertexCount) continue;
                vertexPolygons[static_cast<size_t>(fill[static_cast<size_t>(vertex)]++)] = {polygon,
                                                                                            m};
            }
        }
    }
}

namespace {

// The loop position of every use of the vertex map, in map order, found by visiting the
// loops as ComputeVertexMap does; empty when the map was not built that way.
std::vector<int> usePositions(const SceneObject& object) {
    const int total = object.vertexPolygonStart[object.vertexCount];
    std::vector<int> positions(static_cast<size_t>(total), -1);
    std::vector<int> fill(object.vertexPolygonStart.get(),
                          object.vertexPolygonStart.get() + object.vertexCount);
    for (int m = 0; m < object.materialCount; ++m) {
        const Material& material = *object.materials[m];
        for (int p = 0; p < material.polygonCount; ++p) {
            const Polygon* polygon = material.polygons[p];
            for (int k = 0; k < polygon->count; ++k) {
                const int vertex = polygon->indices[k];
                if (vertex < 0 || vertex >= object.vertexCount) continue;
                const int use = fill[static_cast<size_t>(vertex)]++;
                if (use >= object.vertexPolygonStart[vertex + 1] ||
                    object.vertexPolygons[static_cast<size_t>(use)].polygon != polygon) {
                    return {};
                }
                positions[static_cast<size_t>(use)] = k;
            }
        }
    }
    return positions;
}

}  // namespace

void SceneObject::ComputeNormals(const TexCoord* uvTable, size_t uvCount) {
    trace("ComputeNormals()\n");
    GrowableArray<NewVertex> made;
    int madeCount = 0;
    const int oldCount = vertexCount;
    // Each use rewrites its own loop entry (and the closing one) instead of scanning its
    // polygon for the vertex, which for a polygon of many corners would take time
    // quadratic in its size. The result is the same: the other entries of the vertex in
    // the polygon are uses too, and get the same new vertex (same polygon, same material,
    // same normal).
    const std::vector<int> positions = usePositions(*this);
    for (int b = 0; b < oldCount; ++b) {
        const int first = madeCount;
        const int begin = vertexPolygonStart[b];
        const int end = vertexPolygonStart[b + 1];
        for (int use = begin; use < end; ++use) {
            Polygon* f = vertexPolygons[static_cast<size_t>(use)].polygon;
            const int m = vertexPolygons[static_cast<size_t>(use)].material;
            const Material* w = materials[m];
            Vector3 n{f->plane.a, f->plane.b, f->plane.c};
            if (w->smoothingAngle > 0.0f) {
                int adds = 0;
                for (int other = begin; other < end; ++other) {
                    const Polygon* g = vertexPolygons[static_cast<size_t>(other)].polygon;
                    if (g == f) continue;
                    Vector3 gn{g->plane.a, g->plane.b, g->plane.c};
                    Vector3 fn{f->plane.a, f->plane.b, f->plane.c};
                    if (angleBetweenUnit(fn, gn) <= w->smoothingAngle) {
                        n.addInPlace(gn);
                        ++adds;
                    }
                }
                if (n.normalize() < 0.0f) trace("AI AI!!!!! adds = %d\n", adds);
            }
            int e = -1;
            for (int i = first; i < madeCount; ++i) {
                const NewVertex& candidate = made.at(i);
                if (candidate.material != w) continue;
                Vector3 d = sub(candidate.vertex.normal, n);
                if (dot(d, d) < 0.0005f) {
                    e = i;
                    break;
                }
            }
            if (e < 0) {
                e = madeCount++;
                NewVertex& fresh = made.at(e);
                fresh.vertex.position = vertices[b].position;
                fresh.vertex.normal = n;
                size_t entry =
                    static_cast<size_t>(m) * static_cast<size_t>(oldCount) + static_cast<size_t>(b);
                TexCoord uv = entry < uvCount ? uvTable[entry] : TexCoord{};
                fresh.vertex.u = 255.0f * uv.u;
                fresh.vertex.v = 255.0f * uv.v;
                fresh.material = w;
            }
            if (!positions.empty()) {
                f->indices[positions[static_cast<size_t>(use)]] = -e;
                if (f->indices[f->count] == b) f->indices[f->count] = -e;
            } else {
                for (int k = 0; k <= f->count; ++k) {
                    if (f->indices[k] == b) f->indices[k] = -e;
                }
            }
        }
    }

    delete[] vertices;
    vertices = new MeshVertex[static_cast<size_t>(madeCount)];
    for (int i = 0; i < madeCount; ++i) vertices[i] = made.at(i).vertex;
    vertexCount = madeCount;

    for (int m = 0; m < materialCount; ++m) {
        Material& material = *materials[m];
        for (int p = 0; p < material.polygonCount; ++p) {
            Polygon& polygon = *material.polygons[p];
            for (int k = 0; k <= polygon.count; ++k) polygon.indices[k] = -polygon.indices[k];
        }
    }
}
