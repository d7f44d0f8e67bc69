#pragma once
#include "toolkit/control.h"

namespace tt {

// A windowless surface whose OnPaint draws everything.
class TPaintBox : public TGraphicControl {
  public:
    explicit TPaintBox(TComponent* owner);
    TNotifyEvent OnPaint;
    void Paint() override;
};

}  // namespace tt
