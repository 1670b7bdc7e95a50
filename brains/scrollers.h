// 3D text scrollers: letters on a sine wave (SineScroller) and along a spline (SplineScroller).
//
// Registered with the factory; the behaviour itself is not written yet, so each class keeps
// the base class's behaviour (it reads nothing and does nothing each frame).
#pragma once

#include "render/brain.h"

class SineScroller : public Brain {
  public:
    using Brain::Brain;
};

class SplineScroller : public Brain {
  public:
    using Brain::Brain;
};
