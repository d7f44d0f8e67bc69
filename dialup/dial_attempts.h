#pragma once
#include <functional>
#include <string>

namespace tt {

inline constexpr const char* kIdleStatus = "Stan połączenia...";
inline constexpr const char* kDialFailed = "Wystąpił błąd podłączania...";

// The attempts of a dialling sequence: which attempt comes next, whether it is waiting for
// the retry timer, the pause before it, the status text and the attempts left. The connect
// window shows this state (its Timer1, lblStatus and cntIleJeszcze follow it) and the main
// window's dial-up handler reports into it, so the sequence has one owner and one set of rules.
class TDialAttempts {
  public:
    // What the sequence does to the rest of the program.
    struct Hooks {
        std::function<void()> ProcessMessages;
        // The one sequence that ends every connection.
        std::function<void()> DisconnectAll;
        // Runs or stops the meter's one-second tick.
        std::function<void(bool)> RunMeter;
        // Stops the meter's tick and forgets the metered connection (its zone tag to 0).
        std::function<void()> StopMeter;
    };

    // `isOnline` is the program's on-line flag; it must outlive the sequence.
    TDialAttempts(bool& isOnline, Hooks hooks);

    // The number of the attempt the next tick makes (1 for the first).
    int Attempt() const { return attempt_; }
    // An attempt is due IntervalMs after the retry timer was armed.
    bool Waiting() const { return waiting_; }
    int IntervalMs() const { return intervalMs_; }
    const std::string& Status() const { return status_; }
    int Remaining() const { return remaining_; }
    bool RemainingShown() const { return remainingShown_; }

    // Called after every change, for the window that shows the sequence.
    std::function<void()> OnChanged;

    // The dial button. False when there is no entry to dial: nothing starts, though the next
    // attempt is reset to the first, due 1 ms after arming.
    bool Start(bool haveEntries);
    // The cancel button: a sequence waiting for its next attempt is ended and its connections
    // hung up; an attempt that is dialling is left to end.
    void Cancel();
    // Any other button of the bar: the attempts left show while an attempt is waiting.
    void ShowRemainingIfWaiting();
    // The retry timer fell due: makes the attempt (by `dial`) unless on-line or out of
    // attempts, then waits for the outcome with the pause set for the next one.
    void Tick(int repeat, int pauseSeconds, const std::function<void()>& dial);
    void RepeatChanged(int repeat);
    // Every notification of an asynchronous dial: the status, the meter and the on-line flag
    // follow it; a failure hangs everything up and arms the next attempt, unless it is one that
    // the next attempt would meet again (IsLastingDialError): then the attempts end there.
    // `reason` is what the dialler itself said about a failure: with one, the status is the
    // failure's text (`text`) and the reason; without, kDialFailed.
    void DialEvent(int state, int error, const std::string& text, const std::string& reason = {});
    // The connection is gone, however it went: a status that still says connected says so no
    // longer.
    void LineDown();
    void SetStatus(const std::string& text);

  private:
    void Changed();

    bool& isOnline_;
    Hooks hooks_;
    int attempt_ = 0;
    bool waiting_ = false;
    int intervalMs_ = 10000;
    std::string status_ = kIdleStatus;
    int remaining_ = 0;
    bool remainingShown_ = false;
    bool inTick_ = false;
    bool connectedShown_ = false;
};

}  // namespace tt
