// The frame-rate display (DisplayInfo).
//
// Registered with the factory; the behaviour itself is not written yet, so each class keeps
// the base class's behaviour (it reads nothing and does nothing each frame).
#pragma once

#include "render/brain.h"

class DisplayInfo : public Brain {
  public:
    using Brain::Brain;
};
