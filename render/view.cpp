// Views: camera settings, projection constants, frustum, fog, sky box and view drawing.
#include "render/view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "app/app.h"
#include "geometry/scene_object.h"
#include "render/pipeline.h"
#include "render/renderer.h"
#include "scene_lang/parse_tree.h"
#include "textures/texture.h"

namespace {

void message(const std::string& text) {
    consoleWrite(text.c_str());
}

// Signed distance, positive outside.
float distanceTo(const Plane& plane, const Vector3& point) {
    return plane.distance(point);
}

// The fog table of the last generated mode and density, shared by every view.
struct FogCache {
    int32_t mode = kFogNone;
    float density = 0.0f;
    GrFog_t table[GR_FOG_TABLE_SIZE] = {};
};
FogCache fogCache;

}  // namespace

void forgetFogTable() {
    fogCache = FogCache{};
}

LightingTables::LightingTables() {
    constexpr float kAsinFactor = 81.48733f;  // 256 / pi
    for (int i = 0; i < 2048; ++i) {
        const float x = static_cast<float>(i) / 2048.0f;
        const float root = std::sqrt(x);
        cosStorage[2047 + i] = root;
        cosStorage[2047 - i] = -root;
        const float angle = std::asin(root);
        envStorage[2047 + i] = 128.0f + kAsinFactor * angle;
        envStorage[2047 - i] = 128.0f - kAsinFactor * angle;
        float p = 1.0f;
        for (int n = 0; n < 16; ++n) {
            power[n][i] = p;
            p *= root;
        }
    }
}

const LightingTables& lightingTables() {
    static const LightingTables tables;
    return tables;
}

View::View(ViewSettings& viewSettings) : settings(viewSettings), tables(lightingTables()) {
    slots.resize(kViewObjectSlots);
    vertexBuffer.resize(kViewVertices);
    litBitmap.resize(kViewVertices / 32 + kViewObjectSlots + 1);
    deferred.resize(kViewDeferred);
    sortEntries.resize(kViewDeferred);
    clipA.resize(96);
    clipB.resize(96);
}

View::~View() {
    delete skyBox;
}

void View::prepare(Renderer* owner, TextureMemory* memory, const char* context) {
    renderer = owner;
    textureMemory = memory;
    const ViewSettings& s = settings;
    width = static_cast<float>(s.windowWidth);
    height = static_cast<float>(s.windowHeight);
    centreX = static_cast<float>(s.windowX) + width / 2.0f;
    centreY = static_cast<float>(s.windowY) + height / 2.0f;
    tanX = std::tan(s.fovX / 2.0f);
    tanY = std::tan(s.fovY / 2.0f);
    fx = (width / 2.0f) / tanX;
    fy = (height / 2.0f) / tanY;
    left = static_cast<float>(s.windowX);
    right = static_cast<float>(s.windowX) + width;
    top = static_cast<float>(s.windowY);
    bottom = static_cast<float>(s.windowY) + height;
    clearColour =
        colourByte(s.clearRed) << 16 | colourByte(s.clearGreen) << 8 | colourByte(s.clearBlue);
    near = s.zNear;
    invNear = 1.0f / s.zNear;
    far = s.zFar;
    invFar = 1.0f / s.zFar;

    const Vector3 a{-tanX, -tanY, 1.0f}, b{tanX, -tanY, 1.0f};
    const Vector3 c{-tanX, tanY, 1.0f}, d{tanX, tanY, 1.0f};
    auto unit = [](const Vector3& v) { return scaled(v, 1.0f / length(v)); };
    sideNormals[0] = unit(cross(a, c));
    sideNormals[1] = unit(cross(d, b));
    sideNormals[2] = unit(cross(b, a));
    sideNormals[3] = unit(cross(c, d));
    forward = {0.0f, 0.0f, 1.0f};

    if (s.hasBackground != 0) createBackground(context);
}

