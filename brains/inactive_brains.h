// Brain classes the factory knows but which do not act yet: each keeps the base class's
// behaviour (reads nothing, does nothing each frame). Each line gives way to a real class
// in a file of its own when that behaviour is written.
#pragma once

#include "render/brain.h"

// clang-format off
class UserMovement : public Brain { public: using Brain::Brain; };
class SineScroller : public Brain { public: using Brain::Brain; };
class SplineScroller : public Brain { public: using Brain::Brain; };
class Mountain : public Brain { public: using Brain::Brain; };
class DisplayInfo : public Brain { public: using Brain::Brain; };
class MoveFish : public Brain { public: using Brain::Brain; };
class ShadeBobs : public Brain { public: using Brain::Brain; };
class Television : public Brain { public: using Brain::Brain; };
class WaterMovement : public Brain { public: using Brain::Brain; };
// clang-format on
