// The cycle parameters of a star layer (Mode, Show Flares, Flare Type, Star
// Color Mode) as typed values. Each enum has Int32 underneath, so a stored
// value that is none of its entries is kept as it is and every test that
// names an entry treats it as "not that entry": such a Mode draws neither a
// field nor a single star, such a Show Flares neither hides nor shows flares
// (they are evaluated but add nothing), such a Flare Type draws one cross,
// and such a Star Color Mode picks colours at random.
#pragma once

#include "c4d.h"

namespace nocturnia {

enum class LayerMode : Int32 { kStarField = 0, kSingleStar = 1 };
enum class ShowFlares : Int32 { kSizeDependent = 0, kAlways = 1, kNever = 2 };
enum class FlareType : Int32 { kTwoCrosses = 0, kOneCross = 1, kSingle = 2 };
enum class StarColorMode : Int32 { kRandom = 0, kSizeDependent = 1 };

// The stored integer of an entry, for writing it into a container.
template <class Cycle> constexpr Int32 StoredValue(Cycle entry) { return static_cast<Int32>(entry); }

}  // namespace nocturnia
