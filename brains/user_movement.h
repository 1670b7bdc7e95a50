// Keyboard flight (UserMovement) and the keyframe recorder (MoveFish).
//
// Registered with the factory; the behaviour itself is not written yet, so each class keeps
// the base class's behaviour (it reads nothing and does nothing each frame).
#pragma once

#include "render/brain.h"

class UserMovement : public Brain {
  public:
    using Brain::Brain;
};

class MoveFish : public Brain {
  public:
    using Brain::Brain;
};
