// The polygon pipeline: back faces, classification, lighting, environment mapping, near
// and window clipping, snapping, and the board call.
#include "render/pipeline.h"

#include <algorithm>
#include <cmath>

#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "render/view.h"

namespace {

constexpr float kSnapBias = 786432.0f;  // 3 * 2^18: adding and removing it rounds to 1/16

// A table index from a value 0..1 scaled to 0..2047 (rounding may step past the ends).
int tableIndex(float value) {
    const float scaled = 2047.0f * value;
    if (!(scaled > 0.0f)) return 0;
    return scaled >= 2047.0f ? 2047 : static_cast<int>(scaled);
}
int signedTableIndex(float value) {
    const float scaled = 2047.0f * value;
    if (!(scaled > -2047.0f)) return -2047;
    return scaled >= 2047.0f ? 2047 : static_cast<int>(scaled);
}

bool isTranslucent(uint16_t flags) {
    return (flags & 16) != 0;
}
bool isReflective(uint16_t flags) {
    return (flags & 64) != 0;
}
bool isTextured(uint16_t flags) {
    return (flags & 8) != 0;
}
bool isLit(uint16_t flags) {
    return flags != kVariantDecal;
}

// Attenuation of a light at squared object-space distance `d2`.
float attenuation(const Light& light, float d2, float k) {
    const float q = k / d2;
    return light.quadraticIntensity * q + light.linearIntensity * std::sqrt(q);
}

// Lights vertex `index` of the slot for the material (once per view and frame).
void lightVertex(View& view, ObjectSlot& slot, const Material& material, int index) {
    uint32_t& word = slot.litBits[index >> 5];
    const uint32_t bit = 1u << (index & 31);
    if ((word & bit) != 0) return;
    word |= bit;
    ++view.stats.verticesLit;

    const MeshVertex& mv = slot.object->vertices[index];
    ViewVertex& out = slot.vertices[index];
    const uint16_t flags = material.renderFlags;
    const bool translucent = isTranslucent(flags);
    const LightingTables& tables = view.tables;
    const Vector3& P = mv.position;
    const Vector3& N = mv.normal;
    const Vector3 V = sub(slot.cameraPosition, P);

    const float r = material.color[0], g = material.color[1], b = material.color[2];
    float accR = r * material.ambient, accG = g * material.ambient, accB = b * material.ambient;
    float highlight = 0.0f;
    // Without lights the ambient term alone colours the vertex.
    const float invN = slot.lightCount > 0 ? 1.0f / static_cast<float>(slot.lightCount) : 1.0f;
    const float worldScale = slot.object->worldTransform.scale;
    const float k = 1.0f / (worldScale * worldScale);
    const int n = std::clamp(static_cast<int>(material.glossiness), 0, 15);
    const float v2 = dot(V, V);
    const float invV2 = v2 > 0.0f ? 1.0f / v2 : 0.0f;
    for (int j = 0; j < slot.lightCount; ++j) {
        const Vector3 L = sub(slot.lightPositions[j], P);
        const float nl = dot(N, L);
        if (nl <= 0.0f) continue;  // a light behind the surface adds nothing
        const float l2 = dot(L, L);
        const float invL2 = 1.0f / l2;
        const Light& light = *slot.lights[j];
        const float q = k * invL2;
        const float att = light.quadraticIntensity * q + light.linearIntensity * std::sqrt(q);
        const float cosine = tables.cosine[tableIndex(nl * nl * invL2)];
        const float f = material.diffuse * cosine * att;
        accR += light.red * r * f;
        accG += light.green * g * f;
        accB += light.blue * b * f;
        if (!translucent) {
            const Vector3 R = sub(scaled(N, 2.0f * nl), L);
            const float rv = dot(R, V);
            if (rv > 0.0f) {
                highlight +=
                    tables.power[n][tableIndex(rv * rv * invL2 * invV2)] * material.specular * att;
            }
        }
    }
    out.red = std::min(255.0f, invN * accR);
    out.green = std::min(255.0f, invN * accG);
    out.blue = std::min(255.0f, invN * accB);
    out.alpha = translucent ? material.opacity * 255.0f : std::min(100.0f, invN * highlight);

    if (isReflective(flags)) {
        const float ne = dot(N, V);
        const Vector3 R = sub(scaled(N, 2.0f * ne), V);
        const Matrix3& m = slot.toCamera.rotation;
        const float cx = m.m00 * R.x + m.m01 * R.y + m.m02 * R.z;
        const float cy = m.m10 * R.x + m.m11 * R.y + m.m12 * R.z;
        if (v2 > 0.0f) {
            out.s = tables.environment[signedTableIndex(cx * std::fabs(cx) / v2)];
            out.t = tables.environment[signedTableIndex(cy * std::fabs(cy) / v2)];
        } else {
            out.s = out.t = 128.0f;
        }
    }
}

// A corner of the near stage: screen position, 1/w, colour, alpha and texel coordinates.
struct Corner {
    float x, y, oow, r, g, b, a, s, t;
};

Corner cornerOf(const ViewVertex& v, const MeshVertex& mv, uint16_t flags) {
    Corner c{v.sx, v.sy, v.oow, v.red, v.green, v.blue, v.alpha, 0.0f, 0.0f};
    if (flags == kVariantDecal) {
        c.r = c.g = c.b = 255.0f;
        c.a = 255.0f;  // a decal's texel alpha comes through unchanged
    }
    if (isReflective(flags)) {
        c.s = v.s;
        c.t = v.t;
    } else if (isTextured(flags)) {
        c.s = mv.u;
        c.t = mv.v;
    }
    return c;
}

// Writes the fields the board reads; the others are never looked at.
void toBoard(const Corner& c, GrVertex& v) {
    v.x = c.x;
    v.y = c.y;
    v.r = c.r;
    v.g = c.g;
    v.b = c.b;
    v.a = c.a;
    v.oow = c.oow;
    v.tmuvtx[0].sow = c.s * c.oow;
    v.tmuvtx[0].tow = c.t * c.oow;
    v.tmuvtx[0].oow = c.oow;
}

// A corner in front of the near plane, straight from its view vertex.
void emitCorner(const ViewVertex& v, const MeshVertex& mv, uint16_t flags, GrVertex& out) {
    out.x = v.sx;
    out.y = v.sy;
    out.oow = v.oow;
    out.tmuvtx[0].oow = v.oow;
    if (flags == kVariantDecal) {
        out.r = out.g = out.b = out.a = 255.0f;  // a decal's texel alpha comes through unchanged
    } else {
        out.r = v.red;
        out.g = v.green;
        out.b = v.blue;
        out.a = v.alpha;
    }
    if (isReflective(flags)) {
        out.tmuvtx[0].sow = v.s * v.oow;
        out.tmuvtx[0].tow = v.t * v.oow;
    } else if (isTextured(flags)) {
        out.tmuvtx[0].sow = mv.u * v.oow;
        out.tmuvtx[0].tow = mv.v * v.oow;
    } else {
        out.tmuvtx[0].sow = 0.0f;
        out.tmuvtx[0].tow = 0.0f;
    }
}

GrVertex lerp(const GrVertex& a, const GrVertex& b, float u) {
    auto mix = [u](float p, float q) { return p + (q - p) * u; };
    GrVertex v{};
    v.x = mix(a.x, b.x);
    v.y = mix(a.y, b.y);
    v.r = mix(a.r, b.r);
    v.g = mix(a.g, b.g);
    v.b = mix(a.b, b.b);
    v.a = mix(a.a, b.a);
    v.oow = mix(a.oow, b.oow);
    v.tmuvtx[0].sow = mix(a.tmuvtx[0].sow, b.tmuvtx[0].sow);
    v.tmuvtx[0].tow = mix(a.tmuvtx[0].tow, b.tmuvtx[0].tow);
    v.tmuvtx[0].oow = v.oow;
    return v;
}

enum Edge { kLeft, kRight, kTop, kBottom };

// Keeps the part of the polygon inside one window edge; returns the new count.
int clipEdge(const GrVertex* in, int count, GrVertex* out, Edge edge, float bound) {
    auto coordinate = [edge](const GrVertex& v) { return edge <= kRight ? v.x : v.y; };
    auto inside = [edge, bound](float c) {
        return edge == kLeft || edge == kTop ? c > bound : c <= bound;
    };
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const GrVertex& a = in[i];
        const GrVertex& b = in[(i + 1) % count];
        const float ca = coordinate(a), cb = coordinate(b);
        const bool ia = inside(ca), ib = inside(cb);
        if (ia) out[n++] = a;
        if (ia != ib) {
            GrVertex v = lerp(a, b, (bound - ca) / (cb - ca));
            if (edge <= kRight) {
                v.x = bound;
            } else {
                v.y = bound;
            }
            out[n++] = v;
        }
    }
    return n;
}

