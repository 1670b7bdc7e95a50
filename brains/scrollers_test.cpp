// Tests of the text scrollers, driven frame by frame with a hand-set frame clock.
#include "brains/scrollers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "brains/brains.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"

namespace {

// A renderer with the letter geometries "A" and "B", a lit scroller object and one
// scroller brain; frames are stepped by hand so time and delta are exact.
struct Stage {
    explicit Stage(const std::string& brainText) {
        renderer.frameContext = &context;
        for (const char* name : {"A", "B"}) {
            auto* prototype = new SceneObject(name);
            prototype->scale = 2.0f;
            prototype->materials = new Material* [1] { new Material() };
            prototype->materialCount = 1;
            renderer.geometries.insert(prototype->name.get(), prototype);
        }
        object = renderer.createEmptyObject();
        lamp = new Light("Lamp");
        renderer.lights.insert(lamp->name, lamp);
        object->lights = new Light* [1] { lamp };
        object->lightCount = 1;
        renderer.rootObject = object;
        const std::string text = "Brain \"Text\" { " + brainText + " }";
        ParseResult parsed = parseText(text.data(), text.size());
        EXPECT_EQ(parsed.messageCount, 0) << text;
        testing::internal::CaptureStderr();
        createBrain(object, &renderer, parsed.tree.get());
        console = testing::internal::GetCapturedStderr();
        brain = renderer.brains.head->value;
    }
    void frame(double delta, double time = -1.0) {
        context.frameDelta = delta;
        context.currentTime = time >= 0.0 ? time : context.currentTime + delta;
        brain->update();
    }
    // The geometry names of the letters in the object's child chain, from the first.
    std::string chain() const {
        std::string names;
        for (const SceneObject* o = object->firstChild; o != nullptr; o = o->nextSibling) {
            names += o->master->name.get();
        }
        return names;
    }

    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
    Light* lamp = nullptr;
    Brain* brain = nullptr;
    std::string console;
};

const char kAB[] =
    "Char \"A\" { Geometry \"A\" Width 1. } Char \"B\" { Geometry \"B\" Width 2. } "
    "Char \" \" { Width 0.5 }";

std::string sine(const std::string& scroller) {
    return "Class \"SineScroller\" Scroller \"s\" { " + scroller + " }";
}

TEST(Scrollers, IncompleteEntriesAreReportedAndGiveDefinedDefaults) {
    const struct {
        std::string brain;
        const char* message;  // expected console output
        bool active;
    } cases[] = {
        {"Class \"SineScroller\"", "Brain \"Text\": no \"Scroller\"; it shows no text\n", false},
        {sine("Speed 1. Text \"A\""),
         "Brain \"Text\": \"Scroller\" has no \"Lenght\"; taken as 0\n", true},
        {sine("Lenght 1. Text \"A\""),
         "Brain \"Text\": \"Scroller\" has no \"Speed\"; taken as 0, the text stands still\n",
         true},
        {sine("Lenght 1. Speed 1."),
         "Brain \"Text\": \"Scroller\" has no \"Text\"; it scrolls spaces\n", true},
        {sine("Lenght 1. Speed 1. Text \"A\" Char \"A\" { Geometry \"A\" }"),
         "Brain \"Text\": \"Char\" \"A\" has no \"Width\"; taken as 0\n", true},
        {sine("Lenght 1. Speed 1. Text \"A\" Char \"A\" { Geometry \"Q\" Width 1. }"),
         "Brain \"Text\": \"Char\" \"A\": no geometry \"Q\"; the character shows nothing\n", true},
        {"Class \"SplineScroller\" Scroller \"s\" { Speed 1. Text \"A\" }",
         "Brain \"Text\": no \"Motion\"; it shows no text\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.brain);
        Stage stage(c.brain);
        EXPECT_EQ(stage.console, c.message);
        // An inactive scroller never emits; an active one runs on its defaults.
        for (int i = 0; i < 3; ++i) stage.frame(0.5);
        if (!c.active) {
            EXPECT_EQ(stage.object->firstChild, nullptr);
        }
    }
}

TEST(Scrollers, TextIsEmittedOneCharacterPerWidthThenASpace) {
    Stage stage(sine(std::string("Lenght 1000. Speed 1. Text \"AB\" ") + kAB +
                     " Char \"A\" { Geometry \"A\" Width 0.25 }"));  // the later "A" wins
    const auto* scroller = static_cast<SineScroller*>(stage.brain);
    EXPECT_EQ(scroller->chars['A'].width, 0.25f);
    EXPECT_EQ(scroller->chars['B'].geometry, stage.renderer.geometries.find("B"));

    // 0.25 s frames at speed 1: A (width 0.25) in frame 2; B needs distance > 0.25, so
    // frame 4; after B's width 2 the space (no geometry, width 0.5) in frame 13, then A in
    // frame 16 and B in frame 18.
    std::vector<std::string> seen;
    for (int i = 0; i < 18; ++i) {
        stage.frame(0.25);
        seen.push_back(stage.chain());
        if (i == 12) {
            EXPECT_EQ(scroller->textPos, 0);  // the space ends the pass
        }
    }
    const std::vector<std::string> expected = {"",   "A",  "A",  "BA",  "BA",  "BA",
                                               "BA", "BA", "BA", "BA",  "BA",  "BA",
                                               "BA", "BA", "BA", "ABA", "ABA", "BABA"};
    EXPECT_EQ(seen, expected);
}

TEST(Scrollers, FastTextStillComesOutOneLetterPerFrame) {
    Stage stage(sine(std::string("Lenght 1000000. Speed 100000. Text \"AB\" ") + kAB));
    for (int i = 0; i < 7; ++i) stage.frame(0.5);
    EXPECT_EQ(stage.chain(), "BABA");  // A, B, space, A, B, space from frame 2 on
}

TEST(Scrollers, SineLettersBobAndLeaveAtTheLeftEnd) {
    // Length 0 and width 0: a letter starts at x = 0.
    Stage stage(sine("Lenght 0. Speed 1. Text \"A\" Char \"A\" { Geometry \"A\" Width 0. }"));
    stage.frame(0.5, 0.0);
    stage.frame(0.0, 0.0);
    const SceneObject* letter = stage.object->firstChild;
    ASSERT_NE(letter, nullptr);
    EXPECT_NEAR(letter->position.y, 0.4 * std::sin(0.5) + 0.3 * std::sin(1.0), 1e-6);
    EXPECT_EQ(letter->position.x, 0.0f);
    // Shared mesh and lights, the prototype's scale, hung below the scroller.
    const SceneObject* prototype = stage.renderer.geometries.find("A");
    EXPECT_EQ(letter->master, prototype);
    EXPECT_EQ(letter->materials, prototype->materials);
    EXPECT_EQ(letter->lights, stage.object->lights);
    EXPECT_EQ(letter->lightCount, 1);
    EXPECT_EQ(letter->parent, stage.object);
    EXPECT_EQ(letter->scale, 2.0f);

    // The next frame moves it left of -length/2: it goes, and its letter returns to the pool.
    stage.frame(0.5);
    EXPECT_EQ(stage.object->firstChild, nullptr);
    EXPECT_EQ(static_cast<SineScroller*>(stage.brain)->letters.liveCount(), 0);
}

TEST(Scrollers, SplineLettersFollowThePathByAge) {
    const std::string path =
        "Motion \"m\" { EndTime 1. Keyframe \"a\" { Position [0., 0., 0.] Time 0. } "
        "Keyframe \"b\" { Position [10., 0., 0.] Rotation [0., 1., 0.] Time 1. } }";
    Stage stage("Class \"SplineScroller\" Scroller \"s\" { Speed 1. Text \"AB\" " +
                std::string(kAB) + " Char \"A\" { Geometry \"A\" Width 0.25 } } " + path);
    KeyframeMotion reference(2);
    reference.keys[2].keyPosition = {10.0f, 0.0f, 0.0f};
    reference.keys[2].rotation = Quaternion::fromAngles(0.0f, 1.0f, 0.0f);
    reference.keys[2].time = 1.0f;
    reference.prepare();

    stage.frame(0.25);
    EXPECT_EQ(stage.object->firstChild, nullptr);
    stage.frame(0.25);  // A at age 0: the path's start
    ASSERT_EQ(stage.chain(), "A");
    EXPECT_EQ(stage.object->firstChild->position.x, 0.0f);
    stage.frame(0.25);
    stage.frame(0.25);  // B at the start, A at age 0.5
    ASSERT_EQ(stage.chain(), "BA");
    const SceneObject* a = stage.object->firstChild->nextSibling;
    reference.evaluate(0.5);
    EXPECT_FLOAT_EQ(a->position.x, reference.currentPosition.x);
    EXPECT_GT(a->position.x, 0.0f);
    EXPECT_FLOAT_EQ(a->rotation.y, reference.currentRotation.y);
    EXPECT_EQ(a->scale, 2.0f);
    EXPECT_EQ(stage.object->firstChild->position.x, 0.0f);
    stage.frame(0.25);
    stage.frame(0.25);  // A at age 1 is still shown (not past the end time)
    EXPECT_EQ(stage.chain(), "BA");
    stage.frame(0.25);
    EXPECT_EQ(stage.chain(), "B");
    EXPECT_EQ(static_cast<SplineScroller*>(stage.brain)->slots[0].instance, nullptr);
}

TEST(Scrollers, SplineLettersPastTheLastKeyHoldTheEndOfThePath) {
    // The path ends at 1 s and letters live to 2 s: each letter past 1 s sits at the end,
    // not where the letter posed before it was.
    Stage stage("Class \"SplineScroller\" Scroller \"s\" { Speed 1. Text \"AB\" " +
                std::string(kAB) +
                " } Motion \"m\" { EndTime 2. Keyframe \"a\" { Position [0., 0., 0.] Time "
                "0. } Keyframe \"b\" { Position [10., 0., 0.] Time 1. } }");
    for (int i = 0; i < 9; ++i) stage.frame(0.25);
    ASSERT_EQ(stage.chain(), "BA");  // A is past the last key, B still on the path
    const SceneObject* b = stage.object->firstChild;
    const SceneObject* a = b->nextSibling;
    EXPECT_EQ(a->position.x, 10.0f);
    EXPECT_LT(b->position.x, 10.0f);
}

TEST(Scrollers, SplineWithoutEndTimeShowsALetterForOneFrame) {
    Stage stage(std::string("Class \"SplineScroller\" Scroller \"s\" { Speed 100. Text \"A\" ") +
                kAB + " } Motion \"m\" { Keyframe \"a\" { Time 0. } }");
    stage.frame(0.5);
    stage.frame(0.5);
    EXPECT_EQ(stage.chain(), "A");
    stage.frame(0.5);  // a space: nothing new, and A is past its end
    EXPECT_EQ(stage.chain(), "");
}

TEST(Scrollers, ObjectChildrenFromTheFileAreReplacedNotDestroyed) {
    for (const char* cls : {"SineScroller", "SplineScroller"}) {
        SCOPED_TRACE(cls);
        Stage stage(std::string("Class \"") + cls + "\" Scroller \"s\" { Lenght 10. Speed 1. " +
                    "Text \"A\" " + kAB + " } Motion \"m\" { EndTime 5. }");
        SceneObject* own = stage.renderer.createEmptyObject();
        own->parent = stage.object;
        stage.object->firstChild = own;
        testing::internal::CaptureStderr();
        stage.frame(0.5);
        stage.frame(0.5);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Brain \"Text\": its object has children of its own; the letters replace "
                  "them\n");
        EXPECT_EQ(stage.chain(), "A");  // the renderer still owns (and frees) `own`
    }
}

TEST(Scrollers, AtMostAThousandLettersLiveAndTheRestAreDropped) {
    const std::string chars = " Char \" \" { Geometry \"A\" Width 0. } ";
    for (const char* cls : {"SineScroller", "SplineScroller"}) {
        SCOPED_TRACE(cls);
        Stage stage(std::string("Class \"") + cls +
                    "\" Scroller \"s\" { Lenght 100000. Speed 1. Text \" \"" + chars +
                    "} Motion \"m\" { EndTime 100000. }");
        testing::internal::CaptureStderr();
        for (int i = 0; i < 1100; ++i) stage.frame(0.01);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Brain \"Text\": 1000 letters are live; letters beyond them are not shown\n");
        int count = 0;
        for (const SceneObject* o = stage.object->firstChild; o != nullptr; o = o->nextSibling) {
            ++count;
        }
        EXPECT_EQ(count, kMaxScrollerLetters);
        if (auto* spline = dynamic_cast<SplineScroller*>(stage.brain)) {
            EXPECT_EQ(spline->slotsUsed, kMaxScrollerLetters);
        }
    }
}

}  // namespace