void View::createBackground(const char* context) {
    trace("CreateBackground\n");
    SceneObject* sky = renderer->geometries.find("Sky");
    if (sky == nullptr) {
        message(std::string(context) +
                ": \"Background\" needs a geometry named \"Sky\"; the view has no sky box\n");
        return;
    }
    skyBox = sky->makeCopy();
    skyBox->scale = 1000.0f;
    skyBox->localTransform.rotation = Matrix3::fromQuaternion(skyBox->rotation);
    skyBox->localTransform.scale = 1000.0f;
    skyBox->localTransform.translation = Vector3{};
    skyBox->worldTransform = skyBox->localTransform;
    Texture* const maps[6] = {settings.mapU, settings.mapW, settings.mapN,
                              settings.mapE, settings.mapS, settings.mapD};
    if (skyBox->materialCount < 6) {
        message(std::string(context) + ": the \"Sky\" geometry has " +
                std::to_string(skyBox->materialCount) +
                " surfaces, 6 needed; the missing sides stay empty\n");
    }
    for (int i = 0; i < 6 && i < skyBox->materialCount; ++i) {
        Material& material = *skyBox->materials[i];
        material.texture = maps[i];
        material.renderFlags = maps[i] != nullptr ? kVariantDecal : kVariantLit;
    }
    trace("CreateBackground DONE\n");
}

void View::updateFrustum() {
    const Transform& eye = camera->worldTransform;
    const Vector3& p = eye.translation;
    for (int i = 0; i < 4; ++i) {
        const Vector3 n = apply(eye.rotation, sideNormals[i]);
        sidePlanes[i] = {n.x, n.y, n.z, -dot(n, p)};
    }
    const Vector3 f = apply(eye.rotation, forward);
    farPlane = Plane::fromPointNormal(add(p, scaled(f, far)), f);
}

void View::setupFog() {
    const ViewSettings& s = settings;
    if (s.fogMode == kFogNone) {
        grFogMode(GR_FOG_DISABLE);
        return;
    }
    if (s.fogMode != fogCache.mode || s.fogDensity != fogCache.density) {
        fogCache.mode = s.fogMode;
        fogCache.density = s.fogDensity;
        if (s.fogMode == kFogOneMinusExp) {
            for (int i = 0; i < GR_FOG_TABLE_SIZE; ++i) {
                const float w = guFogTableIndexToW(i);
                float f = 255.0f * (1.0f - std::exp(-s.fogDensity * w));
                fogCache.table[i] = static_cast<GrFog_t>(std::clamp(f, 0.0f, 255.0f));
            }
        } else if (s.fogMode == kFogExp) {
            guFogGenerateExp(fogCache.table, s.fogDensity);
        } else {
            guFogGenerateExp2(fogCache.table, s.fogDensity);
        }
        grFogTable(fogCache.table);
    }
    grFogColorValue(colourByte(s.fogRed) << 16 | colourByte(s.fogGreen) << 8 |
                    colourByte(s.fogBlue));
    grFogMode(GR_FOG_WITH_TABLE);
}

bool View::visible(const SceneObject& object) const {
    const Vector3& centre = object.worldTransform.translation;
    const float radius =
        object.boundingRadius * object.worldTransform.scale / camera->worldTransform.scale;
    for (const Plane& plane : sidePlanes) {
        if (distanceTo(plane, centre) > radius) return false;
    }
    return distanceTo(farPlane, centre) <= radius;
}