void snapAndDraw(View& view, GrVertex* vertices, int count) {
    if (count < 3) return;
    for (int i = 0; i < count; ++i) {
        volatile float x = vertices[i].x + kSnapBias;
        volatile float y = vertices[i].y + kSnapBias;
        vertices[i].x = x - kSnapBias;
        vertices[i].y = y - kSnapBias;
    }
    grDrawPolygonVertexList(count, vertices);
    ++view.stats.polygonsDrawn;
}

// Classification of a polygon's corners.
struct Classification {
    bool kept = false;
    bool clip[4] = {false, false, false, false};  // left, right, top, bottom
    bool anyBehind = false;
    float depth = 0.0f;
};

Classification classify(const View& view, const ObjectSlot& slot, const Polygon& polygon) {
    Classification result;
    const Plane& plane = polygon.plane;
    const Vector3& e = slot.cameraPosition;
    if (plane.a * e.x + plane.b * e.y + plane.c * e.z + plane.d < 0.0f) return result;
    int behind = 0, beyond = 0, leftOf = 0, rightOf = 0, above = 0, below = 0;
    const int n = polygon.count;
    for (int i = 0; i < n; ++i) {
        const ViewVertex& v = slot.vertices[polygon.indices[i]];
        if (v.z < view.near) {
            ++behind;
            continue;
        }
        result.depth = std::max(result.depth, v.z);
        if (v.z > view.far) ++beyond;
        if (v.sx < view.left) ++leftOf;
        if (v.sx > view.right) ++rightOf;
        if (v.sy < view.top) ++above;
        if (v.sy > view.bottom) ++below;
    }
    if (behind == n || beyond == n) return result;
    if (behind == 0) {
        if (leftOf == n || rightOf == n || above == n || below == n) return result;
        result.clip[kLeft] = leftOf > 0;
        result.clip[kRight] = rightOf > 0;
        result.clip[kTop] = above > 0;
        result.clip[kBottom] = below > 0;
    } else {
        result.anyBehind = true;
        for (bool& c : result.clip) c = true;
    }
    result.kept = true;
    return result;
}

