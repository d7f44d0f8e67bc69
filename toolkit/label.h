#pragma once
#include <string>

#include "toolkit/control.h"

namespace tt {

// A caption painted on its parent; sized to its text while AutoSize is on, and see-through
// while Transparent is on.
class TLabel : public TGraphicControl {
  public:
    explicit TLabel(TComponent* owner);

    void SetText(const std::string& value) override;
    // While AutoSize is on, only the place is taken: the size stays that of the text.
    void SetBounds(int left, int top, int width, int height) override;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);

    void Paint() override;
    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  protected:
    void FontChanged() override;
    void MeasureWaitingText() override;

  private:
    void AdjustSize();
    bool autoSize_ = true;
    // Sized to its text while AutoSize is on, and that text not measured yet.
    bool sizeWaits_ = false;
    bool transparent_ = false;
    bool showAccelChar_ = true;
};

}  // namespace tt
