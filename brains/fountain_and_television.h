// The particle fountain (ShadeBobs) and the live video texture (Television).
//
// Registered with the factory; the behaviour itself is not written yet, so each class keeps
// the base class's behaviour (it reads nothing and does nothing each frame).
#pragma once

#include "render/brain.h"

class ShadeBobs : public Brain {
  public:
    using Brain::Brain;
};

class Television : public Brain {
  public:
    using Brain::Brain;
};
