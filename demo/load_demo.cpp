// Loading a demo, assembling its scenes and playing them.
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/process.h"
#include "brains/brains.h"
#include "demo/demo.h"
#include "geometry/scene_object.h"
#include "glide/glide.h"
#include "math/quaternion.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"
#include "textures/texture.h"
#include "textures/texture_memory.h"

namespace {

constexpr int kMaxPendingSwaps = 2;
// Nesting deeper than this can only come from a group that contains itself.
constexpr int kMaxGroupDepth = 64;

void message(const std::string& text) {
    consoleWrite(text.c_str());
}

const char* labelOf(const ParseNode* node) {
    return node != nullptr && node->text != nullptr ? node->text : "";
}

int valueCount(const ParseNode* node) {
    int count = 0;
    for (const ParseValue* v = node != nullptr ? node->valuesHead : nullptr; v != nullptr;
         v = v->next) {
        ++count;
    }
    return count;
}

// Whether any material of the object is drawn with lighting (all but the decal variant).
bool hasLitMaterial(const SceneObject& object) {
    for (int m = 0; m < object.materialCount; ++m) {
        const uint16_t flags = object.materials[m]->renderFlags;
        if (flags != 9 && (flags & kRenderLitColor) == kRenderLitColor) return true;
    }
    return false;
}

}  // namespace

Demo::Demo() = default;

Demo::~Demo() {
    destroyViews();
    tree.reset();
    root = nullptr;
    delete renderer;
    delete textureMemory;
}

bool Demo::LoadDemo(const char* file) {
    trace("LoadDemo()\n");
    ParseResult parsed = parseDescription(file);
    if (!parsed.opened) return false;
    tree = std::move(parsed.tree);
    root = tree.get();
    InitDemo();
    return true;
}

void Demo::InitDemo() {
    trace("InitDemo()\n");
    grGlideInit();
    GrHwConfiguration hardware{};
    grSstQueryHardware(&hardware);
    grSstSelect(0);

    renderer = new Renderer(this);
    renderer->frameContext = &frameContext;
    textureMemory = new TextureMemory(12, 3);

    LoadTextures(root, renderer->textures);

    trace("LoadGeometries()\n");
    for (const ParseNode* entry = findFrom(root, "Geometry"); entry != nullptr;
         entry = findFrom(entry->next, "Geometry")) {
        auto object = std::make_unique<SceneObject>();
        if (!object->CreateObject(renderer->textures, entry)) continue;
        SceneObject* prototype = object.release();
        renderer->geometries.insert(prototype->name.get(), prototype);
    }

    clearLoadingFlag();
    openDisplay(frameContext, keyboard, screenWidth, screenHeight);

    const ParseNode* demo = findFrom(root, "Demo");
    const ParseNode* list = demo != nullptr ? child(demo, "Scene") : nullptr;
    if (list == nullptr) {
        message(demo == nullptr ? "The description has no \"Demo\" entry; nothing plays\n"
                                : std::string("Demo \"") + labelOf(demo) +
                                      "\" has no \"Scene\" list; nothing plays\n");
    }
    for (const ParseValue* label = list != nullptr ? list->valuesHead : nullptr;
         label != nullptr && !stopped_; label = label->next) {
        InitScene(label->text != nullptr ? label->text : "");
    }
    closeDisplay(frameContext);
}

void Demo::InitScene(const char* label) {
    trace("InitScene()\n");
    destroyViews();
    const ParseNode* scene = findFromLabelled(root, "Scene", label);
    const std::string where = std::string("Scene \"") + label + "\"";
    if (scene == nullptr) {
        message(std::string("Demo: no Scene \"") + label + "\"; it is skipped\n");
        return;
    }
    const ParseNode* first = scene->firstChild;
    createLights(first, label);

    const ParseNode* rootObject = child(scene, "RootObject");
    if (rootObject == nullptr || rootObject->text == nullptr) {
        message(where + ": no \"RootObject\"; the scene shows no objects\n");
        renderer->rootObject = nullptr;
    } else {
        renderer->rootObject = buildGroup(rootObject->text, nullptr, 0, label);
    }
    setupLights(first, label);
    loadCameras(first, label);

    const ParseNode* time = child(scene, "Time");
    float duration = 0.0f;
    if (time == nullptr) {
        message(where + ": no \"Time\"; it plays one frame\n");
    } else {
        duration = time->floatValue != 0.0f ? time->floatValue : static_cast<float>(time->intValue);
    }
    runScene(duration);
    destroyViews();
}

