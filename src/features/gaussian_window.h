#pragma once
// The Gaussian weight of a feature window, shared by every window of every level.

#include <memory>

#include "features/grad_dist.h"

namespace slidetrack {

// A size x size bell: the response of a Gaussian of sigma size / (8 sqrt 2) to a unit
// impulse at (size/2, size/2). Sizes below 1 are taken as 1.
std::unique_ptr<GaussianWindowWeight> gaussianWindowWeightCreate(int size);

}  // namespace slidetrack
