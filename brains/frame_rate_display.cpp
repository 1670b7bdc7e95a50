// The frame-rate display: a text mesh of one quad per character, and the statistics all
// such brains share.
#include "brains/frame_rate_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/console.h"
#include "geometry/scene_object.h"
#include "glide/glide.h"
#include "render/renderer.h"
#include "textures/texture.h"

namespace {

constexpr const char* kFontTexture = "Topaz.font";
constexpr const char* kFontMaterial = "DisplayInfoFont";
constexpr uint16_t kTextRenderFlags = 9;  // textured, unlit: the decal variant
constexpr int kRefreshAfter = 30;         // frames summed before the line is rewritten, less one
constexpr int kCellsPerRow = 16;

}  // namespace

DisplayInfo::~DisplayInfo() {
    // The object outlives its brains (the renderer destroys brains first), so it can be
    // given its own mesh back here.
    releaseMesh();
}

bool DisplayInfo::load(const ParseNode*) {
    return true;
}

void DisplayInfo::resetStatistics() {
    frameCount = 0;
    timeSum = 0.0;
    pendingSum = 0;
}

void DisplayInfo::releaseMesh() {
    if (!installed_) return;
    if (object != nullptr) {
        object->materialCount = savedMaterialCount_;
        object->materials = savedMaterials_;
        object->vertexCount = savedVertexCount_;
        object->vertices = savedVertices_;
        object->boundingRadius = savedBoundingRadius_;
    }
    installed_ = false;
    material_.reset();
    vertices_.reset();
    materialList_[0] = nullptr;
}

void DisplayInfo::start() {
    grResetTriStats();
    releaseMesh();  // a brain started again in a later scene builds a fresh mesh

    fontTexture = renderer->textures.find(kFontTexture);
    if (fontTexture == nullptr) {
        const std::string text = std::string("Brain \"") + name.get() + "\": no texture \"" +
                                 kFontTexture + "\"; no text is shown\n";
        consoleWrite(text.c_str());
        return;
    }
    if (object == nullptr) return;

    // The line holds at most sizeof(line) - 1 characters.
    const int count = std::clamp(charCount, 0, static_cast<int>(sizeof(line)) - 1);
    const float half = static_cast<float>(count * advance) * 0.5f;
    const float h = static_cast<float>(lineHeight) * 0.5f;
    const float w = static_cast<float>(glyphWidth);
    const float top = static_cast<float>(glyphHeight) - h;

    vertices_.reset(new MeshVertex[static_cast<size_t>(count) * 4]());
    float radius = 0.0f;
    for (int i = 0; i < count; ++i) {
        const float x0 = static_cast<float>(advance * i) - half;
        const Vector3 corners[4] = {
            {x0, -h, 0.0f}, {x0 + w, -h, 0.0f}, {x0 + w, top, 0.0f}, {x0, top, 0.0f}};
        for (int c = 0; c < 4; ++c) {
            MeshVertex& v = vertices_[static_cast<size_t>(4 * i + c)];
            v.position = corners[c];
            v.normal = {0.0f, 0.0f, 1.0f};
            v.u = 0.0f;
            v.v = 0.0f;
            radius = std::max(radius, std::sqrt(dot(corners[c], corners[c])));
        }
    }

    material_ = std::make_unique<Material>(kFontMaterial);
    material_->texture = fontTexture;
    material_->renderFlags = kTextRenderFlags;
    material_->polygons = new Polygon*[static_cast<size_t>(count)];
    material_->polygonCount = count;
    for (int i = 0; i < count; ++i) {
        auto* quad = new Polygon(4);
        const int loop[5] = {4 * i, 4 * i + 3, 4 * i + 2, 4 * i + 1, 4 * i};
        std::copy(loop, loop + 5, quad->indices.get());
        quad->computePlane(vertices_.get());
        material_->polygons[i] = quad;
    }
    materialList_[0] = material_.get();

    // A second display on the same object takes the first one's place: only one text mesh
    // is on an object at a time, and the mesh the object had before either comes back.
    DisplayInfo* previous = nullptr;
    for (auto* entry = renderer->brains.head; entry != nullptr; entry = entry->next) {
        auto* other = dynamic_cast<DisplayInfo*>(entry->value);
        if (other != nullptr && other != this && other->installed_ && other->object == object) {
            previous = other;
        }
    }
    if (previous != nullptr) {
        savedMaterialCount_ = previous->savedMaterialCount_;
        savedMaterials_ = previous->savedMaterials_;
        savedVertexCount_ = previous->savedVertexCount_;
        savedVertices_ = previous->savedVertices_;
        savedBoundingRadius_ = previous->savedBoundingRadius_;
        previous->installed_ = false;
        previous->material_.reset();
        previous->vertices_.reset();
        previous->materialList_[0] = nullptr;
    } else {
        savedMaterialCount_ = object->materialCount;
        savedMaterials_ = object->materials;
        savedVertexCount_ = object->vertexCount;
        savedVertices_ = object->vertices;
        savedBoundingRadius_ = object->boundingRadius;
    }
    object->materialCount = 1;
    object->materials = materialList_;
    object->vertexCount = 4 * count;
    object->vertices = vertices_.get();
    // An object placed without geometry has radius 0; the text's own extent keeps it from
    // being culled while part of the line is still in view.
    object->boundingRadius = std::max(savedBoundingRadius_, radius);
    installed_ = true;
}

void DisplayInfo::update() {
    frameCount += 1;
    timeSum += renderer->frameContext->frameDelta;
    pendingSum += grBufferNumPending();
    if (frameCount <= kRefreshAfter) return;

    FxU32 processed = 0;
    FxU32 drawn = 0;
    grTriStats(&processed, &drawn);
    grResetTriStats();
    const double fps = frameCount / timeSum;
    const int tris = static_cast<int>(drawn / static_cast<FxU32>(frameCount));
    const double pending = static_cast<double>(pendingSum) / frameCount;
    resetStatistics();

    std::snprintf(line, sizeof(line), lineFormat, fps, pending, tris);
    if (installed_) selectGlyphs();
}

void DisplayInfo::selectGlyphs() {
    const int count = material_->polygonCount;
    const float cellW = 2.0f * static_cast<float>(glyphWidth);
    const float cellH = 2.0f * static_cast<float>(glyphHeight);
    bool ended = false;  // past the end of a short line every quad shows a space
    for (int i = 0; i < count; ++i) {
        int code = static_cast<unsigned char>(line[i]);
        if (code == 0) ended = true;
        if (ended) code = ' ';
        const int k = code < 32 ? 0 : code - 32;
        const float column = static_cast<float>(k % kCellsPerRow);
        const float row = static_cast<float>((k / kCellsPerRow) % kCellsPerRow);
        const float left = cellW * column;
        const float right = cellW * (column + 1.0f);
        const float bottom = cellH * (row + 1.0f) - 1.0f;
        const float top = cellH * row - 1.0f;
        MeshVertex* quad = vertices_.get() + 4 * i;
        quad[0].u = left;
        quad[0].v = bottom;
        quad[1].u = right;
        quad[1].v = bottom;
        quad[2].u = right;
        quad[2].v = top;
        quad[3].u = left;
        quad[3].v = top;
    }
}
