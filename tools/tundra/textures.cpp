// The default demo's textures: snow, ice, rock, water, the mountains' rock, wood, the moon,
// a test card, two sky boxes with their environment maps, the fountain's ball and the
// aurora's alpha map. Every picture that repeats ("Wrap") is built from periodic noise.
#include <algorithm>
#include <cmath>

#include "tools/tundra/content.h"

namespace tundra {

Image snowTexture() {
    Image image(128);
    image.fill([](int x, int y, float u, float v) {
        const float drift = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 11);
        const float crust = fractalNoise(u * 16.0f, v * 16.0f, 16, 2, 12);
        Colour c = mix({206, 216, 234}, {250, 251, 255}, 0.25f + 0.55f * drift + 0.2f * crust);
        if (hashUnit(x, y, 13) > 0.992f) c = {255, 255, 255};
        const float g = grain(x, y, 14, 5.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

Image iceTexture() {
    Image image(128);
    image.fill([](int x, int y, float u, float v) {
        const float depth = fractalNoise(u * 3.0f, v * 3.0f, 3, 4, 21);
        float nearest = 0.0f, second = 0.0f;
        cellDistances(u, v, 5, 22, nearest, second);
        const float crack = 1.0f - smoothstep(0.0f, 0.07f, second - nearest);
        float fine = 0.0f, fineSecond = 0.0f;
        cellDistances(u, v, 11, 23, fine, fineSecond);
        const float hairline = 1.0f - smoothstep(0.0f, 0.05f, fineSecond - fine);
        Colour c = mix({112, 160, 200}, {188, 222, 244}, depth);
        c = mix(c, {236, 246, 255}, std::max(crack, 0.45f * hairline));
        const float g = grain(x, y, 24, 4.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

Image rockTexture() {
    Image image(64);
    image.fill([](int x, int y, float u, float v) {
        const float body = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 31);
        const float strata =
            0.5f + 0.5f * std::sin(2.0f * kPi *
                                   (5.0f * v + 0.6f * fractalNoise(u * 2.0f, v * 2.0f, 2, 3, 32)));
        Colour c = mix({96, 92, 104}, {178, 170, 164}, 0.65f * body + 0.35f * strata);
        if (hashUnit(x, y, 33) > 0.97f) c = scaledColour(c, 0.7f);
        return c;
    });
    return image;
}

// ---------------------------------------------------------------------------------------
// Skies. A style gives the colours by elevation; the sun side (west, -x) glows.

const SkyStyle kDusk = {
    {198, 172, 190},  // horizon
    {255, 176, 118},  // glowLow
    {222, 126, 146},  // glowHigh
    {186, 168, 196},  // coolLow
    {146, 128, 184},  // coolHigh
    {84, 86, 160},    // middle
    {26, 34, 90},     // zenith
    0.0f,             // stars
    0.0f,             // aurora
    41,               // seed
};

const SkyStyle kNight = {
    {44, 52, 88},   // horizon
    {70, 72, 120},  // glowLow
    {48, 58, 112},  // glowHigh
    {44, 56, 104},  // coolLow
    {32, 44, 96},   // coolHigh
    {18, 26, 70},   // middle
    {6, 10, 34},    // zenith
    0.010f,         // stars
    1.0f,           // aurora
    51,             // seed
};

// The sky's colour seen in direction `d` (x east, y up, z north).
static Colour skyColour(const SkyStyle& style, Vector3 d) {
    d.normalize();
    const float e = std::asin(std::clamp(d.y, -1.0f, 1.0f)) / kHalfPi;  // 0 horizon, 1 zenith
    if (e < 0.0f) return style.horizon;  // as the view's clear colour below the walls

    const Vector3 sun = unit({-0.94f, -0.02f, 0.34f});
    Vector3 flat{d.x, 0.0f, d.z};
    const float flatLength = flat.normalize();
    const float facing = flatLength > 0.0f ? dot(flat, unit({sun.x, 0.0f, sun.z})) : 0.0f;
    const float glow = std::pow(0.5f + 0.5f * facing, 2.0f);
    const Colour low = mix(style.coolLow, style.glowLow, glow);
    const Colour high = mix(style.coolHigh, style.glowHigh, glow);

    Colour c = mix(style.horizon, low, smoothstep(0.0f, 0.035f, e));
    c = mix(c, high, smoothstep(0.03f, 0.14f, e));
    c = mix(c, style.middle, smoothstep(0.1f, 0.34f, e));
    c = mix(c, style.zenith, smoothstep(0.3f, 1.0f, e));
    // A round halo where the sun has just set.
    const float away = 1.0f - dot(d, sun);
    c = mix(c, style.glowLow, 0.55f * std::exp(-away / 0.03f) * smoothstep(-0.01f, 0.03f, e));

    if (style.aurora > 0.0f && d.z > -0.2f) {
        const float az = std::atan2(d.x, d.z);  // 0 towards north
        const float base = 0.14f + 0.06f * std::sin(az * 2.3f + 0.5f) + 0.03f * std::sin(az * 6.1f);
        const float k = (e - base) / 0.25f;
        const float rise = smoothstep(-0.05f, 0.03f, e - base);
        const float rays = 0.6f + 0.25f * std::sin(az * 23.0f + 3.0f * std::sin(az * 4.0f)) +
                           0.15f * std::sin(az * 61.0f + 1.3f);
        const float reach = smoothstep(-0.2f, 0.55f, d.z);
        const float strength =
            style.aurora * rise * std::exp(-std::max(k, 0.0f) * 2.2f) * rays * reach;
        const Colour tint = mix({60, 250, 150}, {140, 90, 230}, std::clamp(k * 0.9f, 0.0f, 1.0f));
        c = plus(c, scaledColour(tint, 0.85f * strength));
    }
    return c;
}

const SkyFace kSkyFaces[6] = {
    {"Up", "up", 2, {-1, 1, 1}, {1, 0, 0}, {0, 0, -1}},
    {"West", "west", 1, {-1, 1, -1}, {0, 0, 1}, {0, -1, 0}},
    {"North", "north", 4, {-1, 1, 1}, {1, 0, 0}, {0, -1, 0}},
    {"East", "east", 1, {1, 1, -1}, {0, 0, 1}, {0, -1, 0}},
    {"South", "south", 4, {-1, 1, -1}, {1, 0, 0}, {0, -1, 0}},
    {"Down", "down", 2, {-1, -1, 1}, {1, 0, 0}, {0, 0, -1}},
};

Image skyTexture(const SkyStyle& style, int face) {
    const SkyFace& f = kSkyFaces[face];
    Image image(face == 5 ? 64 : 128);  // the ground hides the bottom face
    image.fill([&](int x, int y, float u, float v) {
        const Vector3 d = unit(add(f.corner, add(scaled(f.across, 2 * u), scaled(f.down, 2 * v))));
        Colour c = skyColour(style, d);
        const uint32_t starSeed = style.seed + static_cast<uint32_t>(face) * 7u;
        if (style.stars > 0.0f && d.y > 0.12f && hashUnit(x, y, starSeed) < style.stars) {
            const float brightness = 90.0f + 130.0f * hashUnit(x, y, starSeed + 1);
            c = plus(c, {brightness, brightness, brightness * 1.05f});
        }
        // No grain below the horizon, where the walls end over the view's plain clear colour.
        const float g = grain(x, y, starSeed + 2, 5.0f) * smoothstep(0.0f, 0.05f, d.y);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// An environment map read through the reflected direction in camera space: s follows its
// x (left to right), t its y (t = 0 downwards, t = 256 upwards), both as 128 + 256/pi *
// asin(component). Above the middle row the sky as seen facing `facing` (a horizontal
// direction), below it the lit snow, with a dark line of distant hills at the horizon.
Image environmentTexture(const SkyStyle& style, const Vector3& facing, const Colour& snowNear,
                         const Colour& snowFar, uint32_t seed) {
    Image image(64);
    image.fill([&](int x, int y, float u, float v) {
        const float sx = std::sin(std::clamp((u * 256.0f - 128.0f) / 81.48733f, -kHalfPi, kHalfPi));
        const float sy = std::sin(std::clamp((v * 256.0f - 128.0f) / 81.48733f, -kHalfPi, kHalfPi));
        const float hills = 0.02f + 0.03f * fractalNoise(u * 6.0f, 0.5f, kNoRepeat, 3, seed);
        Colour c;
        if (sy < 0.0f) {
            c = mix(snowFar, snowNear, smoothstep(0.0f, 0.8f, -sy));
        } else if (sy < hills) {
            c = mix(scaledColour(style.horizon, 0.82f), style.horizon, sy / hills);
        } else {
            // Turn away from `facing` by up to about 90 degrees towards the edges.
            const float turn = 1.6f * std::asin(std::clamp(sx, -1.0f, 1.0f));
            const float flat = std::sqrt(std::max(0.0f, 1.0f - sy * sy));
            const float cs = std::cos(turn), sn = std::sin(turn);
            const Vector3 d{flat * (facing.x * cs - facing.z * sn), sy,
                            flat * (facing.x * sn + facing.z * cs)};
            c = skyColour(style, d);
        }
        const float g = grain(x, y, seed + 1, 4.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// Dark open water under a dusk sky: slow swells and short bright ripples. Repeats.
Image waterTexture() {
    Image image(64);
    image.fill([](int x, int y, float u, float v) {
        const float swell = fractalNoise(u * 4.0f, v * 4.0f, 4, 3, 91);
        const float ripple = fractalNoise(u * 16.0f, v * 8.0f, 16, 2, 92);
        Colour c = mix({34, 64, 90}, {84, 120, 146}, swell);
        const float glint = smoothstep(0.62f, 0.8f, ripple);
        c = mix(c, {168, 176, 204}, 0.55f * glint);
        const float g = grain(x, y, 93, 4.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// Dark rock with snow in its hollows and on its ledges, for the fractal mountains. Repeats.
Image mountainTexture() {
    Image image(128);
    image.fill([](int x, int y, float u, float v) {
        const float body = fractalNoise(u * 4.0f, v * 4.0f, 4, 5, 101);
        const float snow = fractalNoise(u * 3.0f + 0.3f, v * 3.0f, 3, 4, 102);
        const float ledges = 0.5f + 0.5f * std::sin(2.0f * kPi * (6.0f * v + 2.0f * body));
        Colour rock = mix({70, 72, 86}, {134, 130, 140}, body);
        const float cover = smoothstep(0.45f, 0.62f, 0.85f * snow + 0.15f * ledges);
        Colour c = mix(rock, {236, 240, 252}, cover);
        const float g = grain(x, y, 103, 6.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// Warm walnut with wavy grain, for the television's cabinet.
Image woodTexture() {
    Image image(64);
    image.fill([](int x, int y, float u, float v) {
        const float wave = fractalNoise(u * 2.0f, v * 2.0f, 2, 3, 111);
        const float rings = 0.5f + 0.5f * std::sin(2.0f * kPi * (9.0f * u + 2.5f * wave));
        Colour c = mix({92, 54, 34}, {150, 96, 58}, 0.25f + 0.6f * rings * rings);
        const float g = grain(x, y, 112, 6.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// The moon's face: pale grey, darker seas and a few craters. u runs round the moon, so it
// repeats across u.
Image moonTexture() {
    Image image(64);
    image.fill([](int, int, float u, float v) {
        const float seas = fractalNoise(u * 4.0f, v * 3.0f, 4, 4, 121);
        Colour c = mix({236, 236, 244}, {150, 156, 178}, smoothstep(0.45f, 0.7f, seas));
        float nearest = 0.0f, second = 0.0f;
        cellDistances(u, v, 5, 122, nearest, second);
        const float rim = smoothstep(0.12f, 0.16f, nearest) - smoothstep(0.16f, 0.22f, nearest);
        c = mix(c, {250, 250, 255}, 0.5f * rim);
        c = mix(c, {160, 164, 184}, 0.4f * (1.0f - smoothstep(0.05f, 0.12f, nearest)));
        return c;
    });
    return image;
}

// What the television shows before its first picture arrives: colour bars over a grey
// ramp, with a white circle.
Image testCardTexture() {
    Image image(128);
    const Colour bars[7] = {{236, 236, 236}, {236, 236, 32}, {32, 236, 236}, {32, 236, 32},
                            {236, 32, 236},  {236, 32, 32},  {32, 32, 236}};
    image.fill([&](int, int, float u, float v) {
        Colour c = v < 0.5f ? bars[std::min(6, static_cast<int>(u * 7.0f))]
                            : Colour{255.0f * u, 255.0f * u, 255.0f * u};
        const float dx = (u - 0.5f) * 4.0f / 3.0f, dy = v - 0.375f;
        const float r = std::sqrt(dx * dx + dy * dy);
        if (std::fabs(r - 0.25f) < 0.012f) c = {255, 255, 255};
        return c;
    });
    return image;
}

// A round spark with a bright core, on a see-through ground (index 0): drawn as sprites it
// is alpha-tested, so its edge is where the glow falls to a third.
PalettedImage ballTexture() {
    PalettedImage image(64);
    for (int i = 1; i < 256; ++i) {
        const float f = static_cast<float>(i);
        image.setColour(i, {f, std::min(255.0f, 40.0f + f), 255.0f});
    }
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - 32.0f) / 32.0f;
            const float dy = (static_cast<float>(y) + 0.5f - 32.0f) / 32.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float glow = 1.0f - smoothstep(0.0f, 0.95f, r);
            image.set(x, y,
                      glow < 0.33f ? 0 : std::max(1, static_cast<int>(toByte(255.0f * glow))));
        }
    }
    return image;
}

// A soft round halo as an alpha map: each palette index is an alpha value, so the texel
// is its own index.
PalettedImage haloTexture() {
    PalettedImage image(64);
    for (int i = 0; i < 256; ++i) {
        const float f = static_cast<float>(i);
        image.setColour(i, {f, f, f});
    }
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - 32.0f) / 32.0f;
            const float dy = (static_cast<float>(y) + 0.5f - 32.0f) / 32.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            image.set(x, y, toByte(200.0f * std::pow(std::max(0.0f, 1.0f - r), 2.2f)));
        }
    }
    return image;
}

// The aurora's curtain: vertical rays of changing strength in greens turning violet
// upwards, brightest along a wavy lower hem (the bottom rows) and fading up. Where the
// glow is faint the texel is see-through (index 0); elsewhere the index is the glow's
// strength and the palette its colour. Repeats across u.
PalettedImage auroraTexture() {
    PalettedImage image(256);
    for (int i = 1; i < 256; ++i) {
        const float f = static_cast<float>(i) / 255.0f;
        image.setColour(i, scaledColour(mix({150, 80, 230}, {80, 255, 160}, f), 0.35f + 0.65f * f));
    }
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / 256.0f;
            const float v = (static_cast<float>(y) + 0.5f) / 256.0f;
            const float rays = 0.3f + 0.7f * fractalNoise(u * 64.0f, v * 0.5f, 64, 3, 131);
            const float hem = 0.82f + 0.08f * std::sin(2.0f * kPi * (2.0f * u)) +
                              0.015f * std::sin(2.0f * kPi * (7.0f * u + 0.3f));
            const float above = hem - v;  // how far above the hem
            // Where the curtain is: above the hem, up to a wavy upper edge.
            const float top = 0.22f + 0.06f * std::sin(2.0f * kPi * (3.0f * u + 0.2f));
            const float body =
                smoothstep(-0.03f, 0.02f, above) * smoothstep(top - 0.08f, top + 0.08f, v);
            // How bright: rays, brightest at the hem, fading upwards.
            const float glow = rays * std::exp(-std::max(0.0f, above) * 2.2f);
            // An ordered threshold softens the see-through edges.
            const float threshold = 0.35f + 0.3f * static_cast<float>((x & 1) * 2 + (y & 1)) / 3.0f;
            image.set(x, y,
                      body < threshold ? 0 : std::max(1, static_cast<int>(toByte(255.0f * glow))));
        }
    }
    return image;
}

}  // namespace tundra
