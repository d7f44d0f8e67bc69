#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/image_list.h"

namespace tt {

enum class TLayOut : std::uint8_t {
    loHor,  // side by side, left to right
    loVer,  // stacked, top to bottom
};

// A row or column of push buttons cut from an image list, three cells per button: normal,
// highlighted and pressed. One OnClick serves the whole bar; its handler reads CommandIndex
// to learn which button was meant.
class TBMPButton : public TCustomControl {
  public:
    explicit TBMPButton(TComponent* owner);

    // Not owned. Null is ignored, so a bar never loses its cells once it has them. Until
    // the list holds a whole button the bar behaves as if it had none.
    ImageList* Buttons() const { return buttons_; }
    void SetButtons(ImageList* list);
    const std::vector<std::string>& Hints() const { return hints_; }
    void SetHints(const std::vector<std::string>& lines) { hints_ = lines; }
    TLayOut Orientation() const { return orientation_; }
    void SetOrientation(TLayOut value);

    // The button under the pointer at the last press, move or release; 0 is the first.
    int CommandIndex() const { return commandIndex_; }
    void SetCommandIndex(int value) { commandIndex_ = value; }
    // 0 none, 1 highlighted, 2 pressed; for the button CommandIndex only.
    int HoverState() const { return hoverState_; }
    // Each cell goes through ScratchBitmap first: for display drivers that garble an
    // image list drawing straight into a bitmap.
    bool AltDrawing() const { return altDrawing_; }
    void SetAltDrawing(bool value) { altDrawing_ = value; }

    // The composed bar as last drawn.
    const Bitmap& StripBitmap() const { return strip_; }
    // Whole buttons in the list: cells left over are never shown.
    int ButtonCount() const;

    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    void SizeStrip();
    void RenderStrip();
    // Renders and shows the bar now rather than at the next paint.
    void RepaintNow();
    void IndexFrom(int x, int y);
    void DrawCell(int index, int x, int y);
    std::string HintsText() const;

    ImageList* buttons_ = nullptr;
    std::vector<std::string> hints_;
    TLayOut orientation_ = TLayOut::loHor;
    int commandIndex_ = 0;
    int hoverState_ = 0;
    bool altDrawing_ = false;
    Bitmap strip_;
    Bitmap scratch_;
};

}  // namespace tt
