// A first demo driver: every scene clears the screen to its first view's "Color" and swaps
// frames until its "Time" has passed or Escape is held.
#include "demo/load_demo.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/keyboard.h"
#include "app/process.h"
#include "glide/glide.h"
#include "scene_lang/parser.h"

namespace {

constexpr int kEscape = 27;
constexpr int kMaxPendingSwaps = 2;

// The first view's clear colour of a scene as 0xRRGGBB; black when none is given.
GrColor_t sceneColor(const ParseNode* scene) {
    const ParseNode* camera = child(scene, "Camera");
    const ParseNode* view = camera != nullptr ? child(camera, "View") : nullptr;
    const ParseNode* color = view != nullptr ? child(view, "Color") : nullptr;
    int32_t rgb[3] = {0, 0, 0};
    if (color != nullptr) getInts(color, rgb, 3);
    auto channel = [](int32_t value) { return static_cast<GrColor_t>(value & 0xFF); };
    return channel(rgb[0]) << 16 | channel(rgb[1]) << 8 | channel(rgb[2]);
}

void playScene(GrColor_t color, double duration, KeyboardSnapshot& snapshot) {
    double end = secondsNow() + duration;
    // A fresh look at the keys, so a tap of Escape ends this scene only.
    takeSnapshot(snapshot);
    for (;;) {
        if (isKeyDown(snapshot, kEscape) || secondsNow() > end) break;
        takeSnapshot(snapshot);
        grBufferClear(color, 0, 0xFFFF);
        grBufferSwap(1);
        while (grBufferNumPending() > kMaxPendingSwaps) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
}

}  // namespace

void LoadDemo(const char* file) {
    trace("LoadDemo()\n");
    ParseResult parsed = parseDescription(file);
    if (!parsed.opened) return;
    const ParseNode* root = parsed.tree.get();

    grGlideInit();
    GrHwConfiguration hardware{};
    grSstQueryHardware(&hardware);
    grSstSelect(0);
    clearLoadingFlag();
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                 GR_ORIGIN_UPPER_LEFT, 2, 1);
    KeyboardSnapshot snapshot;
    clearKeys(snapshot);

    const ParseNode* demo = findFrom(root, "Demo");
    const ParseNode* list = demo != nullptr ? child(demo, "Scene") : nullptr;
    if (list == nullptr)
        consoleWrite((std::string(file) + ": no \"Demo\" list of scenes\n").c_str());
    for (const ParseValue* label = list != nullptr ? list->valuesHead : nullptr; label != nullptr;
         label = label->next) {
        const char* name = label->text != nullptr ? label->text : "";
        const ParseNode* scene = findFromLabelled(root, "Scene", name);
        if (scene == nullptr) {
            consoleWrite((std::string(file) + ": no Scene \"" + name + "\"\n").c_str());
            continue;
        }
        const ParseNode* time = child(scene, "Time");
        playScene(sceneColor(scene), time != nullptr ? time->floatValue : 0.0, snapshot);
    }
    grGlideShutdown();
}
