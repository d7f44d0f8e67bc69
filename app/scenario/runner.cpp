#include "app/scenario/runner.h"

#include <stdlib.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "app/program.h"
#include "app/scenario/script.h"
#include "base/datetime.h"
#include "base/error.h"
#include "base/format.h"
#include "controls/BMPButton.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "platform/net/host_address.h"
#include "platform/ras/simulated_line.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt::scenario {

namespace {

// Time moves in slices no longer than this, the line first, so what the line reports and
// the program's timers interleave as they would on a real machine to within a slice.
constexpr int64_t kSliceMs = 100;

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// A failed expect: not a fault of the script, so it is told apart from ScriptError.
struct ExpectFailed {
    std::string Expected;
    std::string Got;
};

class Session {
  public:
    explicit Session(std::filesystem::path folder)
        : folder_(std::move(folder)),
          line_(SimulatedLine::Timing::Virtual,
                [this](std::optional<std::string> address) { host_.Set(std::move(address)); }),
          format_(MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',')) {
        host_.Set("127.0.0.1");
        backend_.SetRealWaitLimit(0);
        // The program's own waits (a hang-up waiting for the line) move the backend's time:
        // the line must see that time pass too, or it never reports the connection gone.
        backend_.SetTimeHook([this](int64_t ms) { line_.AdvanceTo(ms); });
    }

    ~Session() {
        // The program's windows and timers go before the backend and line they use.
        driver_.reset();
        program_.reset();
    }