// Makes the work areas large enough for this frame's objects: they grow only when a frame
// needs more than any before.
void View::ensureCapacity() {
    size_t vertices = skyBox != nullptr ? static_cast<size_t>(skyBox->vertexCount) : 0;
    size_t objects = 1;
    size_t deferrable = 0;
    for (int i = 0; i < renderer->drawCount; ++i) {
        const SceneObject& o = *renderer->drawList[i];
        vertices += static_cast<size_t>(o.vertexCount);
        ++objects;
        for (int m = 0; m < o.materialCount; ++m) {
            const Material& material = *o.materials[m];
            if ((material.renderFlags & 16) != 0) {
                deferrable += static_cast<size_t>(material.polygonCount);
            }
            deferrable += static_cast<size_t>(material.spriteCount);
        }
    }
    if (vertices > vertexBuffer.size()) vertexBuffer.resize(vertices);
    const size_t bitWords = vertices / 32 + objects + 1;
    if (bitWords > litBitmap.size()) litBitmap.resize(bitWords);
    if (objects > slots.size()) slots.resize(objects);
    if (deferrable > deferred.size()) {
        deferred.resize(deferrable);
        sortEntries.resize(deferrable);
    }
}

ObjectSlot& View::fillSlot(int index, SceneObject& object, const Transform& cameraInverse,
                           size_t vertexStart, size_t bitStart) {
    ObjectSlot& slot = slots[static_cast<size_t>(index)];
    slot.object = &object;
    slot.toCamera = compose(cameraInverse, object.worldTransform);
    slot.vertices = vertexBuffer.data() + vertexStart;
    slot.litBits = litBitmap.data() + bitStart;
    std::memset(slot.litBits, 0, (static_cast<size_t>(object.vertexCount) / 32 + 1) * 4);
    return slot;
}

void View::transformVertices(ObjectSlot& slot) {
    const Transform& t = slot.toCamera;
    const SceneObject& object = *slot.object;
    for (int i = 0; i < object.vertexCount; ++i) {
        const Vector3 c = apply(t, object.vertices[i].position);
        ViewVertex& v = slot.vertices[i];
        v.xs = fx * c.x;
        v.ys = fy * c.y;
        v.z = c.z;
        if (c.z > 0.0f) {
            v.oow = 1.0f / c.z;
            v.sx = centreX + v.xs * v.oow;
            v.sy = centreY - v.ys * v.oow;
        }
    }
    stats.verticesTransformed += object.vertexCount;
}

void View::prepareLights(ObjectSlot& slot) {
    const SceneObject& object = *slot.object;
    const Transform& world = object.worldTransform;
    const float inverseScale = 1.0f / world.scale;
    auto toObject = [&](const Vector3& p) {
        return scaled(applyTransposed(world.rotation, sub(p, world.translation)), inverseScale);
    };
    slot.lightCount = 0;
    const int count = std::min(object.lightCount, kMaxObjectLights);
    for (int i = 0; i < count; ++i) {
        const Light* light = object.lights[i];
        if (light == nullptr || light->object == nullptr) continue;
        slot.lights[slot.lightCount] = light;
        slot.lightPositions[slot.lightCount] = toObject(light->object->worldTransform.translation);
        ++slot.lightCount;
    }
    slot.cameraPosition = toObject(camera->worldTransform.translation);
}

