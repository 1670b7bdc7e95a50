// halcyon-inspect: shows what the engine reads from a LightWave object and what mesh it
// builds from it, and can write that mesh as a Wavefront OBJ file.
//
//   halcyon-inspect [--scale] [--obj OUT.obj] FILE.lwo
//
// --scale applies the Geometry "Scale" flag (farthest point at distance 1). The inspector
// loads no images: every image a surface names counts as present, so the materials get
// the render flags the demo would give them when its textures exist.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "geometry/geometry.h"
#include "scene_lang/parse_tree.h"
#include "textures/texture.h"

namespace {

constexpr double kDegrees = 57.29577951308232;

void usage(std::FILE* to = stderr) {
    std::fprintf(to, "usage: halcyon-inspect [--scale] [--obj OUT.obj] FILE.lwo\n");
}

const char* orNone(const char* text) {
    return text != nullptr ? text : "(none)";
}

void printFile(const LWObjectFile& file) {
    std::printf("file        %s\n", file.fileName.c_str());
    std::printf("points      %d\n", file.pointCount);
    std::printf("radius      %g\n", static_cast<double>(file.radius));
    std::printf("polygons    %d\n", file.polygonCount);
    std::map<int, int> byCorners;
    for (const RawPolygon& polygon : file.polygons) ++byCorners[polygon.count];
    for (const auto& [corners, number] : byCorners) {
        std::printf("  %d corners: %d\n", corners, number);
    }
    std::printf("surfaces    %d\n", file.surfaceCount - 1);
    for (int s = 1; s < LWObjectFile::kSurfaceSlots; ++s) {
        const SurfaceRecord* surface = file.surfaces[s].get();
        if (surface == nullptr && s >= file.surfaceCount) continue;
        const char* listed = s < file.surfaceCount ? file.surfaceNames[s].get() : nullptr;
        std::printf("  surface %d '%s'%s\n", s, orNone(listed),
                    s >= file.surfaceCount ? " (default, not listed)" : "");
        if (surface == nullptr) {
            std::printf("    no SURF chunk\n");
            continue;
        }
        std::printf("    flags 0x%04x%s%s\n", surface->surfaceFlags,
                    (surface->surfaceFlags & 4) ? " smoothing" : "",
                    (surface->surfaceFlags & 256) ? " double-sided" : "");
        std::printf("    colour %u %u %u\n", (surface->color >> 24) & 0xFF,
                    (surface->color >> 16) & 0xFF, (surface->color >> 8) & 0xFF);
        std::printf("    texture %s, image %s, reflection image %s\n",
                    orNone(surface->colorTextureType.get()), orNone(surface->textureImage.get()),
                    orNone(surface->reflectionImage.get()));
        std::printf("    smoothing angle %g degrees\n",
                    static_cast<double>(surface->maxSmoothingAngle) * kDegrees);
    }
}

void printMesh(const SceneObject& object) {
    std::printf("mesh\n");
    std::printf("  vertices  %d\n", object.vertexCount);
    std::printf("  materials %d\n", object.materialCount);
    for (int m = 0; m < object.materialCount; ++m) {
        const Material& material = *object.materials[m];
        std::printf("  material %d '%s': renderFlags %d, polygons %d, ", m,
                    orNone(material.name.get()), material.renderFlags, material.polygonCount);
        if (material.smoothingAngle > 0.0f) {
            std::printf("smoothing angle %g degrees\n",
                        static_cast<double>(material.smoothingAngle) * kDegrees);
        } else {
            std::printf("flat shading\n");
        }
    }
    std::printf("  bounding radius %g\n", static_cast<double>(object.boundingRadius));
}

bool writeObj(const SceneObject& object, const char* path) {
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "halcyon-inspect: cannot write %s\n", path);
        return false;
    }
    std::fprintf(out, "# written by halcyon-inspect\n");
    for (int i = 0; i < object.vertexCount; ++i) {
        const Vector3& p = object.vertices[i].position;
        std::fprintf(out, "v %.9g %.9g %.9g\n", static_cast<double>(p.x), static_cast<double>(p.y),
                     static_cast<double>(p.z));
    }
    for (int i = 0; i < object.vertexCount; ++i) {
        const MeshVertex& v = object.vertices[i];
        std::fprintf(out, "vt %.9g %.9g\n", static_cast<double>(v.u) / 256.0,
                     1.0 - static_cast<double>(v.v) / 256.0);
    }
    for (int i = 0; i < object.vertexCount; ++i) {
        const Vector3& n = object.vertices[i].normal;
        std::fprintf(out, "vn %.9g %.9g %.9g\n", static_cast<double>(n.x), static_cast<double>(n.y),
                     static_cast<double>(n.z));
    }
    for (int m = 0; m < object.materialCount; ++m) {
        const Material& material = *object.materials[m];
        std::fprintf(out, "usemtl %s\n", material.name ? material.name.get() : "Default");
        for (int p = 0; p < material.polygonCount; ++p) {
            const Polygon& polygon = *material.polygons[p];
            std::fprintf(out, "f");
            for (int k = 0; k < polygon.count; ++k) {
                int index = polygon.indices[k] + 1;
                std::fprintf(out, " %d/%d/%d", index, index, index);
            }
            std::fprintf(out, "\n");
        }
    }
    bool ok = std::fclose(out) == 0;
    if (!ok) std::fprintf(stderr, "halcyon-inspect: cannot write %s\n", path);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool scaleFlag = false;
    const char* objPath = nullptr;
    const char* inputPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--scale") == 0) {
            scaleFlag = true;
        } else if (std::strcmp(argv[i], "--obj") == 0 && i + 1 < argc) {
            objPath = argv[++i];
        } else if (argv[i][0] == '-' || inputPath != nullptr) {
            usage();
            return 2;
        } else {
            inputPath = argv[i];
        }
    }
    if (inputPath == nullptr) {
        usage();
        return 2;
    }

    LWObjectFile file;
    if (!file.load(inputPath)) return 1;
    printFile(file);

    // The Geometry entry the demo would have for this object.
    ParseTree geometry(new ParseNode());
    geometry->name = "Geometry";
    geometry->text = copyText("inspect", 7);
    if (scaleFlag) {
        auto* flags = new ParseNode();
        flags->name = "Flags";
        flags->appendValue()->text = copyText("Scale", 5);
        geometry->firstChild = flags;
    }
    std::map<std::string, std::unique_ptr<Texture>> images;
    NamedList<Texture> textures;
    for (int s = 1; s < LWObjectFile::kSurfaceSlots; ++s) {
        const SurfaceRecord* surface = file.surfaces[s].get();
        if (surface == nullptr) continue;
        for (const char* image : {surface->textureImage.get(), surface->reflectionImage.get()}) {
            if (image == nullptr || images.count(image) != 0) continue;
            auto texture = std::make_unique<Texture>();
            texture->name = image;
            textures.insert(texture->name.c_str(), texture.get());
            images[image] = std::move(texture);
        }
    }

    SceneObject object;
    object.buildFromFile(textures, geometry.get(), file);
    printMesh(object);
    if (objPath != nullptr && !writeObj(object, objPath)) return 1;
    return 0;
}
