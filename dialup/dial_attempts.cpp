#include "dialup/dial_attempts.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "dialup/state_texts.h"
#include "platform/ras/ras_api.h"
#include "platform/ras/ras_errors.h"

namespace tt {

TDialAttempts::TDialAttempts(bool& isOnline, Hooks hooks)
    : isOnline_(isOnline), hooks_(std::move(hooks)) {}

void TDialAttempts::Changed() {
    if (OnChanged) OnChanged();
}

bool TDialAttempts::Start(bool haveEntries) {
    attempt_ = 1;
    intervalMs_ = 1;
    if (!haveEntries) {
        Changed();
        return false;
    }
    waiting_ = true;
    remainingShown_ = true;
    Changed();
    return true;
}

void TDialAttempts::Cancel() {
    // Only while waiting for an attempt: an attempt that is dialling is left to end.
    if (waiting_ && hooks_.DisconnectAll) hooks_.DisconnectAll();
    waiting_ = false;
    status_ = kIdleStatus;
    remainingShown_ = false;
    Changed();
}

void TDialAttempts::ShowRemainingIfWaiting() {
    remainingShown_ = waiting_;
    Changed();
}

void TDialAttempts::Tick(int repeat, int pauseSeconds, const std::function<void()>& dial) {
    // The tick handles messages before it dials; a tick of its own that falls due meanwhile
    // would make the same attempt twice.
    if (inTick_) return;
    inTick_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inTick_};

    if (!isOnline_ && attempt_ <= repeat) {
        if (hooks_.ProcessMessages) hooks_.ProcessMessages();
        try {
            dial();  // the outcome arrives as DialEvent
        } catch (const std::exception&) {
            // No remote-access library, for one: every further tick would fail the same way
            // and show the error again, so the attempts end here and the meter runs on.
            waiting_ = false;
            if (hooks_.RunMeter) hooks_.RunMeter(true);
            remainingShown_ = false;
            Changed();
            throw;
        }
    }
    if (hooks_.RunMeter) hooks_.RunMeter(true);
    waiting_ = false;
    intervalMs_ = pauseSeconds * 1000;
    remaining_ = std::max(repeat - attempt_, 0);
    ++attempt_;
    Changed();
}

void TDialAttempts::RepeatChanged(int repeat) {
    remaining_ = repeat;
    Changed();
}

void TDialAttempts::SetStatus(const std::string& text) {
    status_ = text;
    connectedShown_ = false;
    Changed();
}

void TDialAttempts::LineDown() {
    if (!connectedShown_) return;
    connectedShown_ = false;
    status_ = std::string(StateText(TLanguage::Polish, RASCS_Disconnected));
    Changed();
}

void TDialAttempts::DialEvent(int state, int error, const std::string& text,
                              const std::string& reason) {
    if (hooks_.ProcessMessages) hooks_.ProcessMessages();
    const bool connected = state == static_cast<int>(RASCS_Connected);
    if (hooks_.RunMeter) hooks_.RunMeter(connected);
    isOnline_ = connected;
    connectedShown_ = connected && error == 0;
    // After a failure the state text gives way to the failure at once; no paint comes between.
    // A dialler that explains its failures (pppd) has the failure's text and its own words
    // shown, so that the user can tell what to mend; the others' failure is the plain one.
    if (error == 0) {
        status_ = text;
    } else if (reason.empty()) {
        status_ = kDialFailed;
    } else {
        status_ = text + " (" + reason + ")";
    }
    Changed();
    if (error == 0) return;
    if (hooks_.DisconnectAll) hooks_.DisconnectAll();
    if (IsLastingDialError(static_cast<uint32_t>(error))) {
        // No attempt is left to wait for: the meter runs on as after the last one.
        waiting_ = false;
        remaining_ = 0;
        remainingShown_ = false;
        if (hooks_.StopMeter) hooks_.StopMeter();
        if (hooks_.RunMeter) hooks_.RunMeter(true);
        Changed();
        return;
    }
    // The next attempt comes one pause after this failure, if the next tick finds one left.
    waiting_ = true;
    remainingShown_ = true;
    Changed();
    if (hooks_.StopMeter) hooks_.StopMeter();
}

}  // namespace tt
