// The keyword tables of the scene language, as data: every block's keywords in order, with
// their value kinds and the tables of their own blocks.
#include "scene_lang/keyword_tables.h"

#include <cstring>

namespace {

constexpr ValueKind kInt = ValueKind::Integer;
constexpr ValueKind kFloat = ValueKind::Float;
constexpr ValueKind kText = ValueKind::Text;
constexpr ValueKind kIntList = ValueKind::IntegerList;
constexpr ValueKind kFloatList = ValueKind::FloatList;
constexpr ValueKind kTextList = ValueKind::TextList;
constexpr KeywordEntry kEnd = {nullptr, kInt, nullptr};

const KeywordEntry kTextureKeywords[] = {
    {"FileName", kText, nullptr},
    {"Flags", kTextList, nullptr},
    {"Width", kInt, nullptr},
    {"Height", kInt, nullptr},
    {"Depth", kInt, nullptr},
    {"TransColor", kInt, nullptr},
    kEnd,
};

const KeywordEntry kMaterialKeywords[] = {
    {"Color", kIntList, nullptr},        {"Transparent", kFloat, nullptr},
    {"Ambient", kFloat, nullptr},        {"Diffuse", kFloat, nullptr},
    {"Specular", kFloat, nullptr},       {"Glossiness", kFloat, nullptr},
    {"SmoothingAngle", kFloat, nullptr}, {"TextureMap", kText, nullptr},
    {"ReflectionMap", kText, nullptr},   kEnd,
};

const KeywordEntry kPolygonKeywords[] = {
    {"ID", kText, nullptr},       {"Material", kText, nullptr},
    {"Index", kIntList, nullptr}, {"Tu", kFloatList, nullptr},
    {"Tv", kFloatList, nullptr},  {"A", kIntList, nullptr},
    {"R", kIntList, nullptr},     {"G", kIntList, nullptr},
    {"B", kIntList, nullptr},     kEnd,
};

const KeywordEntry kGeometryKeywords[] = {
    {"LWObject", kText, nullptr},           {"Flags", kTextList, nullptr},
    {"Material", kText, kMaterialKeywords}, {"Polygon", kInt, kPolygonKeywords},
    {"Vectors", kFloatList, nullptr},       kEnd,
};

const KeywordEntry kObjectKeywords[] = {
    {"Flags", kTextList, nullptr},     {"Geometry", kText, nullptr},
    {"Light", kTextList, nullptr},     {"Brain", kText, nullptr},
    {"Position", kFloatList, nullptr}, {"Pivot", kFloatList, nullptr},
    {"Rotation", kFloatList, nullptr}, {"Scale", kFloat, nullptr},
    {"ObjectGroup", kText, nullptr},   kEnd,
};

const KeywordEntry kObjectGroupKeywords[] = {
    {"Object", kText, kObjectKeywords},
    kEnd,
};

const KeywordEntry kKeyframeKeywords[] = {
    {"Position", kFloatList, nullptr},   {"Rotation", kFloatList, nullptr},
    {"Quaternion", kFloatList, nullptr}, {"Scale", kFloatList, nullptr},
    {"Tension", kFloat, nullptr},        {"Continuity", kFloat, nullptr},
    {"Bias", kFloat, nullptr},           {"Time", kFloat, nullptr},
    {"Curved", kInt, nullptr},           kEnd,
};

const KeywordEntry kMotionKeywords[] = {
    {"StartTime", kFloat, nullptr},
    {"EndTime", kFloat, nullptr},
    {"EndBehavior", kText, nullptr},
    {"Keyframe", kText, kKeyframeKeywords},
    kEnd,
};

const KeywordEntry kPhysicsKeywords[] = {
    {"RotateVelocity", kFloatList, nullptr},
    {"RotateAcceleration", kFloatList, nullptr},
    {"RotateFriction", kFloatList, nullptr},
    {"MoveVelocity", kFloatList, nullptr},
    {"MoveAcceleration", kFloatList, nullptr},
    {"MoveFriction", kFloatList, nullptr},
    kEnd,
};

const KeywordEntry kInputKeywords[] = {
    {"Key", kIntList, nullptr},
    kEnd,
};

const KeywordEntry kCharKeywords[] = {
    {"Geometry", kText, nullptr},
    {"Width", kFloat, nullptr},
    kEnd,
};

const KeywordEntry kScrollerKeywords[] = {
    {"Lenght", kFloat, nullptr},
    {"Speed", kFloat, nullptr},
    {"Text", kText, nullptr},
    {"Char", kText, kCharKeywords},
    kEnd,
};

const KeywordEntry kChessKeywords[] = {
    {"ChessPieceDistance", kFloat, nullptr},
    {"ChessPieceSpeed", kFloat, nullptr},
    {"ChessPieceLightSource", kText, nullptr},
    {"ChessLightRotation", kFloatList, nullptr},
    {"ChessDarkRotation", kFloatList, nullptr},
    {"ChessPieces", kTextList, nullptr},
    {"SelectedChessPieces", kTextList, nullptr},
    {"BoardPolys", kIntList, nullptr},
    kEnd,
};

const KeywordEntry kBrainKeywords[] = {
    {"Class", kText, nullptr},
    {"Motion", kText, kMotionKeywords},
    {"Physics", kText, kPhysicsKeywords},
    {"Input", kText, kInputKeywords},
    {"Scroller", kText, kScrollerKeywords},
    {"Chess", kText, kChessKeywords},
    kEnd,
};

const KeywordEntry kScreenKeywords[] = {
    {"Width", kInt, nullptr},
    {"Height", kInt, nullptr},
    {"Depth", kInt, nullptr},
    kEnd,
};

const KeywordEntry kFogKeywords[] = {
    {"Color", kIntList, nullptr},
    {"Mode", kText, nullptr},
    {"Density", kFloat, nullptr},
    kEnd,
};

const KeywordEntry kBackgroundKeywords[] = {
    {"MapN", kText, nullptr},
    {"MapW", kText, nullptr},
    {"MapS", kText, nullptr},
    {"MapE", kText, nullptr},
    {"MapU", kText, nullptr},
    {"MapD", kText, nullptr},
    kEnd,
};

const KeywordEntry kViewKeywords[] = {
    {"Window", kIntList, nullptr},
    {"ZClip", kFloatList, nullptr},
    {"FOV", kFloatList, nullptr},
    {"Color", kIntList, nullptr},
    {"Fog", kText, kFogKeywords},
    {"Background", kText, kBackgroundKeywords},
    kEnd,
};

const KeywordEntry kCameraKeywords[] = {
    {"RenderThreads", kInt, nullptr},
    {"View", kText, kViewKeywords},
    {"Object", kText, nullptr},
    kEnd,
};

const KeywordEntry kLightKeywords[] = {
    {"Object", kText, nullptr},
    {"Color", kIntList, nullptr},
    {"Intensity", kFloatList, nullptr},
    kEnd,
};

const KeywordEntry kSceneKeywords[] = {
    {"Time", kFloat, nullptr},          {"Screen", kText, kScreenKeywords},
    {"Camera", kText, kCameraKeywords}, {"Light", kText, kLightKeywords},
    {"RootObject", kText, nullptr},     kEnd,
};

const KeywordEntry kDemoKeywords[] = {
    {"Scene", kTextList, nullptr},
    kEnd,
};

}  // namespace

const KeywordEntry kTopLevelKeywords[] = {
    {"Texture", kText, kTextureKeywords},
    {"Geometry", kText, kGeometryKeywords},
    {"ObjectGroup", kText, kObjectGroupKeywords},
    {"Brain", kText, kBrainKeywords},
    {"Scene", kText, kSceneKeywords},
    {"Demo", kText, kDemoKeywords},
    kEnd,
};

const KeywordEntry* findKeyword(const KeywordEntry* table, const char* keyword) {
    if (table == nullptr || keyword == nullptr) return nullptr;
    for (const KeywordEntry* entry = table; entry->keyword != nullptr; ++entry) {
        if (std::strcmp(entry->keyword, keyword) == 0) return entry;
    }
    return nullptr;
}