void View::drawMaterials(ObjectSlot& slot) {
    SceneObject& object = *slot.object;
    for (int m = 0; m < object.materialCount; ++m) {
        Material& material = *object.materials[m];
        switch (material.renderFlags) {
            case kVariantLit:
                state.setRenderState(0x20, 0x38);
                grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA,
                               GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                               GR_COMBINE_OTHER_ITERATED, FXFALSE);
                drawMaterialPolygons(*this, slot, material);
                break;
            case kVariantDecal:
            case kVariantLitTextured:
            case kVariantLitReflective: {
                Texture* texture = material.renderFlags == kVariantLitReflective
                                       ? material.reflectionTexture
                                       : material.texture;
                if (texture == nullptr) break;
                textureMemory->bindTexture(texture, material.polygonCount);
                state.setRenderState(texture->flags, 0x3E);
                if (material.renderFlags == kVariantDecal) {
                    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                                   GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
                } else {
                    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA,
                                   GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
                }
                drawMaterialPolygons(*this, slot, material);
                break;
            }
            case kVariantTranslucent:
            case kVariantTranslucentTextured:
            case kVariantTranslucentReflective:
                for (int p = 0; p < material.polygonCount; ++p) {
                    Polygon& polygon = *material.polygons[p];
                    float depth = 0.0f;
                    uint8_t clipEdges = 0;
                    if (!cullAndClassify(*this, slot, polygon, depth, clipEdges)) continue;
                    DeferredPolygon& entry = deferred[static_cast<size_t>(deferredCount)];
                    entry = {&slot, &material, &polygon, nullptr, clipEdges};
                    sortEntries[static_cast<size_t>(deferredCount)].key = -depth;
                    sortEntries[static_cast<size_t>(deferredCount)].pointer = &entry;
                    ++deferredCount;
                }
                break;
            case kVariantSprite:
                for (int i = 0; i < material.spriteCount; ++i) {
                    const Sprite& sprite = material.sprites[i];
                    if (sprite.vertexIndex < 0 || sprite.vertexIndex >= object.vertexCount)
                        continue;
                    const ViewVertex& v = slot.vertices[sprite.vertexIndex];
                    if (!(v.z > near && v.z <= far)) continue;
                    float hx = 0.0f, hy = 0.0f;
                    spriteHalfSize(*this, slot, sprite, v.oow, hx, hy);
                    if (!(left <= v.sx + hx && v.sx - hx <= right && top <= v.sy + hy &&
                          v.sy - hy <= bottom)) {
                        continue;
                    }
                    DeferredPolygon& entry = deferred[static_cast<size_t>(deferredCount)];
                    entry = {&slot, &material, nullptr, &sprite, 0};
                    sortEntries[static_cast<size_t>(deferredCount)].key = -v.z;
                    sortEntries[static_cast<size_t>(deferredCount)].pointer = &entry;
                    ++deferredCount;
                }
                break;
            default:
                break;  // no drawing variant (a texture and a reflection map together)
        }
    }
}

void View::drawDeferred() {
    sortByKey(sortEntries.data(), deferredCount);
    const Material* previous = nullptr;
    bool iteratedAlpha = false;  // the alpha combine was set for untextured polygons
    for (int i = 0; i < deferredCount; ++i) {
        DeferredPolygon& entry =
            *static_cast<DeferredPolygon*>(sortEntries[static_cast<size_t>(i)].pointer);
        Material& material = *entry.material;
        if (&material != previous) {
            previous = &material;
            Texture* texture = nullptr;
            switch (material.renderFlags) {
                case kVariantTranslucent:
                    state.setRenderState(0x30, 0x38);
                    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_CONSTANT, FXFALSE);
                    // Untextured: the opacity is the iterated alpha alone. The blending state
                    // would scale it by the alpha of whatever texture the board last used,
                    // which leaves such polygons invisible or dependent on draw order.
                    grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
                                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE, FXFALSE);
                    iteratedAlpha = true;
                    break;
                case kVariantTranslucentTextured:
                case kVariantTranslucentReflective:
                case kVariantSprite:
                    texture = material.renderFlags == kVariantTranslucentReflective
                                  ? material.reflectionTexture
                                  : material.texture;
                    if (texture != nullptr) {
                        const int weight = material.renderFlags == kVariantSprite
                                               ? material.spriteCount
                                               : material.polygonCount;
                        textureMemory->bindTexture(texture, weight);
                        const uint32_t extra = material.renderFlags == kVariantSprite ? 0 : 0x10;
                        state.setRenderState(texture->flags | extra, 0x3E);
                    } else {
                        state.setRenderState(0x30, 0x38);
                    }
                    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
                    if (iteratedAlpha) {
                        // Back to the combine the state word stands for.
                        grAlphaCombine(
                            GR_COMBINE_FUNCTION_SCALE_OTHER,
                            (state.word & kTextureAlphaMap) != 0 ? GR_COMBINE_FACTOR_LOCAL
                                                                 : GR_COMBINE_FACTOR_ONE,
                            GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
                        iteratedAlpha = false;
                    }
                    break;
                default:
                    break;
            }
        }
        if (entry.polygon != nullptr) {
            drawDeferredPolygon(*this, *entry.slot, material, *entry.polygon, entry.clipEdges);
        } else {
            drawSprite(*this, *entry.slot, material, *entry.sprite);
        }
    }
}

