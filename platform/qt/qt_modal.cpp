#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

#include "platform/qt/qt_private.h"

// The native modal services: message boxes, pop-up menus, the beep.
namespace tt::qt {

namespace {

std::string PolishCaption(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Yes:
            return "&Tak";
        case QMessageBox::No:
            return "&Nie";
        case QMessageBox::Cancel:
            return "Anuluj";
        case QMessageBox::Abort:
            return "&Przerwij";
        case QMessageBox::Retry:
            return "Ponów &próbę";
        case QMessageBox::Ignore:
            return "&Zignoruj";
        default:
            return "OK";
    }
}

}  // namespace

int QtBackend::RunModal(QWidget* widget, const std::function<int()>& exec) {
    // Whatever the pointer held is over: the modal loop takes it.
    ReleaseCapture();
    if (move_ && !move_->native) FinishMove();
    ++modalDepth_;
    modalWidgets_.push_back(widget);
    struct Leave {
        int& depth;
        std::vector<QWidget*>& widgets;
        ~Leave() {
            --depth;
            widgets.pop_back();
        }
    } leave{modalDepth_, modalWidgets_};
    return exec();
}

void QtBackend::EndModalLoops() {
    modalsEnded_ = true;
    for (auto it = modalWidgets_.rbegin(); it != modalWidgets_.rend(); ++it) {
        if (auto* dialog = qobject_cast<QDialog*>(*it)) {
            dialog->reject();  // no button clicked: the answer Escape gives
        } else {
            (*it)->close();
        }
    }
}

int QtBackend::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    using SB = QMessageBox::StandardButton;
    std::vector<SB> buttons;
    switch (flags & ui::kMbButtonMask) {
        case ui::kMbOkCancel:
            buttons = {SB::Ok, SB::Cancel};
            break;
        case ui::kMbAbortRetryIgnore:
            buttons = {SB::Abort, SB::Retry, SB::Ignore};
            break;
        case ui::kMbYesNoCancel:
            buttons = {SB::Yes, SB::No, SB::Cancel};
            break;
        case ui::kMbYesNo:
            buttons = {SB::Yes, SB::No};
            break;
        case ui::kMbRetryCancel:
            buttons = {SB::Retry, SB::Cancel};
            break;
        default:
            buttons = {SB::Ok};
            break;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
        case ui::kMbIconError:
            icon = QMessageBox::Critical;
            break;
        case ui::kMbIconQuestion:
            icon = QMessageBox::Question;
            break;
        case ui::kMbIconExclamation:
            icon = QMessageBox::Warning;
            break;
        case ui::kMbIconInformation:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    // Closed without a button: the answer an escape gives, else the first button.
    const int escapeAnswer = buttons.back() == SB::Cancel ? ui::kIdCancel
                             : buttons.front() == SB::Yes ? ui::kIdNo
                                                          : ui::kIdOk;
    if (modalsEnded_) {
        // Nobody will answer any more; the text must not be lost.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return escapeAnswer;
    }
    QMessageBox box(icon, ToQString(caption), ToQString(text));
    // The text is the program's words, never markup: an error text with "<" stays as it is.
    box.setTextFormat(Qt::PlainText);
    // Our meter stays on top; its questions must not open behind it.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // The questions are Polish, and so are their answers, whatever language Qt was built for.
    for (SB b : buttons) box.addButton(b)->setText(ToQString(PolishCaption(b)));
    box.setDefaultButton(buttons.front());
    if (std::find(buttons.begin(), buttons.end(), SB::Cancel) != buttons.end()) {
        box.setEscapeButton(SB::Cancel);
    } else if (buttons.size() == 1) {
        box.setEscapeButton(buttons.front());
    }

    return RunModal(&box, [&]() -> int {
        box.exec();
        switch (box.standardButton(box.clickedButton())) {
            case SB::Ok:
                return ui::kIdOk;
            case SB::Cancel:
                return ui::kIdCancel;
            case SB::Abort:
                return ui::kIdAbort;
            case SB::Retry:
                return ui::kIdRetry;
            case SB::Ignore:
                return ui::kIdIgnore;
            case SB::Yes:
                return ui::kIdYes;
            case SB::No:
                return ui::kIdNo;
            default:
                return escapeAnswer;
        }
    });
}

int QtBackend::TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) {
    if (modalsEnded_) return -1;
    QMenu menu;
    std::vector<QAction*> actions;
    for (const ui::MenuEntry& entry : entries) {
        if (entry.caption == "-") {
            actions.push_back(menu.addSeparator());
            continue;
        }
        QAction* action = menu.addAction(ToQString(entry.caption));  // "&" means the same to Qt
        action->setEnabled(entry.enabled);
        actions.push_back(action);
    }
    return RunModal(&menu, [&] {
        const QAction* chosen = menu.exec(QPoint(x, y));
        auto it = std::find(actions.begin(), actions.end(), chosen);
        return chosen && it != actions.end() ? static_cast<int>(it - actions.begin()) : -1;
    });
}

void QtBackend::Beep(int) {
    QApplication::beep();
}

}  // namespace tt::qt
