// The demo's one lettering, drawn once as strokes on a small grid: the scrollers' 3D
// letters are built from it (letters.cpp) and the frame-rate display's bitmap font
// "Topaz.font" and the flight scene's panel of keys are rasterised from it here.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/tundra/content.h"

namespace tundra {

namespace {

// Capitals, digits and signs as polylines on the grid (x 0..4, y 0..6 from the baseline):
// points "x,y" separated by spaces, polylines by ";". Lower case letters are drawn as
// small capitals from the capitals' strokes.
struct Drawing {
    char c;
    const char* strokes;
};

constexpr Drawing kDrawings[] = {
    {'!', "2,6 2,2;2,0.3 2,0"},
    {'"', "1.3,6 1.3,4.5;2.7,6 2.7,4.5"},
    {'#', "1,0 1.5,6;2.5,0 3,6;0,2 4,2;0,4 4,4"},
    {'$', "4,4.6 3,5.4 1,5.4 0,4.6 0,3.8 1,3 3,3 4,2.2 4,1.4 3,0.6 1,0.6 0,1.4;2,6.4 2,-0.4"},
    {'%', "0,0 4,6;0.5,5.5 1,5.5 1,5 0.5,5 0.5,5.5;3,1 3.5,1 3.5,0.5 3,0.5 3,1"},
    {'&', "4,0 1,4.5 1,5.5 1.7,6 2.3,6 3,5.5 3,4.5 0,2 0,1 1,0 2.5,0 4,2"},
    {'\'', "2,6 2,4.5"},
    {'(', "3,6 2,5 1.5,3 2,1 3,0"},
    {')', "1,6 2,5 2.5,3 2,1 1,0"},
    {'*', "2,5 2,1;0.3,4 3.7,2;0.3,2 3.7,4"},
    {'+', "2,5 2,1;0,3 4,3"},
    {',', "2,0.5 2,0 1.3,-1"},
    {'-', "0.5,3 3.5,3"},
    {'.', "2,0.4 2,0"},
    {'/', "0.5,0 3.5,6"},
    {'0', "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0;0.6,1 3.4,5"},
    {'1', "1,5 2,6 2,0;1,0 3,0"},
    {'2', "0,5 1,6 3,6 4,5 4,4 0,0 4,0"},
    {'3', "0,5 1,6 3,6 4,5 4,4 3,3 4,2 4,1 3,0 1,0 0,1;1.5,3 3,3"},
    {'4', "3,0 3,6 0,2 4,2"},
    {'5', "4,6 0,6 0,3.5 3,3.5 4,2.5 4,1 3,0 1,0 0,1"},
    {'6', "4,5 3,6 1,6 0,5 0,1 1,0 3,0 4,1 4,2.5 3,3.5 0,3.5"},
    {'7', "0,6 4,6 1.5,0"},
    {'8', "1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3 1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3"},
    {'9', "0,1 1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,3.5 1,2.5 4,2.5"},
    {':', "2,4.4 2,4;2,0.4 2,0"},
    {';', "2,4.4 2,4;2,0.5 2,0 1.3,-1"},
    {'<', "4,5.5 0,3 4,0.5"},
    {'=', "0,4 4,4;0,2 4,2"},
    {'>', "0,5.5 4,3 0,0.5"},
    {'?', "0,5 1,6 3,6 4,5 4,4 2,2.5 2,1.6;2,0.4 2,0"},
    {'@', "3,2 1.5,2 1.5,4 3,4 3,1.5 4,1.5 4,5 3,6 1,6 0,5 0,1 1,0 3.5,0"},
    {'A', "0,0 2,6 4,0;0.7,2 3.3,2"},
    {'B', "0,0 0,6 3,6 4,5 4,4 3,3 0,3;3,3 4,2 4,1 3,0 0,0"},
    {'C', "4,5 3,6 1,6 0,5 0,1 1,0 3,0 4,1"},
    {'D', "0,0 0,6 2.5,6 4,4.5 4,1.5 2.5,0 0,0"},
    {'E', "4,6 0,6 0,0 4,0;0,3 3,3"},
    {'F', "4,6 0,6 0,0;0,3 3,3"},
    {'G', "4,5 3,6 1,6 0,5 0,1 1,0 3,0 4,1 4,3 2.5,3"},
    {'H', "0,0 0,6;4,0 4,6;0,3 4,3"},
    {'I', "1,6 3,6;2,6 2,0;1,0 3,0"},
    {'J', "4,6 4,1 3,0 1,0 0,1"},
    {'K', "0,0 0,6;4,6 0,2;1.3,3.3 4,0"},
    {'L', "0,6 0,0 4,0"},
    {'M', "0,0 0,6 2,3 4,6 4,0"},
    {'N', "0,0 0,6 4,0 4,6"},
    {'O', "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0"},
    {'P', "0,0 0,6 3,6 4,5 4,4 3,3 0,3"},
    {'Q', "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0;2.5,1.5 4,-0.5"},
    {'R', "0,0 0,6 3,6 4,5 4,4 3,3 0,3;2,3 4,0"},
    {'S', "4,5 3,6 1,6 0,5 0,4 1,3 3,3 4,2 4,1 3,0 1,0 0,1"},
    {'T', "0,6 4,6;2,6 2,0"},
    {'U', "0,6 0,1 1,0 3,0 4,1 4,6"},
    {'V', "0,6 2,0 4,6"},
    {'W', "0,6 1,0 2,3 3,0 4,6"},
    {'X', "0,0 4,6;0,6 4,0"},
    {'Y', "0,6 2,3 4,6;2,3 2,0"},
    {'Z', "0,6 4,6 0,0 4,0"},
    {'[', "3,6 1.5,6 1.5,0 3,0"},
    {'\\', "0.5,6 3.5,0"},
    {']', "1,6 2.5,6 2.5,0 1,0"},
    {'^', "0.5,4 2,6 3.5,4"},
    {'_', "0,-0.5 4,-0.5"},
    {'`', "1.5,6 2.5,5"},
    {'{', "3,6 2,5.5 2,3.5 1,3 2,2.5 2,0.5 3,0"},
    {'|', "2,6.5 2,-0.5"},
    {'}', "1,6 2,5.5 2,3.5 3,3 2,2.5 2,0.5 1,0"},
    {'~', "0,3 1,3.8 3,2.8 4,3.6"},
};

std::vector<Stroke> parseStrokes(const char* text) {
    std::vector<Stroke> strokes;
    float px = 0.0f, py = 0.0f;
    bool havePoint = false;
    const char* p = text;
    while (*p != '\0') {
        if (*p == ';') {
            havePoint = false;
            ++p;
            continue;
        }
        if (*p == ' ') {
            ++p;
            continue;
        }
        char* end = nullptr;
        const float x = std::strtof(p, &end);
        p = end + 1;  // the comma
        const float y = std::strtof(p, &end);
        p = end;
        if (havePoint) strokes.push_back({px, py, x, y});
        px = x;
        py = y;
        havePoint = true;
    }
    return strokes;
}

}  // namespace

std::vector<Stroke> strokesOf(char c) {
    const bool small = c >= 'a' && c <= 'z';
    const char capital = small ? static_cast<char>(c - 'a' + 'A') : c;
    for (const Drawing& d : kDrawings) {
        if (d.c != capital) continue;
        std::vector<Stroke> strokes = parseStrokes(d.strokes);
        if (small) {
            // Small capitals: two thirds of the height, a little narrower, centred.
            for (Stroke& s : strokes) {
                s.x0 = 0.3f + 0.85f * s.x0;
                s.x1 = 0.3f + 0.85f * s.x1;
                s.y0 *= 2.0f / 3.0f;
                s.y1 *= 2.0f / 3.0f;
            }
        }
        return strokes;
    }
    return {};
}

float advanceOf(char c) {
    if (c == ' ') return 4.0f;
    if (std::strchr(".,:;!'|", c) != nullptr) return 3.0f;
    return 5.5f;
}

namespace {

// Distance from (x, y) to the segment of a stroke.
float strokeDistance(const Stroke& s, float x, float y) {
    const float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const float lengthSquared = dx * dx + dy * dy;
    float t = 0.0f;
    if (lengthSquared > 0.0f) {
        t = std::clamp(((x - s.x0) * dx + (y - s.y0) * dy) / lengthSquared, 0.0f, 1.0f);
    }
    const float ex = s.x0 + t * dx - x, ey = s.y0 + t * dy - y;
    return std::sqrt(ex * ex + ey * ey);
}

constexpr int kClear = 0, kInk = 1, kOutline = 2;

void setFontPalette(PalettedImage& image) {
    image.setColour(kClear, {0, 0, 0});
    image.setColour(kInk, {238, 246, 255});
    image.setColour(kOutline, {14, 22, 46});
}

// Draws character `c` with its grid origin (baseline, left) at texel (left, baseline),
// `scale` texels per grid unit; the ink is `ink` texels thick with an outline around it.
void drawCharacter(PalettedImage& image, char c, float left, float baseline, float scale,
                   float ink) {
    const std::vector<Stroke> strokes = strokesOf(c);
    if (strokes.empty()) return;
    const float radius = 0.5f * ink / scale;
    const float outline = radius + 1.1f / scale;
    const int x0 = std::max(0, static_cast<int>(left - scale));
    const int x1 = std::min(image.size() - 1, static_cast<int>(left + 6.0f * scale));
    const int y0 = std::max(0, static_cast<int>(baseline - 8.0f * scale));
    const int y1 = std::min(image.size() - 1, static_cast<int>(baseline + 3.0f * scale));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float gx = (static_cast<float>(x) + 0.5f - left) / scale;
            const float gy = (baseline - static_cast<float>(y) - 0.5f) / scale;
            float nearest = 1e9f;
            for (const Stroke& s : strokes) nearest = std::min(nearest, strokeDistance(s, gx, gy));
            if (nearest <= radius) {
                image.set(x, y, kInk);
            } else if (nearest <= outline && image.at(x, y) == kClear) {
                image.set(x, y, kOutline);
            }
        }
    }
}

}  // namespace

