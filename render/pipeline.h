// The polygon pipeline (private to the renderer): back faces, classification, lighting,
// environment mapping, near and window clipping, snapping and the board call, for each of
// the eight drawing variants a material's render flags select.
#pragma once

#include <cstdint>

class Material;
class Polygon;
class View;
struct ObjectSlot;
struct Sprite;

// Render flags of the drawing variants.
inline constexpr uint16_t kVariantLit = 5;
inline constexpr uint16_t kVariantDecal = 9;
inline constexpr uint16_t kVariantLitTextured = 13;
inline constexpr uint16_t kVariantLitReflective = 69;
inline constexpr uint16_t kVariantTranslucent = 21;
inline constexpr uint16_t kVariantTranslucentTextured = 29;
inline constexpr uint16_t kVariantTranslucentReflective = 85;
inline constexpr uint16_t kVariantSprite = 51;

// Every polygon of an opaque material (5, 9, 13, 69), in the material's order.
void drawMaterialPolygons(View& view, ObjectSlot& slot, Material& material);

// Back-face test and classification. False when the polygon is not drawn; otherwise
// `depth` is the largest z of its corners in front of the near plane (0 when none is
// larger than 0) and `clipEdges` the window edges it must be clipped against (bits 0..3:
// left, right, top, bottom).
bool cullAndClassify(const View& view, const ObjectSlot& slot, const Polygon& polygon, float& depth,
                     uint8_t& clipEdges);

// One polygon of a translucent material (21, 29, 85), kept by cullAndClassify in this
// frame, with the edges it gave.
void drawDeferredPolygon(View& view, ObjectSlot& slot, Material& material, Polygon& polygon,
                         uint8_t clipEdges);

// One sprite of a sprite material (51).
void drawSprite(View& view, ObjectSlot& slot, Material& material, const Sprite& sprite);

// A sprite's half width and height on screen at depth 1/oow. Its size is in object units,
// like its centre, so it is scaled with the object.
void spriteHalfSize(const View& view, const ObjectSlot& slot, const Sprite& sprite, float oow,
                    float& hx, float& hy);