void Demo::createLights(const ParseNode* statement, const char*) {
    for (const ParseNode* s = findFrom(statement, "Light"); s != nullptr;
         s = findFrom(s->next, "Light")) {
        Light* light = new Light(labelOf(s));
        renderer->lights.insert(light->name, light);
    }
}

void Demo::setupLights(const ParseNode* statement, const char* scene) {
    for (const ParseNode* s = findFrom(statement, "Light"); s != nullptr;
         s = findFrom(s->next, "Light")) {
        Light* light = renderer->lights.find(labelOf(s));
        if (light == nullptr) continue;
        const std::string where =
            std::string("Scene \"") + scene + "\" light \"" + labelOf(s) + "\"";
        const ParseNode* object = child(s, "Object");
        light->object = object != nullptr && object->text != nullptr
                            ? findObjectByPath(renderer->rootObject, object->text)
                            : nullptr;
        if (light->object == nullptr) {
            message(where +
                    (object == nullptr ? ": no \"Object\""
                                       : ": no object \"" + std::string(labelOf(object)) + "\"") +
                    "; it does not shine\n");
        }
        if (const ParseNode* color = child(s, "Color")) {
            int32_t rgb[3] = {255, 255, 255};
            if (!getInts(color, rgb, 3)) {
                message(where + ": \"Color\" needs 3 values; it stays white\n");
            }
            constexpr float kByte = 0.003921569f;
            light->red = static_cast<float>(rgb[0]) * kByte;
            light->green = static_cast<float>(rgb[1]) * kByte;
            light->blue = static_cast<float>(rgb[2]) * kByte;
        }
        if (const ParseNode* intensity = child(s, "Intensity")) {
            float values[2] = {0.0f, 0.0f};
            if (getFloats(intensity, values, 2)) {
                light->quadraticIntensity = values[0] * values[0];
                light->linearIntensity = values[1];
            } else {
                message(where + ": \"Intensity\" needs 2 values; the default falloff stays\n");
            }
        }
    }
}

SceneObject* Demo::buildGroup(const char* label, SceneObject* parent, int depth,
                              const char* scene) {
    const std::string where = std::string("Scene \"") + scene + "\"";
    const ParseNode* group = findFromLabelled(root, "ObjectGroup", label);
    if (group == nullptr) {
        message(where + ": no ObjectGroup \"" + label + "\"; it adds no objects\n");
        return nullptr;
    }
    if (depth >= kMaxGroupDepth) {
        message(where + ": ObjectGroup \"" + label + "\" is nested " +
                std::to_string(kMaxGroupDepth) + " deep (does it contain itself?); not built\n");
        return nullptr;
    }
    SceneObject* firstBuilt = nullptr;
    SceneObject* previous = nullptr;
    for (const ParseNode* s = findFrom(group->firstChild, "Object"); s != nullptr;
         s = findFrom(s->next, "Object")) {
        const std::string objectWhere = where + " object \"" + labelOf(s) + "\"";
        SceneObject* object = nullptr;
        if (const ParseNode* geometry = child(s, "Geometry")) {
            object = renderer->cloneGeometry(labelOf(geometry));
            if (object == nullptr) {
                message(objectWhere + ": no Geometry \"" + labelOf(geometry) +
                        "\"; it is placed empty\n");
            }
        }
        if (object == nullptr) object = renderer->createEmptyObject();
        object->name = copyOwnedText(labelOf(s));

        if (const ParseNode* position = child(s, "Position"))
            getFloats(position, &object->position.x, 3);
        if (const ParseNode* pivot = child(s, "Pivot")) getFloats(pivot, &object->pivot.x, 3);
        if (const ParseNode* rotation = child(s, "Rotation")) {
            float angles[3] = {0.0f, 0.0f, 0.0f};
            getFloats(rotation, angles, 3);
            object->rotation = Quaternion::fromAngles(angles[0], angles[1], angles[2]);
        }
        if (const ParseNode* scale = child(s, "Scale")) {
            object->scale =
                scale->floatValue != 0.0f ? scale->floatValue : static_cast<float>(scale->intValue);
        }
        if (const ParseNode* lights = child(s, "Light")) {
            int count = valueCount(lights);
            if (count > kMaxObjectLights) {
                message(objectWhere + ": " + std::to_string(count) + " lights, at most " +
                        std::to_string(kMaxObjectLights) + " are used\n");
                count = kMaxObjectLights;
            }
            delete[] object->lights;
            object->lights = new Light*[static_cast<size_t>(count)];
            object->lightCount = 0;
            int i = 0;
            for (const ParseValue* v = lights->valuesHead; v != nullptr && i < count;
                 v = v->next, ++i) {
                Light* light = renderer->lights.find(v->text);
                if (light == nullptr) {
                    message(objectWhere + ": no Light \"" + (v->text != nullptr ? v->text : "") +
                            "\"; it is left out\n");
                    continue;
                }
                object->lights[object->lightCount++] = light;
            }
        }
        if (object->lightCount == 0 && hasLitMaterial(*object)) {
            message(objectWhere + ": no lights; its lit materials show their ambient colour\n");
        }
        if (const ParseNode* brain = child(s, "Brain")) {
            createBrain(object, renderer, findFromLabelled(root, "Brain", labelOf(brain)),
                        labelOf(brain));
        }
        object->parent = parent;
        object->prevSibling = previous;
        if (previous != nullptr) previous->nextSibling = object;
        if (firstBuilt == nullptr) firstBuilt = object;
        previous = object;
        if (const ParseNode* nested = child(s, "ObjectGroup")) {
            object->firstChild = buildGroup(labelOf(nested), object, depth + 1, scene);
        }
    }
    return firstBuilt;
}