PalettedImage fontTexture() {
    PalettedImage image(256);
    setFontPalette(image);
    // A cell is 16 x 18 texels; the display shows rows -1..16 of it, so the drawing keeps
    // to rows 1..16: capitals from row 3 down to the baseline under row 12.
    constexpr float kScale = 1.5f;
    for (int code = 33; code < 127; ++code) {
        const int k = code - 32;
        const float cellX = 16.0f * static_cast<float>(k % 16);
        const float cellY = 18.0f * static_cast<float>(k / 16);
        drawCharacter(image, static_cast<char>(code), cellX + 5.0f, cellY + 12.5f, kScale, 1.9f);
    }
    return image;
}

PalettedImage textPanelTexture(const std::vector<std::string>& lines) {
    PalettedImage image(256);
    setFontPalette(image);
    constexpr float kScale = 1.7f;  // texels per grid unit
    constexpr float kLineStep = 19.0f;
    const float top = 128.0f - 0.5f * kLineStep * static_cast<float>(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        float width = 0.0f;
        for (char c : lines[i]) width += advanceOf(c) * kScale;
        float x = 128.0f - 0.5f * width;
        const float baseline = top + kLineStep * static_cast<float>(i) + 14.0f;
        for (char c : lines[i]) {
            drawCharacter(image, c, x, baseline, kScale, 2.3f);
            x += advanceOf(c) * kScale;
        }
    }
    return image;
}

}  // namespace tundra
