// lwo-make-seeds DIRECTORY: writes the seed objects of the LightWave reader's fuzz target.
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/lwo_writer.h"

namespace {

LwoWriter mappedQuad(const char* type, uint16_t axis) {
    LwoWriter w;
    w.addPoint(1, 1, 0.5f);
    w.addPoint(-1, 1, -0.5f);
    w.addPoint(-1, -1, 0);
    w.addPoint(1, -1, 0);
    int s = w.addSurfaceName("Skin");
    w.addPolygon({0, 1, 2, 3}, s);
    w.addSurface("Skin")
        .text("CTEX", type)
        .word("TFLG", axis)
        .vector("TSIZ", 2, 2, 2)
        .vector("TCTR", 0.1f, 0, 0)
        .text("TIMG", "skin.raw")
        .flags(4 | 256);
    return w;
}

LwoWriter concave() {
    LwoWriter w;
    const float outline[][2] = {{0, 0}, {9, 0}, {9, 3}, {8, 3}, {8, 1}, {7, 1},
                                {7, 3}, {5, 3}, {5, 1}, {3, 1}, {3, 3}, {0, 3}};
    std::vector<int> corners;
    for (const auto& p : outline) corners.push_back(w.addPoint(p[0], p[1] * 0.6f, p[1] * 0.8f));
    int s = w.addSurfaceName("Comb");
    w.addPolygon(corners, s);
    std::vector<int> star;
    for (int i = 0; i < 10; ++i) {
        float a = static_cast<float>(i) * 0.62831853f;
        float r = (i % 2 == 1) ? 2.0f : 0.8f;
        star.push_back(w.addPoint(r * std::cos(a), r * std::sin(a), 5.0f));
    }
    int t = w.addSurfaceName("Star");
    w.addPolygon(star, t);
    w.addSurface("Star").flags(256).word("TRAN", 128).text("RIMG", "env.raw");
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lwo-make-seeds DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    ok &= makeCube("Box", true, 0).save(dir + "/cube_flat.lwo");
    ok &= makeCube("Box", true, 4 | 256).save(dir + "/cube_smooth_double.lwo");
    ok &= makeCube("Box", false, 0).save(dir + "/cube_no_surf.lwo");
    ok &= mappedQuad("Planar Image Map", 1).save(dir + "/planar.lwo");
    ok &= mappedQuad("Cylindrical Image Map", 2).save(dir + "/cylindrical.lwo");
    ok &= mappedQuad("Spherical Image Map", 4).save(dir + "/spherical.lwo");
    ok &= mappedQuad("Cubic Image Map", 0).save(dir + "/cubic.lwo");
    ok &= concave().save(dir + "/concave.lwo");
    LwoWriter extra = makeCube("A", true, 4);
    extra.addSurfaceName("B");
    extra.addPolygon({0, 1, 2}, 2);
    extra.addPolygon({0, 1, 2}, -1);
    extra.addChunk("CRVS", {0, 1, 2, 3, 4});
    extra.surfaces[0].number("SMAN", 1.6f).word("GLOS", 256).color(10, 20, 30).raw("VDIF", {1});
    ok &= extra.save(dir + "/surfaces_and_details.lwo");
    if (!ok) std::fprintf(stderr, "lwo-make-seeds: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