    void Execute(const Command& c, std::ostream& out) {
        const auto& a = c.Args;
        const std::string& name = a[0];
        if (name == "locale") {
            format_ = MakeFormatSettings(a[1], a[2], a[3][0]);
        } else if (name == "screen") {
            const int w = Int(a[1]), h = Int(a[2]);
            backend_.SetScreen({0, 0, w, h}, {Int(a[3]), Int(a[4]), Int(a[5]), Int(a[6])});
        } else if (name == "now") {
            WallTime t;
            ParseWallTime(a[1], a[2], t);
            backend_.SetWallClock(EncodeDate(t.Year, t.Month, t.Day) +
                                  EncodeTime(t.Hour, t.Minute, t.Second));
        } else if (name == "host") {
            host_.SetText(a[1]);
        } else if (name == "file") {
            std::ofstream file(InFolder(a[1]), std::ios::binary | std::ios::trunc);
            file << a[2];
            if (!file.flush()) throw Error("cannot write " + a[1]);
        } else if (name == "delete") {
            std::error_code ec;
            std::filesystem::remove(InFolder(a[1]), ec);
        } else if (name == "phonebook") {
            line_.SetPhoneBook({a.begin() + 1, a.end()});
        } else if (name == "line") {
            line_.SetDialPlan(a[1], *ParseDialPlan({a.begin() + 2, a.end()}));
        } else if (name == "dial") {
            Dial(a[1]);
        } else if (name == "answer") {
            static const std::map<std::string, int, std::less<>> answers{{"ok", ui::kIdOk},
                                                                         {"cancel", ui::kIdCancel},
                                                                         {"yes", ui::kIdYes},
                                                                         {"no", ui::kIdNo}};
            backend_.QueueMessageBoxAnswer(answers.at(a[1]));
        } else if (name == "start") {
            if (program_) throw Error("the program is already running");
            Start();
        } else if (name == "restart") {
            Start();
        } else if (name == "tick") {
            Advance(a.size() > 1 ? Int(a[1]) * int64_t{1000} : 1000);
        } else if (name == "wait") {
            Advance(Int(a[1]));
        } else if (name == "stall") {
            const int64_t ms = Int(a[1]);
            backend_.Stall(ms);
        } else if (name == "click" || name == "rclick" || name == "dblclick") {
            const auto [x, y] = Point(a, 1);
            if (name == "click") {
                Driver().Click(a[1], x, y);
            } else if (name == "dblclick") {
                Driver().DblClick(a[1], x, y);
            } else {
                Driver().Move(a[1], x, y);
                Driver().Press(a[1], x, y, TMouseButton::mbRight);
                Driver().Release(a[1], x, y, TMouseButton::mbRight);
            }
        } else if (name == "press" || name == "release") {
            const TMouseButton button =
                a.size() == 5 ? TMouseButton::mbRight : TMouseButton::mbLeft;
            if (name == "press") {
                Driver().Press(a[1], Int(a[2]), Int(a[3]), button);
            } else {
                Driver().Release(a[1], Int(a[2]), Int(a[3]), button);
            }
        } else if (name == "move") {
            Driver().Move(a[1], Int(a[2]), Int(a[3]));
        } else if (name == "bar") {
            Bar(a[1], Int(a[2]));
        } else if (name == "key") {
            Focus(a[1]);
            static const std::map<std::string, std::string, std::less<>> keys{
                {"up", "Up"},       {"down", "Down"},   {"left", "Left"}, {"right", "Right"},
                {"space", "Space"}, {"enter", "Enter"}, {"esc", "Esc"},   {"backspace", "Back"}};
            if (auto it = keys.find(a[2]); it != keys.end()) {
                Driver().Key(it->second);
            } else if (std::isalnum(static_cast<unsigned char>(a[2][0]))) {
                Driver().Key(a[2]);
                Driver().Type(a[2]);
            } else {
                Driver().Type(a[2]);
            }
        } else if (name == "type") {
            Focus(a[1]);
            if (auto* edit = dynamic_cast<TEdit*>(&Driver().Find(a[1]))) edit->SelectAll();
            Driver().Type(a[2]);
        } else if (name == "select") {
            const std::string items = Driver().Property(a[1], "Items");
            const int index = Int(a[2]);
            std::vector<std::string> list;
            size_t pos = 0;
            for (;;) {
                const size_t bar = items.find('|', pos);
                list.push_back(items.substr(pos, bar - pos));
                if (bar == std::string::npos) break;
                pos = bar + 1;
            }
            if (items.empty() || index >= static_cast<int>(list.size())) {
                throw Error(a[1] + " has no item " + a[2]);
            }
            Driver().Select(a[1], list[static_cast<size_t>(index)]);
        } else if (name == "tray") {
            if (a[1] == "click") {
                Driver().TrayClick();
            } else if (a[1] == "dblclick") {
                Driver().TrayDblClick();
            } else {
                Driver().TrayMenu(MenuCaption(a[2]));
            }
        } else if (name == "print") {
            for (size_t i = 1; i < a.size(); ++i) {
                out << a[i] << " = " << Printable(Evaluate(ParseExpression(a[i], c.Line))) << "\n";
            }
        } else if (name == "expect") {
            std::string got = Evaluate(ParseExpression(a[1], c.Line));
            if (got != a[2]) throw ExpectFailed{a[2], std::move(got)};
        } else if (name == "snapshot") {
            // Beside the caller, not in the program folder: a fresh folder goes with the run.
            Driver().SavePng(a[1], a[2]);
        }
        // A real program's process ends with its message loop: nothing of it may linger to
        // touch the folder after the script has moved on (a later `file`, a new `start`).
        if (program_ && !program_->Running()) {
            driver_.reset();
            program_.reset();
        }
    }

  private:
    static int Int(const std::string& text) {
        int64_t v = 0;
        ParseInt(text, v);
        return static_cast<int>(v);
    }

    std::filesystem::path InFolder(const std::string& name) const {
        const std::filesystem::path p(name);
        for (const auto& part : p) {
            if (part == "..") throw Error("file names stay in the program folder: " + name);
        }
        if (p.is_absolute() || name.empty())
            throw Error("file names stay in the program folder: " + name);
        return folder_ / p;
    }

