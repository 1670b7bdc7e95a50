// The text scrollers: reading the "Scroller" block, the letter pool, the emission of the
// text one character at a time, and the two ways of moving the letters.
#include "brains/scrollers.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "app/console.h"
#include "brains/brain_messages_internal.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parse_tree.h"

namespace {

// The same from a per-frame path: formatted into a fixed buffer, without allocating.
void reportBrainNow(const Brain& brain, const char* problem) {
    char text[256];
    std::snprintf(text, sizeof text, "Brain \"%s\": %s\n", brain.name.get(), problem);
    consoleWrite(text);
}

std::string quoted(const char* text) {
    return std::string("\"") + (text != nullptr ? text : "") + "\"";
}

// Fields the two scrollers share, read from the "Scroller" block; false (with a message)
// when there is no such block. "Lenght" is reported missing only where it is used.
template <class Scroller>
bool readScroller(Scroller& s, const ParseNode* brainEntry, bool needsLength) {
    const ParseNode* block = child(brainEntry, "Scroller");
    if (block == nullptr) {
        reportBrain(s, "no \"Scroller\"", "it shows no text");
        return false;
    }
    if (const ParseNode* node = child(block, "Lenght")) {
        s.length = node->floatValue;
    } else if (needsLength) {
        reportBrain(s, "\"Scroller\" has no \"Lenght\"", "taken as 0");
    }
    if (const ParseNode* node = child(block, "Speed")) {
        s.speed = node->floatValue;
    } else {
        reportBrain(s, "\"Scroller\" has no \"Speed\"", "taken as 0, the text stands still");
    }
    const ParseNode* textNode = child(block, "Text");
    if (textNode == nullptr || textNode->text == nullptr) {
        reportBrain(s, "\"Scroller\" has no \"Text\"", "it scrolls spaces");
    }
    s.text = copyOwnedText(textNode != nullptr && textNode->text != nullptr ? textNode->text : "");

    for (const ParseNode* c = findFrom(block->firstChild, "Char"); c != nullptr;
         c = findFrom(c->next, "Char")) {
        if (c->text == nullptr || c->text[0] == '\0') {
            reportBrain(s, "a \"Char\" names no character", "ignored");
            continue;
        }
        ScrollerChar entry;
        if (const ParseNode* width = child(c, "Width")) {
            entry.width = width->floatValue;
        } else {
            reportBrain(s, "\"Char\" " + quoted(c->text) + " has no \"Width\"", "taken as 0");
        }
        if (const ParseNode* geometry = child(c, "Geometry")) {
            entry.geometry =
                geometry->text != nullptr ? s.renderer->geometries.find(geometry->text) : nullptr;
            if (entry.geometry == nullptr) {
                reportBrain(
                    s, "\"Char\" " + quoted(c->text) + ": no geometry " + quoted(geometry->text),
                    "the character shows nothing");
            }
        }
        s.chars[static_cast<unsigned char>(c->text[0])] = entry;
    }
    return true;
}

// The emission step's choice of character: the next byte of the text, a space at the end
// of the text (so two passes are always separated), and the text position moved on. The
// caller places the letter; this sets `spacing` and clears `distance`.
template <class Scroller>
const ScrollerChar& nextChar(Scroller& s) {
    unsigned char c = static_cast<unsigned char>(s.text[s.textPos]);
    s.textPos += 1;
    if (c == 0) {
        s.textPos = 0;
        c = ' ';
    }
    const ScrollerChar& entry = s.chars[c];
    s.spacing = entry.width;
    s.distance = 0.0f;
    return entry;
}

// Children the description gave the scroller object are not letters: they leave the
// chain (they stay listed with the renderer, which owns them).
void dropForeignChildren(const Brain& brain, SceneObject& object, const LetterPool& pool) {
    if (object.firstChild == nullptr || pool.owns(object.firstChild)) return;
    reportBrainNow(brain, "its object has children of its own; the letters replace them");
    object.firstChild = nullptr;
}

// A letter that finds no room is not shown; the console hears of it once per scroller.
void reportFull(const Brain& brain, LetterPool& pool) {
    if (pool.fullReported) return;
    pool.fullReported = true;
    reportBrainNow(brain, "1000 letters are live; letters beyond them are not shown");
}

}  // namespace

