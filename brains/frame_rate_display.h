// The frame-rate display (DisplayInfo).
//
// Turns its object into one line of text: frames per second, the average number of buffer
// swaps pending, and triangles drawn per frame. At each scene start the brain gives its
// object a mesh of its own, one textured quad per character in a row centred on the
// object's origin, drawn with the bitmap font of the "Topaz.font" texture. Every 31 frames
// (counted over all such brains together) the figures are formatted and each quad's
// texture coordinates are pointed at the glyph cell of its character.
//
// Font layout: cells of 16 x 18 units of the 0..255 texture-coordinate space, 16 cells per
// row, row by row from the top-left; cell k holds character code k + 32.
#pragma once

#include <memory>

#include "render/brain.h"

class Material;
class Texture;
struct MeshVertex;

class DisplayInfo : public Brain {
  public:
    using Brain::Brain;
    // Gives the object back the mesh it had before the brain's first start.
    ~DisplayInfo() override;

    // Reads nothing.
    bool load(const ParseNode* brainEntry) override;
    // Builds the text mesh (releasing the one an earlier start built). Without a
    // "Topaz.font" texture it reports that and leaves the object without text.
    void start() override;
    // Adds the frame to the shared statistics; on every 31st count, rewrites the line.
    void update() override;

    // The statistics every DisplayInfo brain adds to (frames, seconds, pending swaps).
    static void resetStatistics();
    static inline int frameCount = 0;
    static inline double timeSum = 0.0;  // seconds
    static inline int pendingSum = 0;

    Texture* fontTexture = nullptr;
    int glyphWidth = 8;   // object units; a glyph cell is twice as wide in texture units
    int glyphHeight = 9;  // object units; a glyph cell is twice as high in texture units
    int advance = 8;      // between the left edges of neighbouring quads
    int lineHeight = 9;   // used to centre the line vertically
    int charCount = 22;   // quads, i.e. characters shown
    const char* lineFormat = "%.1f Fps (%.1f) [%d]        ";
    char line[128] = {};

  private:
    // Points every quad at the glyph of its character of `line`.
    void selectGlyphs();
    // Puts back the object's own mesh and frees the text mesh, if one is installed.
    void releaseMesh();

    // The text mesh while installed on the object (owned here, never by the object).
    std::unique_ptr<MeshVertex[]> vertices_;
    std::unique_ptr<Material> material_;
    Material* materialList_[1] = {nullptr};
    // What the object carried before the text mesh replaced it.
    bool installed_ = false;
    int savedMaterialCount_ = 0;
    Material** savedMaterials_ = nullptr;
    int savedVertexCount_ = 0;
    MeshVertex* savedVertices_ = nullptr;
    float savedBoundingRadius_ = 0.0f;
};
