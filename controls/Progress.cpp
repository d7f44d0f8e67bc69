#include "controls/Progress.h"

namespace tt {

TProgress::TProgress(TComponent* owner) : TGauge(owner) {}

}  // namespace tt
