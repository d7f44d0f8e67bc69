#pragma once
#include <array>
#include <string>

#include "controls/BMPButton.h"
#include "controls/window_kit.h"
#include "log/log_file.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The log as a four-column table: date, duration, pulses and cost, one row per line, oldest
// first. It shows a copy taken when the report command opens it, so a connection that ends
// while it is open appears only at the next opening.
class TfrmRaport : public TCompanionForm {
  public:
    TfrmRaport(TComponent* owner, TWindowKit& kit);

    TPaintBox* PaintBox1;
    TListBox* ListBox1;
    TBMPButton* Klawisze;

    // Replaces the rows with the log's lines as they are now, scrolled to the newest; the
    // report command calls it before it places and shows the window.
    void CopyLog(const TLogLines& LogLines);

    void FormCreate(TComponent* Sender);
    void PaintBox1Paint(TComponent* Sender);
    void ListBox1DrawItem(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State);
    void KlawiszeClick(TComponent* Sender);

  private:
    static constexpr int kColumnGap = 6;
    // Where each column begins within a row, from the widths of the fields last copied.
    std::array<int, 4> ColumnStarts() const;
    std::array<int, 3> fieldWidths_{};
};

}  // namespace tt