// Makes sure the clipper's buffers hold a polygon of `corners` corners after every stage.
void reserveClip(View& view, int corners) {
    const size_t needed = static_cast<size_t>(corners) + 8;
    if (view.clipA.size() < needed) {
        view.clipA.resize(needed);
        view.clipB.resize(needed);
    }
}

void drawPolygon(View& view, ObjectSlot& slot, const Material& material, const Polygon& polygon,
                 const Classification& cls) {
    const uint16_t flags = material.renderFlags;
    const int n = polygon.count;
    if (isLit(flags)) {
        for (int i = 0; i < n; ++i) lightVertex(view, slot, material, polygon.indices[i]);
    }
    reserveClip(view, n);
    GrVertex* a = view.clipA.data();
    GrVertex* b = view.clipB.data();
    const MeshVertex* mesh = slot.object->vertices;

    // Near plane: corners in front pass, each crossing edge gets a corner on the plane.
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const int ia = polygon.indices[i], ib = polygon.indices[i + 1];
        const ViewVertex& va = slot.vertices[ia];
        const ViewVertex& vb = slot.vertices[ib];
        const bool inA = va.z > view.near, inB = vb.z > view.near;
        if (inA) emitCorner(va, mesh[ia], flags, a[count++]);
        if (inA != inB) {
            const float u = (view.near - va.z) / (vb.z - va.z);
            const Corner ca = cornerOf(va, mesh[ia], flags), cb = cornerOf(vb, mesh[ib], flags);
            auto mix = [u](float p, float q) { return p + (q - p) * u; };
            Corner c{};
            c.oow = view.invNear;
            c.x = view.centreX + mix(va.xs, vb.xs) * view.invNear;
            c.y = view.centreY - mix(va.ys, vb.ys) * view.invNear;
            c.r = mix(ca.r, cb.r);
            c.g = mix(ca.g, cb.g);
            c.b = mix(ca.b, cb.b);
            c.a = mix(ca.a, cb.a);
            c.s = mix(ca.s, cb.s);
            c.t = mix(ca.t, cb.t);
            toBoard(c, a[count++]);
        }
    }
    const float bounds[4] = {view.left, view.right, view.top, view.bottom};
    for (int edge = kLeft; edge <= kBottom; ++edge) {
        if (!cls.clip[edge] || count < 3) continue;
        count = clipEdge(a, count, b, static_cast<Edge>(edge), bounds[edge]);
        std::swap(a, b);
    }
    snapAndDraw(view, a, count);
}

}  // namespace