void View::capture() {
    Texture* texture = captureTexture;
    // The read-back writes 16-bit pixels: an 8-bit texture has room for half of them.
    if (texture->depthMode == kDepthAlpha8 || texture->pixels == nullptr) return;
    const size_t pitch = static_cast<size_t>(std::max(texture->width, 0)) * 2;
    const int w = std::min(texture->width, settings.windowWidth);
    int h = std::min(texture->height, settings.windowHeight);
    if (w <= 0 || h <= 0) return;
    // Never past the chain: no more rows than its bytes hold.
    h = static_cast<int>(std::min<size_t>(static_cast<size_t>(h), texture->memorySize / pitch));
    if (h == 0) return;
    if (!grLfbReadRegion(GR_BUFFER_BACKBUFFER, static_cast<FxU32>(settings.windowX),
                         static_cast<FxU32>(settings.windowY), static_cast<FxU32>(w),
                         static_cast<FxU32>(h), static_cast<FxU32>(pitch), texture->pixels.get())) {
        return;
    }
    if (texture->depthMode == kDepthArgb1555) {
        // The screen's 5-6-5 pixels become opaque 1-5-5-5 texels.
        for (int row = 0; row < h; ++row) {
            uint8_t* texel = texture->pixels.get() + static_cast<size_t>(row) * pitch;
            for (int col = 0; col < w; ++col, texel += 2) {
                uint16_t p = 0;
                std::memcpy(&p, texel, 2);
                p = static_cast<uint16_t>(0x8000u | ((p >> 1) & 0x7FE0u) | (p & 0x1Fu));
                std::memcpy(texel, &p, 2);
            }
        }
    }
    texture->dirty = 1;
}

void View::renderView() {
    stats = ViewStats{};
    state.reset();
    grClipWindow(static_cast<FxU32>(left), static_cast<FxU32>(top), static_cast<FxU32>(right),
                 static_cast<FxU32>(bottom));
    state.setRenderState(0x20, 0x30);
    grBufferClear(clearColour, 0, 0xFFFF);
    if (camera == nullptr) return;
    updateFrustum();
    ensureCapacity();

    Transform cameraInverse = camera->worldTransform;
    cameraInverse.invert();
    deferredCount = 0;
    size_t vertexCursor = 0;
    size_t bitCursor = 0;
    int slotCount = 0;

    if (skyBox != nullptr) {
        skyBox->worldTransform.translation = camera->worldTransform.translation;
        ObjectSlot& slot = fillSlot(slotCount++, *skyBox, cameraInverse, vertexCursor, bitCursor);
        slot.toCamera.translation = Vector3{};
        transformVertices(slot);
        prepareLights(slot);
        grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
        grDepthMask(FXFALSE);
        grFogMode(GR_FOG_DISABLE);
        drawMaterials(slot);
        grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
        grDepthMask(FXTRUE);
        vertexCursor += static_cast<size_t>(skyBox->vertexCount);
        bitCursor += static_cast<size_t>(skyBox->vertexCount) / 32 + 1;
    }

    setupFog();

    for (int i = 0; i < renderer->drawCount; ++i) {
        SceneObject& object = *renderer->drawList[i];
        if (object.materialCount == 0 || !visible(object)) continue;
        ObjectSlot& slot = fillSlot(slotCount++, object, cameraInverse, vertexCursor, bitCursor);
        transformVertices(slot);
        prepareLights(slot);
        drawMaterials(slot);
        vertexCursor += static_cast<size_t>(object.vertexCount);
        bitCursor += static_cast<size_t>(object.vertexCount) / 32 + 1;
        ++stats.objectsDrawn;
    }

    stats.deferred = deferredCount;
    drawDeferred();
    if (captureTexture != nullptr) capture();
}