void Demo::loadCameras(const ParseNode* statement, const char* scene) {
    const std::string where = std::string("Scene \"") + scene + "\"";
    for (const ParseNode* camera = findFrom(statement, "Camera"); camera != nullptr;
         camera = findFrom(camera->next, "Camera")) {
        if (viewCount == kMaxViews) {
            message(where + ": more than " + std::to_string(kMaxViews) +
                    " cameras; the rest are left out\n");
            break;
        }
        SceneObject* carrier = readCamera(camera, viewSettings, *renderer, where.c_str());
        if (carrier == nullptr) continue;
        View* view = new View(viewSettings);
        view->camera = carrier;
        view->prepare(renderer, textureMemory, where.c_str());
        views[viewCount++] = view;
    }
    renderer->sceneViews = views;
    renderer->sceneViewCount = viewCount;
}

void Demo::destroyViews() {
    if (renderer != nullptr) {
        renderer->sceneViews = nullptr;
        renderer->sceneViewCount = 0;
    }
    for (int i = 0; i < viewCount; ++i) {
        delete views[i];
        views[i] = nullptr;
    }
    viewCount = 0;
}

void Demo::runScene(float duration) {
    for (NamedListEntry<Brain>* entry = renderer->brains.head; entry != nullptr;
         entry = entry->next) {
        entry->value->start();
    }
    const double end = secondsNow() + static_cast<double>(duration);
    for (;;) {
        const bool done = isKeyDown(keyboard, kEscapeKey) || secondsNow() > end;
        renderer->updateFrame();
        for (int i = 0; i < viewCount; ++i) views[i]->renderView();
        grBufferSwap(1);
        ++framesDrawn;
        while (grBufferNumPending() > kMaxPendingSwaps) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (isKeyDown(keyboard, kScreenGrabKey)) {
            screenGrab("ScreenGrab.raw", screenWidth, screenHeight);
        }
        if (stopRequested && stopRequested()) {
            stopped_ = true;
            break;
        }
        if (done) break;
    }
}

bool screenGrab(const char* path, int width, int height) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::unique_ptr<uint16_t[]> frame(new uint16_t[pixels]);
    if (!grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 0, static_cast<FxU32>(width),
                         static_cast<FxU32>(height), static_cast<FxU32>(width) * 2, frame.get())) {
        return false;
    }
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[pixels * 3]);
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t p = frame[i];
        bytes[3 * i] = static_cast<uint8_t>((p >> 8) & 0xF8);
        bytes[3 * i + 1] = static_cast<uint8_t>((p >> 3) & 0xFC);
        bytes[3 * i + 2] = static_cast<uint8_t>((p << 3) & 0xFF);
    }
    return saveFile(path, bytes.get(), pixels * 3);
}

bool LoadDemo(const char* file) {
    Demo demo;
    return demo.LoadDemo(file);
}