    void Start() {
        driver_.reset();
        program_.reset();
        beepsRead_ = backend_.Beeps().size();
        messagesRead_ = backend_.MessageBoxes().size();
        program_ =
            // The second place goes with the run's folder: a run leaves nothing in the user's
            // own state folder.
            std::make_unique<TTaktomat>(
                TProgramServices{backend_, host_, line_, folder_, format_,
                                 folder_ / ".state" / "raport-unsaved.txt"});
        driver_ = std::make_unique<HeadlessDriver>(program_->App(), backend_);
        program_->Start();
    }

    HeadlessDriver& Driver() {
        if (!driver_) throw Error("the program is not running");
        return *driver_;
    }

    // Both clocks move together: the line's events of a slice are delivered (and what they post
    // handled) before the program's timers of that slice fire.
    void Advance(int64_t ms) {
        const int64_t end = backend_.MonotonicMs() + ms;
        while (backend_.MonotonicMs() < end) {
            const int64_t now = backend_.MonotonicMs();
            const int64_t step = std::min(end - now, kSliceMs - now % kSliceMs);
            line_.AdvanceTo(now + step);  // what the line reports comes before the timers
            backend_.Advance(step);
        }
    }

    // Another program dials: the line goes through its steps as time passes, and the program
    // under test learns of it only through the host address and the line's connections.
    void Dial(const std::string& entry) {
        RASDIALPARAMSA params{};
        params.dwSize = sizeof params;
        if (entry.size() > static_cast<size_t>(kRasMaxEntryName))
            throw Error("entry name too long: " + entry);
        entry.copy(params.szEntryName, entry.size());
        HRasConn connection = 0;
        const uint32_t result =
            line_.RasDialA(nullptr, nullptr, &params, 0, &IgnoreDialProgress, &connection);
        if (result != 0)
            throw Error("the line cannot dial " + entry + ": error " + std::to_string(result));
    }
    // Entry names of the line's connections, blank-separated, in the order they were dialled.
    std::string LineConnections() {
        std::vector<RASCONNA> list(16);
        for (auto& c : list) c.dwSize = sizeof(RASCONNA);
        uint32_t size = static_cast<uint32_t>(list.size() * sizeof(RASCONNA));
        uint32_t count = 0;
        if (line_.RasEnumConnectionsA(list.data(), &size, &count) != 0)
            throw Error("the line cannot list its connections");
        std::string names;
        for (uint32_t i = 0; i < count; ++i) {
            if (!names.empty()) names += ' ';
            names += list[i].szEntryName;
        }
        return names;
    }
    static void TT_RAS_CALL IgnoreDialProgress(uint32_t, uint32_t, uint32_t) {}

    std::pair<int, int> Point(const std::vector<std::string>& a, size_t at) {
        if (a.size() > at + 2) return {Int(a[at + 1]), Int(a[at + 2])};
        const TControl& control = Driver().Find(a[at]);
        return {control.Width() / 2, control.Height() / 2};
    }

    void Bar(const std::string& path, int index) {
        auto* bar = dynamic_cast<TBMPButton*>(&Driver().Find(path));
        if (!bar || !bar->Buttons()) throw Error(path + " is not a button bar");
        if (index >= bar->ButtonCount())
            throw Error(path + " has no button " + std::to_string(index));
        const int w = bar->Buttons()->Width(), h = bar->Buttons()->Height();
        if (bar->Orientation() == TLayOut::loHor) {
            Driver().Click(path, index * w + w / 2, bar->Height() / 2);
        } else {
            Driver().Click(path, bar->Width() / 2, index * h + h / 2);
        }
    }

    void Focus(const std::string& path) {
        TControl& control = Driver().Find(path);
        if (TForm* form = control.ParentForm(); form && form->WindowId()) {
            backend_.Activate(form->WindowId());
        }
        if (auto* win = dynamic_cast<TWinControl*>(&control)) win->SetFocus();
        program_->App().ProcessMessages();
    }

