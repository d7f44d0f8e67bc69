#pragma once
#include "controls/Gauges.h"

namespace tt {

// The gauge that the windows place: the same picture, and it answers the mouse (OnClick,
// OnMouseDown, OnMouseMove, OnMouseUp, the pop-up menu); the limit gauge switches its mode
// on a click.
class TProgress : public TGauge {
  public:
    explicit TProgress(TComponent* owner);
};

}  // namespace tt
