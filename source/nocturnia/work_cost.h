// What one sample costs under the node's current parameters, for the host's
// warning before long work: every enabled star-field layer walks one pass per
// whole unit of its Density (plus one), a single star costs one; the layer
// whose Density asks for the most passes is named.
#pragma once

#include "c4d.h"

namespace nocturnia {

NocWorkCost SampleWorkCost(const BaseContainer& container);

}  // namespace nocturnia