    // A menu item is named in scripts as in the program ("Zamknij1"); the menu shows captions.
    std::string MenuCaption(const std::string& item) {
        for (TForm* form : program_->App().Forms()) {
            try {
                return Driver().Property(form->Name() + "." + item, "Caption");
            } catch (const Error&) {
            }
        }
        throw Error("no menu item " + item);
    }

    std::string Evaluate(const Expression& e) {
        switch (e.What) {
            case Expression::Kind::Beeps: {
                const auto& all = backend_.Beeps();
                std::vector<int> fresh(all.begin() + static_cast<std::ptrdiff_t>(beepsRead_),
                                       all.end());
                beepsRead_ = all.size();
                return BeepsText(fresh);
            }
            case Expression::Kind::Messages: {
                const auto& all = backend_.MessageBoxes();
                std::vector<MessageRecord> fresh;
                for (size_t i = messagesRead_; i < all.size(); ++i) {
                    fresh.push_back({all[i].caption, all[i].text, all[i].flags});
                }
                messagesRead_ = all.size();
                return MessagesText(fresh);
            }
            case Expression::Kind::File: {
                const auto path = InFolder(e.Name);
                if (!std::filesystem::is_regular_file(path)) return "<missing>";
                return ReadWholeFile(path);
            }
            case Expression::Kind::Pixel: {
                const Bitmap shot = Driver().Snapshot(e.Window);
                if (e.X >= shot.Width() || e.Y >= shot.Height()) {
                    throw Error("pixel outside " + e.Window);
                }
                return std::to_string(shot.GetPixel(e.X, e.Y));
            }
            case Expression::Kind::Connections:
                return LineConnections();
            case Expression::Kind::WindowProperty:
                return Driver().FindForm(e.Window).GetProperty(e.Name);
            case Expression::Kind::ComponentProperty:
                return Driver().Property(e.Component, e.Name);
            case Expression::Kind::ProgramValue: {
                if (!program_) {
                    if (e.Name == "Running") return "false";
                    throw Error("the program is not running");
                }
                auto value = program_->ValueOf(e.Name);
                if (!value) throw Error("no program-wide value " + e.Name);
                return *value;
            }
        }
        return {};
    }

    std::filesystem::path folder_;
    headless::HeadlessBackend backend_;
    ScriptedHostAddressSource host_;
    SimulatedLine line_;
    FormatSettings format_;
    size_t beepsRead_ = 0;
    size_t messagesRead_ = 0;
    std::unique_ptr<TTaktomat> program_;
    std::unique_ptr<HeadlessDriver> driver_;
};

// A fresh folder that goes with the run.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "taktomat-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw Error("cannot make a temporary folder");
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace

Outcome RunScript(const std::string& name, std::string_view text,
                  const std::optional<std::filesystem::path>& folder, std::ostream& out,
                  std::ostream& err) {
    std::vector<Command> script;
    try {
        script = ParseScript(text);
    } catch (const ScriptError& e) {
        err << name << ":" << e.Line() << ": " << e.what() << "\n";
        return Outcome::ScriptFault;
    }
    std::optional<TemporaryFolder> temporary;
    std::filesystem::path where;
    try {
        if (folder) {
            std::filesystem::create_directories(*folder);
            where = *folder;
        } else {
            temporary.emplace();
            where = temporary->Path();
        }
    } catch (const std::exception& e) {
        err << name << ": " << e.what() << "\n";
        return Outcome::ScriptFault;
    }
    Session session(where);
    for (const Command& c : script) {
        try {
            session.Execute(c, out);
        } catch (const ExpectFailed& f) {
            err << name << ":" << c.Line << ": expected " << Printable(f.Expected) << ", got "
                << Printable(f.Got) << "\n";
            return Outcome::Failed;
        } catch (const std::exception& e) {
            err << name << ":" << c.Line << ": " << e.what() << "\n";
            return Outcome::ScriptFault;
        }
    }
    return Outcome::Passed;
}

}  // namespace tt::scenario
