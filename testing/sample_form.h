#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The sample form: a label, an edit field, a drop-down list, an owner-drawn list and a paint
// box on a dark, borderless form, like the program's windows.
class TSampleForm : public TForm {
  public:
    TLabel* lblName;
    TEdit* edtName;
    TComboBox* cmbEntry;
    TListBox* ListBox1;
    TPaintBox* PaintBox1;
    std::vector<std::string> log;  // events in the order they came
    int paintBoxPaints = 0;

    explicit TSampleForm(TComponent* owner) : TForm(owner) {
        SetName("frmSample");
        SetCaption("Próbka");
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetFormStyle(TFormStyle::fsStayOnTop);
        SetBounds(600, 500, 200, 130);
        SetColor(ColorRGB(0, 0, 64));
        TFont font;
        font.Color = ColorRGB(255, 255, 128);
        SetFont(font);

        lblName = new TLabel(this);
        lblName->SetName("lblName");
        lblName->SetParent(this);
        lblName->SetCaption("&Nazwa:");
        lblName->SetBounds(8, 9, 1, 1);  // the size follows the text
        lblName->SetTransparent(true);

        edtName = new TEdit(this);
        edtName->SetName("edtName");
        edtName->SetParent(this);
        edtName->SetBounds(60, 6, 132, 18);
        edtName->SetFont(TFont{});
        edtName->SetMaxLength(12);

        cmbEntry = new TComboBox(this);
        cmbEntry->SetName("cmbEntry");
        cmbEntry->SetParent(this);
        cmbEntry->SetBounds(8, 30, 184, 20);
        cmbEntry->SetColor(ColorRGB(0, 0, 64));
        cmbEntry->SetItems({"Połączenie 1", "TPSA", "Inny dostawca"});
        cmbEntry->SetItemIndex(0);

        ListBox1 = new TListBox(this);
        ListBox1->SetName("ListBox1");
        ListBox1->SetParent(this);
        ListBox1->SetBounds(8, 56, 120, 66);
        ListBox1->SetBorderStyle(TBorderStyle::bsNone);
        ListBox1->SetColor(ColorRGB(0, 0, 64));
        ListBox1->SetItemHeight(16);
        ListBox1->SetItems({"01-03\t5", "02-03\t12", "03-03\t&7"});
        ListBox1->OnDrawItem = [this](TWinControl*, int index, TRect rect, TOwnerDrawState) {
            Canvas& c = ListBox1->GetCanvas();
            c.Font() = ListBox1->Font();
            c.FillRect(rect);
            const std::string line(ListBox1->Items()[static_cast<size_t>(index)]);
            const size_t tab = line.find('\t');
            c.DrawTextLine(rect, line.substr(0, tab), TextPrefix::None);
            c.DrawTextLine({rect.Left + 60, rect.Top, rect.Right, rect.Bottom},
                           line.substr(tab + 1), TextPrefix::None);
        };

        PaintBox1 = new TPaintBox(this);
        PaintBox1->SetName("PaintBox1");
        PaintBox1->SetParent(this);
        PaintBox1->SetBounds(134, 56, 58, 66);
        PaintBox1->OnPaint = [this](TComponent*) { PaintSample(); };

        for (TControl* c :
             std::initializer_list<TControl*>{PaintBox1, edtName, cmbEntry, ListBox1}) {
            c->OnMouseDown = [this](TComponent* s, TMouseButton, TShiftState, int x, int y) {
                log.push_back("down " + s->Name() + " " + std::to_string(x) + "," +
                              std::to_string(y));
            };
            c->OnMouseUp = [this](TComponent* s, TMouseButton, TShiftState, int x, int y) {
                log.push_back("up " + s->Name() + " " + std::to_string(x) + "," +
                              std::to_string(y));
            };
            c->OnClick = [this](TComponent* s) { log.push_back("click " + s->Name()); };
            c->OnDblClick = [this](TComponent* s) { log.push_back("dblclick " + s->Name()); };
        }
        for (TWinControl* c : std::initializer_list<TWinControl*>{edtName, cmbEntry, ListBox1}) {
            c->OnEnter = [this](TComponent* s) { log.push_back("enter " + s->Name()); };
            c->OnExit = [this](TComponent* s) { log.push_back("exit " + s->Name()); };
        }
    }

    // Fixed pixels: fills, a copy, XOR, stretch and a transparent copy.
    void PaintSample() {
        ++paintBoxPaints;
        Canvas& c = PaintBox1->GetCanvas();
        c.Brush().Color = clRed;
        c.FillRect({0, 0, 20, 10});
        Bitmap green(4, 4);
        green.GetCanvas().Brush().Color = clLime;
        green.GetCanvas().FillRect(green.BoundsRect());
        c.BitBlt(24, 0, 4, 4, green, 0, 0, TRasterOp::SrcCopy);
        c.Brush().Color = clBlue;
        c.FillRect({0, 12, 20, 22});
        Bitmap white(20, 10);  // new bitmaps are white
        c.BitBlt(0, 12, 20, 10, white, 0, 0, TRasterOp::SrcInvert);
        Bitmap quad(2, 2);
        quad.SetPixel(0, 0, clRed);
        quad.SetPixel(1, 0, clLime);
        quad.SetPixel(0, 1, clBlue);
        c.StretchDraw({0, 24, 20, 44}, quad);
        Bitmap keyed(4, 4);
        keyed.GetCanvas().Brush().Color = clFuchsia;
        keyed.GetCanvas().FillRect(keyed.BoundsRect());
        keyed.SetPixel(1, 1, clAqua);
        c.TransparentDraw(30, 24, keyed, keyed.BoundsRect(), clFuchsia);
    }
};

}  // namespace tt
