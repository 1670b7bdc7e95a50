// Cameras: the "Camera" entries of a scene read into the shared view settings.
#include <cstring>
#include <string>

#include "app/app.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "render/view.h"
#include "scene_lang/parse_tree.h"
#include "textures/texture.h"

namespace {

void message(const std::string& text) {
    consoleWrite(text.c_str());
}

// Reads exactly `count` values of `key` in `block` into `out`; a key with another number
// of values keeps the previous values (and says so).
template <class T>
void readExact(const ParseNode* block, const char* key, T* out, int count, const char* context,
               bool (*read)(const ParseNode*, T*, int)) {
    const ParseNode* node = child(block, key);
    if (node == nullptr) {
        message(std::string(context) + ": camera \"View\" has no \"" + key +
                "\"; the previous camera's value stays\n");
        return;
    }
    int given = 0;
    for (const ParseValue* v = node->valuesHead; v != nullptr; v = v->next) ++given;
    if (given != count) {
        message(std::string(context) + ": camera \"" + key + "\" has " + std::to_string(given) +
                " values, " + std::to_string(count) + " needed; the previous value stays\n");
        return;
    }
    read(node, out, count);
}

bool readFloats(const ParseNode* node, float* out, int count) {
    return getFloats(node, out, count);
}
bool readInts(const ParseNode* node, int32_t* out, int count) {
    return getInts(node, out, count);
}

}  // namespace

SceneObject* readCamera(const ParseNode* camera, ViewSettings& s, const Renderer& renderer,
                        const char* context) {
    const char* label = camera->text != nullptr ? camera->text : "";
    const std::string where = std::string(context) + " camera \"" + label + "\"";
    const ParseNode* view = child(camera, "View");
    if (view == nullptr) {
        message(where + ": no \"View\"; the previous camera's settings stay\n");
    } else {
        int32_t window[4] = {s.windowX, s.windowY, s.windowWidth, s.windowHeight};
        readExact<int32_t>(view, "Window", window, 4, where.c_str(), readInts);
        if (window[2] > 0 && window[3] > 0) {
            s.windowX = window[0];
            s.windowY = window[1];
            s.windowWidth = window[2];
            s.windowHeight = window[3];
        } else {
            message(where + ": \"Window\" has no area; the previous window stays\n");
        }
        float fov[2] = {s.fovX, s.fovY};
        readExact<float>(view, "FOV", fov, 2, where.c_str(), readFloats);
        if (fov[0] > 0.0f && fov[0] < 3.1f && fov[1] > 0.0f && fov[1] < 3.1f) {
            s.fovX = fov[0];
            s.fovY = fov[1];
        } else {
            message(where + ": \"FOV\" angles must lie between 0 and pi; the previous ones stay\n");
        }
        float zclip[2] = {s.zNear, s.zFar};
        readExact<float>(view, "ZClip", zclip, 2, where.c_str(), readFloats);
        if (zclip[0] > 0.0f && zclip[1] > zclip[0]) {
            s.zNear = zclip[0];
            s.zFar = zclip[1];
        } else {
            message(where + ": \"ZClip\" needs 0 < near < far; the previous values stay\n");
        }
        int32_t rgb[3] = {0, 0, 0};
        const ParseNode* color = child(view, "Color");
        if (color != nullptr) {
            rgb[0] = static_cast<int32_t>(colourByte(s.clearRed));
            rgb[1] = static_cast<int32_t>(colourByte(s.clearGreen));
            rgb[2] = static_cast<int32_t>(colourByte(s.clearBlue));
        }
        readExact<int32_t>(view, "Color", rgb, 3, where.c_str(), readInts);
        if (color != nullptr) {
            s.clearRed = static_cast<float>(rgb[0]) / 255.0f;
            s.clearGreen = static_cast<float>(rgb[1]) / 255.0f;
            s.clearBlue = static_cast<float>(rgb[2]) / 255.0f;
        }

        s.fogMode = kFogNone;
        if (const ParseNode* fog = child(view, "Fog")) {
            if (const ParseNode* fogColor = child(fog, "Color")) {
                int32_t f[3] = {0, 0, 0};
                if (getInts(fogColor, f, 3)) {
                    s.fogRed = static_cast<float>(f[0]) / 255.0f;
                    s.fogGreen = static_cast<float>(f[1]) / 255.0f;
                    s.fogBlue = static_cast<float>(f[2]) / 255.0f;
                } else {
                    message(where + ": fog \"Color\" needs 3 values; the previous colour stays\n");
                }
            }
            s.fogDensity = 0.00005f;
            if (const ParseNode* density = child(fog, "Density"))
                s.fogDensity = density->floatValue;
            const ParseNode* mode = child(fog, "Mode");
            const char* word = mode != nullptr && mode->text != nullptr ? mode->text : "";
            if (std::strcmp(word, "1_Exp") == 0) {
                s.fogMode = kFogOneMinusExp;
            } else if (std::strcmp(word, "Exp1") == 0) {
                s.fogMode = kFogExp;
            } else if (std::strcmp(word, "Exp2") == 0) {
                s.fogMode = kFogExp2;
            } else {
                trace("Unknown FogMode %s.\n", word);
            }
        }

        s.hasBackground = 0;
        s.mapN = s.mapW = s.mapS = s.mapE = s.mapU = s.mapD = nullptr;
        if (const ParseNode* background = child(view, "Background")) {
            s.hasBackground = 1;
            struct MapKey {
                const char* key;
                Texture* ViewSettings::*field;
            };
            static constexpr MapKey kMaps[] = {
                {"MapN", &ViewSettings::mapN}, {"MapW", &ViewSettings::mapW},
                {"MapS", &ViewSettings::mapS}, {"MapE", &ViewSettings::mapE},
                {"MapU", &ViewSettings::mapU}, {"MapD", &ViewSettings::mapD},
            };
            for (const MapKey& map : kMaps) {
                const ParseNode* node = child(background, map.key);
                if (node == nullptr || node->text == nullptr) continue;
                Texture* texture = renderer.textures.find(node->text);
                if (texture == nullptr) {
                    message(where + ": background " + map.key + " names no texture \"" +
                            node->text + "\"; that side is drawn in its colour\n");
                }
                s.*map.field = texture;
            }
        }
    }

    const ParseNode* object = child(camera, "Object");
    const char* path = object != nullptr ? object->text : nullptr;
    SceneObject* carrier = path != nullptr ? findObjectByPath(renderer.rootObject, path) : nullptr;
    if (carrier == nullptr) {
        message(
            where +
            (path == nullptr ? ": no \"Object\"" : ": no object \"" + std::string(path) + "\"") +
            "; the camera is left out\n");
    }
    return carrier;
}
