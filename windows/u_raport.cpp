#include "windows/u_raport.h"

#include <memory>
#include <string_view>
#include <vector>

namespace tt {

TfrmRaport::TfrmRaport(TComponent* owner, TWindowKit& kit)
    : TCompanionForm(owner, kit, "frmRaport", 209, false, TCompanionMove::SystemMove) {
    ListBox1 = Place<TListBox>(this, "ListBox1", 8, 24, 260, 145);
    ListBox1->SetBorderStyle(TBorderStyle::bsNone);
    ListBox1->SetColor(kCompanionColor);
    ListBox1->SetItemHeight(16);
    ListBox1->SetTabOrder(0);
    ListBox1->OnDrawItem = [this](TWinControl* c, int i, TRect r, TOwnerDrawState s) {
        ListBox1DrawItem(c, i, r, s);
    };

    PaintBox1 = Place<TPaintBox>(this, "PaintBox1", 8, 8, 260, 17);
    PaintBox1->OnPaint = [this](TComponent* s) { PaintBox1Paint(s); };

    Klawisze = Place<TBMPButton>(this, "Klawisze", 197, 176, 1, 1);
    Klawisze->SetButtons(&kit_.Skins.ImageList1);
    Klawisze->SetOrientation(TLayOut::loHor);
    Klawisze->OnClick = [this](TComponent* s) { KlawiszeClick(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
}

namespace {

// The log's lines as the window was filled: one copy of the text with the start of every 64th
// line, so that a log of millions of short lines costs little more than its own size (a string
// per line would cost many times that). The list asks only for the rows it draws.
class TLogCopy : public TListItems {
  public:
    explicit TLogCopy(const TLogLines& lines) : text_(lines.FileImage()), count_(lines.size()) {
        marks_.reserve(count_ / kStep + 1);
        for (size_t i = 0; i < count_; i += kStep) marks_.push_back(Start(lines, i));
    }
    size_t size() const override { return count_; }
    std::string_view operator[](size_t index) const override {
        // Every line ends in CR LF and holds no other line end (the log keeps them so).
        size_t at = marks_[index / kStep];
        for (size_t k = index % kStep; k > 0; --k) at = text_.find('\n', at) + 1;
        return std::string_view(text_).substr(at, text_.find('\n', at) - 1 - at);
    }

  private:
    static constexpr size_t kStep = 64;
    size_t Start(const TLogLines& lines, size_t i) const {
        return static_cast<size_t>(lines[i].data() - lines.FileImage().data());
    }
    std::string text_;
    size_t count_;
    std::vector<size_t> marks_;
};

}  // namespace

void TfrmRaport::CopyLog(const TLogLines& LogLines) {
    // The old copy goes first, so that two copies of a long log are never held at once.
    ListBox1->Clear();
    ListBox1->SetItemSource(std::make_unique<TLogCopy>(LogLines));
}

void TfrmRaport::FormCreate(TComponent*) {
    Klawisze->SetAltDrawing(kit_.AltDrawing);
}

void TfrmRaport::PaintBox1Paint(TComponent*) {
    Canvas& canvas = PaintBox1->GetCanvas();
    canvas.Font() = PaintBox1->Font();
    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    // The columns follow the list, so the width is the list's as it is now.
    const int column = ListBox1->Width() / 4;
    canvas.DrawTextAt(2, 2, "Data");
    canvas.DrawTextAt(column, 2, "Czas");
    canvas.DrawTextAt(2 * column, 2, "Impulsy");
    canvas.DrawTextAt(3 * column, 2, "Koszt");
}

void TfrmRaport::ListBox1DrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState) {
    Canvas& canvas = ListBox1->GetCanvas();
    // The list darkens the text of a selected row; the light yellow stays on the selection.
    canvas.Font() = ListBox1->Font();
    canvas.FillRect(Rect);

    std::string_view line = ListBox1->Items()[static_cast<size_t>(Index)];
    const int column = ListBox1->Width() / 4;
    TRect cell = Rect;
    // Field after field up to each TAB; a line without its final TAB has one more field, and
    // a field beyond the fourth starts past the row's right edge, where nothing shows.
    while (!line.empty()) {
        const size_t tab = line.find('\t');
        const std::string_view field = line.substr(0, tab);
        canvas.DrawTextLine(cell, field, TextPrefix::None);
        if (tab == std::string_view::npos) break;
        cell.Left += column;
        line.remove_prefix(tab + 1);
    }
}

void TfrmRaport::KlawiszeClick(TComponent*) {
    const int index = Klawisze->CommandIndex();
    if (index == 0 || index == 1) Close();
}

}  // namespace tt