// ---- The letter pool ---------------------------------------------------------------------

LetterPool::~LetterPool() {
    if (letters_ == nullptr) return;
    // Nothing a letter points at is its own: clear it so the objects free nothing of it.
    for (int i = 0; i < kMaxScrollerLetters; ++i) {
        SceneObject& letter = letters_[i];
        letter.lights = nullptr;
        letter.lightCount = 0;
        letter.master = nullptr;
        letter.materials = nullptr;
        letter.materialCount = 0;
        letter.vertices = nullptr;
        letter.vertexCount = 0;
    }
}

void LetterPool::create() {
    if (letters_ != nullptr) return;
    letters_ = std::make_unique<SceneObject[]>(kMaxScrollerLetters);
    free_ = std::make_unique<SceneObject*[]>(kMaxScrollerLetters);
    // Taken in index order.
    for (int i = 0; i < kMaxScrollerLetters; ++i) {
        free_[i] = &letters_[kMaxScrollerLetters - 1 - i];
    }
    freeCount_ = kMaxScrollerLetters;
}

SceneObject* LetterPool::take(const SceneObject& geometry, SceneObject* parent) {
    if (freeCount_ == 0) return nullptr;
    SceneObject* letter = free_[--freeCount_];
    // A placed copy: the mesh stays the prototype's.
    letter->master =
        geometry.master != nullptr ? geometry.master : const_cast<SceneObject*>(&geometry);
    letter->boundingRadius = geometry.boundingRadius;
    letter->scale = geometry.scale;
    letter->materialCount = geometry.materialCount;
    letter->materials = geometry.materials;
    letter->vertexCount = geometry.vertexCount;
    letter->vertices = geometry.vertices;
    letter->rotation = Quaternion::identity();
    letter->position = Vector3{};
    letter->pivot = Vector3{};
    letter->localTransform.reset();
    letter->worldTransform.reset();
    letter->parent = parent;
    letter->lightCount = parent->lightCount;
    letter->lights = parent->lights;
    letter->firstChild = nullptr;
    letter->prevSibling = nullptr;
    letter->nextSibling = nullptr;
    return letter;
}

void LetterPool::release(SceneObject* letter) {
    if (!owns(letter)) return;
    letter->lights = nullptr;
    letter->lightCount = 0;
    letter->master = nullptr;
    letter->materials = nullptr;
    letter->materialCount = 0;
    letter->vertices = nullptr;
    letter->vertexCount = 0;
    letter->parent = nullptr;
    letter->prevSibling = nullptr;
    letter->nextSibling = nullptr;
    free_[freeCount_++] = letter;
}

bool LetterPool::owns(const SceneObject* object) const {
    if (letters_ == nullptr || object == nullptr) return false;
    const std::less<const SceneObject*> before;
    const SceneObject* first = letters_.get();
    return !before(object, first) && before(object, first + kMaxScrollerLetters);
}

// ---- SineScroller ------------------------------------------------------------------------

SineScroller::~SineScroller() {
    if (object == nullptr || !letters.owns(object->firstChild)) return;
    for (SceneObject* letter = object->firstChild; letter != nullptr;) {
        SceneObject* next = letter->nextSibling;
        letters.release(letter);
        letter = next;
    }
    object->firstChild = nullptr;
}

bool SineScroller::load(const ParseNode* brainEntry) {
    if (!readScroller(*this, brainEntry, /*needsLength=*/true)) return false;
    letters.create();
    return true;
}

