#include "passthrough/util/Net_Pooled.h"

bool Net_Release(Net_Pooled* object) {
  delete object;
  return true;
}
