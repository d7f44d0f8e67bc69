// A sample form with standard controls behind a tray icon, on the Qt backend. A left click on
// the icon shows the form in the bottom-right corner of the work area, a right click opens the
// menu, and the form is dragged by its paint box. It prints what it does, for the smoke
// (smoke.sh):
//   qt_demo [--builtin-font] [--show]   run on the desktop
//   qt_demo --snapshot FILE             write what the headless backend shows of the form
// With --builtin-font the text is the headless backend's, so a screenshot of the form can be
// compared with the snapshot pixel for pixel.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "platform/qt/qt_backend.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/menus.h"
#include "toolkit/stdctrls.h"

using namespace tt;

namespace {

constexpr TColor kField = ColorRGB(0, 0, 64);
constexpr TColor kInk = ColorRGB(255, 255, 128);

class TfrmDemo : public TForm {
  public:
    explicit TfrmDemo(TComponent* owner) : TForm(owner) {
        SetName("frmDemo");
        SetCaption("Taktomat – próbka");
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetFormStyle(TFormStyle::fsStayOnTop);
        SetToolWindow(true);
        SetBounds(0, 0, 200, 130);
        SetColor(kField);
        TFont font;
        font.Color = kInk;
        SetFont(font);

        auto* label = new TLabel(this);
        label->SetName("lblName");
        label->SetParent(this);
        label->SetCaption("&Nazwa:");
        label->SetBounds(8, 9, 1, 1);
        label->SetTransparent(true);

        auto* edit = new TEdit(this);
        edit->SetName("edtName");
        edit->SetParent(this);
        edit->SetBounds(60, 6, 132, 18);
        edit->SetFont(TFont{});
        edit->SetText("Zażółć 0,25 zł");

        auto* combo = new TComboBox(this);
        combo->SetName("cmbEntry");
        combo->SetParent(this);
        combo->SetBounds(8, 30, 184, 20);
        combo->SetColor(kField);
        combo->SetItems({"Połączenie 1", "TPSA", "Inny dostawca"});
        combo->SetItemIndex(0);

        auto* list = new TListBox(this);
        list->SetName("ListBox1");
        list->SetParent(this);
        list->SetBounds(8, 56, 120, 66);
        list->SetColor(kField);
        list->SetItemHeight(16);
        list->SetItems({"01-03  5", "02-03  12", "03-03  7"});
        list->SetItemIndex(1);

        auto* box = new TPaintBox(this);
        box->SetName("PaintBox1");
        box->SetParent(this);
        box->SetBounds(134, 56, 58, 66);
        box->OnPaint = [box](TComponent*) {
            Canvas& c = box->GetCanvas();
            c.Brush().Color = clBlack;
            c.FillRect({0, 0, 58, 66});
            c.Brush().Color = clLime;
            c.FillRect({4, 40, 54, 62});
            c.Brush().Color = clRed;
            c.FillRect({4, 4, 54, 18});
            c.Pen().Color = clYellow;
            c.Ellipse(18, 20, 40, 40);
        };
    }
};

Bitmap TrayPicture() {
    Bitmap icon(16, 16);
    Canvas& c = icon.GetCanvas();
    c.Brush().Color = kField;
    c.FillRect(icon.BoundsRect());
    c.Brush().Color = kInk;
    c.Pen().Color = kInk;
    c.Ellipse(2, 2, 14, 14);
    return icon;
}

int Snapshot(const std::string& path) {
    headless::HeadlessBackend backend;
    Application app(backend);
    auto& form = app.CreateForm<TfrmDemo>();
    form.Show();
    app.ProcessMessages();
    HeadlessDriver(app, backend).SavePng("frmDemo", path);
    return 0;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int RunOnDesktop(int argc, char** argv, bool builtinFont, bool showAtStart) {
    qt::QtBackend backend(argc, argv);
    if (builtinFont) SetCurrentFontEngine(nullptr);
    Application app(backend);
    app.SetTitle("Taktomat – próbka");
    auto& form = app.CreateForm<TfrmDemo>();

    auto* menu = new TPopupMenu(&form);
    auto* show = new TMenuItem(&form);
    show->SetCaption("&Pokaż");
    auto* line = new TMenuItem(&form);
    line->SetCaption("-");
    auto* quit = new TMenuItem(&form);
    quit->SetCaption("&Zakończ");
    menu->Add(*show);
    menu->Add(*line);
    menu->Add(*quit);

    const auto showForm = [&] {
        const TRect work = app.WorkArea();
        form.SetBounds(work.Right - form.Width(), work.Bottom - form.Height(), form.Width(),
                       form.Height());
        form.Show();
        Say("form " + std::to_string(form.Left()) + " " + std::to_string(form.Top()) + " " +
            std::to_string(form.Width()) + " " + std::to_string(form.Height()));
    };
    show->OnClick = [&](TComponent*) {
        Say("menu Pokaż");
        showForm();
    };
    quit->OnClick = [&](TComponent*) {
        Say("menu Zakończ");
        app.Terminate();
    };
    app.OnTrayMouse = [&](ui::TrayMouse what, TPoint at) {
        const std::string where = std::to_string(at.X) + " " + std::to_string(at.Y);
        switch (what) {
            case ui::TrayMouse::LeftDown:
                Say("tray left " + where);
                showForm();
                break;
            case ui::TrayMouse::LeftDoubleClick:
                Say("tray double " + where);
                break;
            case ui::TrayMouse::RightDown:
                Say("tray right " + where);
                menu->Popup(at.X, at.Y);
                break;
        }
    };

    // The paint box is the form's handle: dragging it moves the form.
    TControl* handle = form.FindControl("PaintBox1");
    handle->OnMouseDown = [&](TComponent*, TMouseButton button, TShiftState, int, int) {
        if (button != TMouseButton::mbLeft) return;
        form.StartSystemMove([&] {
            Say("moved " + std::to_string(form.Left()) + " " + std::to_string(form.Top()));
        });
    };

    const Bitmap picture = TrayPicture();
    app.ShowTrayIcon("Taktomat – próbka", &picture);
    Say("tray shown");
    if (showAtStart) showForm();
    app.Run();
    Say("end");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        bool builtinFont = false;
        bool showAtStart = false;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--snapshot") == 0 && i + 1 < argc) {
                return Snapshot(argv[i + 1]);
            }
            if (std::strcmp(argv[i], "--builtin-font") == 0) builtinFont = true;
            if (std::strcmp(argv[i], "--show") == 0) showAtStart = true;
        }
        return RunOnDesktop(argc, argv, builtinFont, showAtStart);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qt_demo: %s\n", e.what());
        return 1;
    }
}