void SineScroller::update() {
    if (!letters.created()) return;
    const float t = static_cast<float>(renderer->frameContext->currentTime);
    const float dt = static_cast<float>(renderer->frameContext->frameDelta);
    dropForeignChildren(*this, *object, letters);

    if (distance > spacing) {
        const ScrollerChar& entry = nextChar(*this);
        if (entry.geometry != nullptr) {
            SceneObject* letter = letters.take(*entry.geometry, object);
            if (letter != nullptr) {
                // Half its width beyond the right end of the line.
                letter->position = {(entry.width + length) * 0.5f, 0.0f, 0.0f};
                letter->nextSibling = object->firstChild;
                if (object->firstChild != nullptr) object->firstChild->prevSibling = letter;
                object->firstChild = letter;
            } else {
                reportFull(*this, letters);
            }
        }
    }
    distance = dt * speed + distance;

    // Newest first: the letters further along the chain are older and further left.
    SceneObject* previous = nullptr;
    for (SceneObject* letter = object->firstChild; letter != nullptr;
         letter = letter->nextSibling) {
        const float x = letter->position.x;
        letter->position.x = x - dt * speed;
        letter->position.y = 0.6f * std::sin(1.1f * x + 4.0f * t) +
                             0.4f * std::sin(0.6f * x + 3.0f * t + 0.5f) +
                             0.3f * std::sin(0.9f * x + 2.0f * t + 1.0f);
        if (letter->position.x < -0.5f * length) {
            if (previous != nullptr) {
                previous->nextSibling = nullptr;
            } else {
                object->firstChild = nullptr;
            }
            while (letter != nullptr) {
                SceneObject* next = letter->nextSibling;
                letters.release(letter);
                letter = next;
            }
            break;
        }
        previous = letter;
    }
}

// ---- SplineScroller ----------------------------------------------------------------------

SplineScroller::~SplineScroller() {
    for (int i = 0; i < slotsUsed; ++i) {
        if (slots[i].instance != nullptr) letters.release(slots[i].instance);
        slots[i].instance = nullptr;
    }
    if (object != nullptr && letters.owns(object->firstChild)) object->firstChild = nullptr;
}

bool SplineScroller::load(const ParseNode* brainEntry) {
    if (!readScroller(*this, brainEntry, /*needsLength=*/false)) return false;
    const ParseNode* block = child(brainEntry, "Motion");
    if (block == nullptr) {
        reportBrain(*this, "no \"Motion\"", "it shows no text");
        return false;
    }
    motion = readMotion(block, /*readQuaternion=*/false);
    motion->prepare();
    letters.create();
    return true;
}

void SplineScroller::update() {
    if (motion == nullptr || !letters.created()) return;
    const float dt = static_cast<float>(renderer->frameContext->frameDelta);

    if (distance > spacing) {
        const ScrollerChar& entry = nextChar(*this);
        if (entry.geometry != nullptr) {
            int index = 0;
            while (index < slotsUsed && slots[index].instance != nullptr) ++index;
            SceneObject* letter =
                index < kMaxScrollerLetters ? letters.take(*entry.geometry, object) : nullptr;
            if (letter != nullptr) {
                slots[index] = {letter, 0.0f};
                if (index >= slotsUsed) slotsUsed = index + 1;
            } else {
                reportFull(*this, letters);
            }
        }
    }
    distance = speed * dt + distance;

    dropForeignChildren(*this, *object, letters);
    object->firstChild = nullptr;
    for (int i = 0; i < slotsUsed; ++i) {
        Slot& slot = slots[i];
        SceneObject* letter = slot.instance;
        if (letter == nullptr) continue;
        if (slot.age > motion->endTime) {
            letters.release(letter);
            slot.instance = nullptr;
            continue;
        }
        // One motion poses every letter: past the last key a "Stop" path would leave the
        // pose of the letter evaluated before, so a letter there holds the path's end.
        double at = slot.age;
        const int keyframes = motion->keyframeCount();
        if (motion->endBehavior == kEndStop && keyframes > 0) {
            at = std::min(at,
                          static_cast<double>(motion->keys[static_cast<size_t>(keyframes)].time));
        }
        motion->evaluate(at);
        letter->rotation = motion->currentRotation;
        letter->position = motion->currentPosition;
        letter->prevSibling = nullptr;
        letter->nextSibling = object->firstChild;
        if (object->firstChild != nullptr) object->firstChild->prevSibling = letter;
        object->firstChild = letter;
        slot.age += dt;
    }
}
