// halcyon-tundra-content DATA_DIR: writes every object (DATA_DIR/objects/*.lwo, the
// scrollers' letters in DATA_DIR/objects/letters/) and texture (DATA_DIR/textures/*.raw and
// *.256) of the default demo, "Tundra": a snow field ringed by hills around a frozen lake
// with open water, pines, rocks, ice crystals and floes, lanterns, a television set, the
// moon and an aurora, two sky boxes with their environment maps, a fountain's ball, the
// mountains' rock, and the lettering (3D letters, the frame-rate display's font and the
// flight scene's panel of keys). The same bytes on every run; `make content` runs it on
// data/.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/tundra/content.h"

namespace {

using namespace tundra;

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: halcyon-tundra-content DATA_DIR\n"
                 "Writes the default demo's objects (DATA_DIR/objects/*.lwo, its 3D letters in\n"
                 "DATA_DIR/objects/letters/) and textures (DATA_DIR/textures/*.raw, *.256), the\n"
                 "same bytes on every run.\n");
}

bool makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
    std::fprintf(stderr, "halcyon-tundra-content: cannot create %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
}

// The characters the scrollers' letters are made for: capitals, digits and a few signs.
constexpr const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,!-'";

// A file name part for a letter: the letter itself in lower case, or the sign's name.
std::string letterFileName(char c) {
    switch (c) {
        case '.':
            return "stop";
        case ',':
            return "comma";
        case '!':
            return "exclamation";
        case '-':
            return "hyphen";
        case '\'':
            return "apostrophe";
        default:
            break;
    }
    if (c >= 'A' && c <= 'Z') return std::string(1, static_cast<char>(c - 'A' + 'a'));
    return std::string(1, c);
}

// The flight scene's panel: which keys fly the camera.
const std::vector<std::string> kKeysPanel = {
    "TAKE THE CONTROLS", "",           "LEFT RIGHT  TURN", "UP DOWN  FLY ON, BACK",
    "A Z  RISE, SINK",   "S D  SLIDE", "PGUP PGDN  LOOK",  "ESC  END",
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        usage(stderr);
        return 2;
    }
    const std::string data = argv[1];
    const std::string objects = data + "/objects", textures = data + "/textures";
    const std::string letters = objects + "/letters";
    if (!makeDirectory(data) || !makeDirectory(objects) || !makeDirectory(textures) ||
        !makeDirectory(letters)) {
        return 1;
    }

    bool ok = true;
    auto write = [&](const std::string& path, bool saved) {
        if (!saved) {
            std::fprintf(stderr, "halcyon-tundra-content: cannot write %s\n", path.c_str());
            ok = false;
        }
    };
    auto image = [&](const std::string& name, const Image& picture) {
        const std::string path = textures + "/" + name + ".raw";
        write(path, picture.save(path));
    };
    auto paletted = [&](const std::string& name, const PalettedImage& picture) {
        const std::string path = textures + "/" + name + ".256";
        write(path, picture.save(path));
    };
    auto object = [&](const std::string& path, const LwoWriter& writer) {
        write(path, writer.save(path));
    };

    image("snow", snowTexture());
    image("ice", iceTexture());
    image("rock", rockTexture());
    image("water", waterTexture());
    image("mountain", mountainTexture());
    image("wood", woodTexture());
    image("moon", moonTexture());
    image("t4000", testCardTexture());
    image("env_dusk", environmentTexture(kDusk, unit({-0.94f, 0.0f, 0.34f}), {226, 222, 240},
                                         {178, 170, 198}, 81));
    image("env_night",
          environmentTexture(kNight, {0.0f, 0.0f, 1.0f}, {110, 130, 180}, {58, 70, 112}, 82));
    for (int i = 0; i < 6; ++i) {
        image("sky_dusk_" + std::string(kSkyFaces[i].file), skyTexture(kDusk, i));
        image("sky_night_" + std::string(kSkyFaces[i].file), skyTexture(kNight, i));
    }
    paletted("white_ball", ballTexture());
    paletted("aurora", auroraTexture());
    paletted("halo", haloTexture());
    paletted("topaz_font", fontTexture());
    paletted("keys", textPanelTexture(kKeysPanel));

    const std::pair<const char*, LwoWriter (*)()> shapes[] = {
        {"sky", skyObject},
        {"snowfield", snowFieldObject},
        {"lake", lakeObject},
        {"water", waterObject},
        {"floe", floeObject},
        {"icestar", iceStarObject},
        {"crystals", crystalsObject},
        {"shard", shardObject},
        {"rock", rockObject},
        {"pine", pineObject},
        {"lantern", lanternObject},
        {"tv_cabinet", televisionCabinetObject},
        {"tv_screen", televisionScreenObject},
        {"aurora", auroraObject},
        {"moon", moonObject},
        {"halo", haloObject},
        {"panel", panelObject},
    };
    for (const auto& [name, make] : shapes) object(objects + "/" + name + ".lwo", make());
    for (const char* c = kLetters; *c != '\0'; ++c) {
        object(letters + "/" + letterFileName(*c) + ".lwo", letterObject(*c, 4.0f, "Letter"));
    }
    return ok ? 0 : 1;
}
