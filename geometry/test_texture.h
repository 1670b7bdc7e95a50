// For the geometry tests only: a stand-in for the texture record. The mesh build looks
// textures up by name and keeps the pointer, never reading the record, so the tests need
// neither the texture loader nor the board behind it.
#pragma once

#include <string>

class Texture {
  public:
    std::string name;
};
