// The renderer's lists, object placement, frame update and display set-up.
#include "render/renderer.h"

#include <cstring>

#include "app/app.h"
#include "app/keyboard.h"
#include "geometry/scene_object.h"
#include "glide/glide.h"
#include "render/view.h"
#include "textures/texture.h"

Brain::Brain(SceneObject* driven, Renderer* owner, const char* label)
    : name(copyOwnedText(label != nullptr ? label : "")), object(driven), renderer(owner) {}
Brain::~Brain() = default;
bool Brain::load(const ParseNode*) {
    return false;
}
void Brain::start() {}
void Brain::idle() {}
void Brain::update() {}

Light::Light(const char* label) {
    const char* text = label != nullptr ? label : "";
    size_t length = std::strlen(text);
    name = new char[length + 1];
    std::memcpy(name, text, length + 1);
}

Light::~Light() {
    delete[] name;
}

Renderer::Renderer(Demo* owner) : demo(owner) {
    drawStorage_.resize(kDrawListCapacity);
    drawList = drawStorage_.data();
}

namespace {
template <class T>
void destroyAll(NamedList<T>& list) {
    while (list.head != nullptr) {
        T* value = list.head->value;
        list.remove(list.head);
        delete value;
    }
}
}  // namespace

Renderer::~Renderer() {
    destroyAll(brains);
    destroyAll(textures);
    destroyAll(lights);
    destroyAll(objects);
    destroyAll(geometries);
}

SceneObject* Renderer::cloneGeometry(const char* geometryName) {
    SceneObject* prototype = geometries.find(geometryName);
    if (prototype == nullptr) return nullptr;
    SceneObject* copy = prototype->makeCopy();
    objects.insert(nullptr, copy);
    return copy;
}

SceneObject* Renderer::createEmptyObject() {
    SceneObject* object = new SceneObject("NULL");
    objects.insert(nullptr, object);
    return object;
}

void Renderer::updateFrame() {
    FrameContext& context = *frameContext;
    const double old = context.currentTime;
    const double now = secondsNow();
    context.previousTime = old;
    context.currentTime = now;
    context.frameDelta = now - old;
    if (context.keyboard != nullptr) takeSnapshot(*context.keyboard);

    for (NamedListEntry<Brain>* entry = brains.head; entry != nullptr; entry = entry->next) {
        entry->value->update();
    }

    drawCount = 0;
    walk(rootObject, nullptr);
}

void Renderer::walk(SceneObject* first, const SceneObject* parent) {
    for (SceneObject* o = first; o != nullptr; o = o->nextSibling) {
        if (static_cast<size_t>(drawCount) == drawStorage_.size()) {
            // A scene larger than any before: the list grows once and keeps its size.
            drawStorage_.resize(drawStorage_.size() * 2);
            drawList = drawStorage_.data();
        }
        drawList[drawCount++] = o;

        Transform& local = o->localTransform;
        local.rotation = Matrix3::fromQuaternion(o->rotation);
        local.scale = o->scale;
        const Vector3 turnedPivot = apply(local.rotation, o->pivot);
        local.translation = sub(o->position, scaled(turnedPivot, o->scale));
        o->worldTransform = parent != nullptr ? compose(parent->worldTransform, local) : local;

        if (o->firstChild != nullptr) walk(o->firstChild, o);
    }
}

void openDisplay(FrameContext& context, KeyboardSnapshot& snapshot, int& screenWidth,
                 int& screenHeight) {
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                 GR_ORIGIN_UPPER_LEFT, 2, 1);
    screenWidth = 640;
    screenHeight = 480;
    grCullMode(GR_CULL_DISABLE);
    grAlphaTestReferenceValue(128);
    grConstantColorValue(0x0000FF00);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grBufferClear(0, 0, 0xFFFF);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    grFogMode(GR_FOG_DISABLE);
    forgetFogTable();

    clearKeys(snapshot);
    context.keyboard = &snapshot;
    const double now = secondsNow();
    context.startTime = now;
    context.previousTime = now;
    context.currentTime = now;
    context.frameDelta = 0.0;
}

void closeDisplay(FrameContext& context) {
    context.keyboard = nullptr;
    grGlideShutdown();
}