bool cullAndClassify(const View& view, const ObjectSlot& slot, const Polygon& polygon, float& depth,
                     uint8_t& clipEdges) {
    const Classification cls = classify(view, slot, polygon);
    depth = cls.depth;
    clipEdges = 0;
    for (int edge = kLeft; edge <= kBottom; ++edge) {
        if (cls.clip[edge]) clipEdges = static_cast<uint8_t>(clipEdges | 1u << edge);
    }
    return cls.kept;
}

void drawMaterialPolygons(View& view, ObjectSlot& slot, Material& material) {
    for (int p = 0; p < material.polygonCount; ++p) {
        const Polygon& polygon = *material.polygons[p];
        const Classification cls = classify(view, slot, polygon);
        if (cls.kept) drawPolygon(view, slot, material, polygon, cls);
    }
}

void drawDeferredPolygon(View& view, ObjectSlot& slot, Material& material, Polygon& polygon,
                         uint8_t clipEdges) {
    Classification cls;
    cls.kept = true;
    for (int edge = kLeft; edge <= kBottom; ++edge) cls.clip[edge] = (clipEdges >> edge & 1u) != 0;
    drawPolygon(view, slot, material, polygon, cls);
}

void spriteHalfSize(const View& view, const ObjectSlot& slot, const Sprite& sprite, float oow,
                    float& hx, float& hy) {
    const float size = sprite.spriteSize * slot.toCamera.scale;
    hx = size * oow * view.fx;
    hy = size * oow * view.fy;
}

void drawSprite(View& view, ObjectSlot& slot, Material& material, const Sprite& sprite) {
    const ViewVertex& v = slot.vertices[sprite.vertexIndex];
    if (!(v.z > view.near && v.z <= view.far)) return;
    float hx = 0.0f, hy = 0.0f;
    spriteHalfSize(view, slot, sprite, v.oow, hx, hy);
    float x0 = v.sx - hx, x1 = v.sx + hx, y0 = v.sy - hy, y1 = v.sy + hy;
    float s0 = 0.0f, s1 = 255.0f, t0 = 0.0f, t1 = 255.0f;
    if (x0 < view.left) {
        s0 = 255.0f * (view.left - x0) / (x1 - x0);
        x0 = view.left;
    }
    if (x1 > view.right) {
        s1 = s0 + (255.0f - s0) * (view.right - x0) / (x1 - x0);
        x1 = view.right;
    }
    if (y0 < view.top) {
        t0 = 255.0f * (view.top - y0) / (y1 - y0);
        y0 = view.top;
    }
    if (y1 > view.bottom) {
        t1 = t0 + (255.0f - t0) * (view.bottom - y0) / (y1 - y0);
        y1 = view.bottom;
    }

    // Colour: the vertex's own colour, lit by distance alone.
    const MeshVertex& mv = slot.object->vertices[sprite.vertexIndex];
    const float intensity = mv.colorWords[0];
    const float cr = mv.colorWords[1], cg = mv.colorWords[2], cb = mv.colorWords[3];
    float accR = cr * material.ambient, accG = cg * material.ambient, accB = cb * material.ambient;
    const float worldScale = slot.object->worldTransform.scale;
    const float k = 1.0f / (worldScale * worldScale);
    for (int j = 0; j < slot.lightCount; ++j) {
        const Light& light = *slot.lights[j];
        const Vector3 L = sub(slot.lightPositions[j], mv.position);
        const float l2 = dot(L, L);
        if (!(l2 > 0.0f)) continue;
        const float f = material.diffuse * attenuation(light, l2, k);
        accR += light.red * cr * f;
        accG += light.green * cg * f;
        accB += light.blue * cb * f;
    }
    const float invN = slot.lightCount > 0 ? 1.0f / static_cast<float>(slot.lightCount) : 1.0f;
    Corner corner{0.0f,
                  0.0f,
                  v.oow,
                  std::clamp(invN * accR, 0.0f, 255.0f),
                  std::clamp(invN * accG, 0.0f, 255.0f),
                  std::clamp(invN * accB, 0.0f, 255.0f),
                  std::clamp(intensity * 255.0f, 0.0f, 255.0f),
                  0.0f,
                  0.0f};
    GrVertex quad[4];
    const float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
    const float ss[4] = {s0, s1, s1, s0}, ts[4] = {t0, t0, t1, t1};
    for (int i = 0; i < 4; ++i) {
        corner.x = xs[i];
        corner.y = ys[i];
        corner.s = ss[i];
        corner.t = ts[i];
        toBoard(corner, quad[i]);
    }
    snapAndDraw(view, quad, 4);
}
