#include "art_math.h"

#ifdef ART_MATH_NUDGE
namespace art::math {

int nudge = 0;

}  // namespace art::math
#endif
