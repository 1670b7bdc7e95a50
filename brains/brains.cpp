// The brain factory: the table of brain classes and the registration of new brains.
#include "brains/brains.h"

#include <cassert>
#include <cstring>
#include <string>

#include "app/console.h"
#include "brains/brain_messages_internal.h"
#include "brains/fountain_and_television.h"
#include "brains/frame_rate_display.h"
#include "brains/motion_brains.h"
#include "brains/scrollers.h"
#include "brains/terrain.h"
#include "brains/user_movement.h"
#include "brains/water_movement.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parse_tree.h"

namespace {

using MakeBrain = Brain* (*)(SceneObject* object, Renderer* renderer, const char* label);

template <class T>
Brain* make(SceneObject* object, Renderer* renderer, const char* label) {
    return new T(object, renderer, label);
}

struct BrainClass {
    const char* name;  // the "Class" text, compared exactly
    MakeBrain make;
};

// Searched in this order.
const BrainClass kBrainClasses[] = {
    {"SimpleMovement", make<SimpleMovement>},
    {"UserMovement", make<UserMovement>},
    {"SineScroller", make<SineScroller>},
    {"SplineScroller", make<SplineScroller>},
    {"Mountain", make<Mountain>},
    {"DisplayInfo", make<DisplayInfo>},
    {"MoveFish", make<MoveFish>},
    {"ShadeBobs", make<ShadeBobs>},
    {"Television", make<Television>},
    {"WaterMovement", make<WaterMovement>},
    {"LWMotion", make<LWMotion>},
};

const char* orEmpty(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

void createBrain(SceneObject* object, Renderer* renderer, const ParseNode* brainEntry,
                 const char* brainLabel) {
    assert(renderer != nullptr);
    if (brainEntry == nullptr) {
        const std::string text =
            std::string("Object \"") + orEmpty(object != nullptr ? object->name.get() : nullptr) +
            "\": no Brain entry \"" + orEmpty(brainLabel) + "\"; it gets no brain\n";
        consoleWrite(text.c_str());
        return;
    }
    const char* label = orEmpty(brainEntry->text);
    const ParseNode* classNode = child(brainEntry, "Class");
    if (classNode == nullptr || classNode->text == nullptr) {
        const std::string text =
            std::string("Brain \"") + label + "\": no \"Class\"; no brain made\n";
        consoleWrite(text.c_str());
        return;
    }

    const char* className = classNode->text;
    MakeBrain makeBrain = nullptr;
    for (const BrainClass& entry : kBrainClasses) {
        if (std::strcmp(entry.name, className) == 0) {
            makeBrain = entry.make;
            break;
        }
    }
    if (makeBrain == nullptr) fatalError("Unknown Brain %s Class: %s\n", label, className);

    Brain* brain = makeBrain(object, renderer, label);
    brain->load(brainEntry);  // what the brain made of its entry does not decide its place
    renderer->brains.insert(brain->name.get(), brain);
}

void reportBrain(const Brain& brain, const std::string& problem, const char* consequence) {
    std::string text = "Brain \"";
    text += brain.name.get();
    text += "\": ";
    text += problem;
    text += "; ";
    text += consequence;
    text += "\n";
    consoleWrite(text.c_str());
}
