// The engine's clock: seconds since an arbitrary origin.
//
// By default it reads the steady clock. Tests and offline rendering install a
// `SteppedClock`, which only moves when told to, so every frame of a demo can be
// reproduced bit for bit.
#pragma once

class ClockSource {
  public:
    virtual ~ClockSource() = default;
    virtual double now() = 0;  // seconds
};

// Seconds from the installed clock source.
double secondsNow();

// Installs a clock source (not owned; it must outlive its use). Null restores the
// steady clock. Safe to call while another thread reads the clock.
void setClockSource(ClockSource* source);

// A clock that advances only by `advance`, by a fixed step (1/60 s by default).
class SteppedClock : public ClockSource {
  public:
    explicit SteppedClock(double stepSeconds = 1.0 / 60.0, double startSeconds = 0.0)
        : step_(stepSeconds), now_(startSeconds) {}
    double now() override { return now_; }
    void advance() { now_ += step_; }
    void set(double seconds) { now_ = seconds; }
    double step() const { return step_; }

  private:
    double step_;  // seconds per advance
    double now_;   // seconds
};

// Installs a clock source for the lifetime of this object and restores the previous one.
class ScopedClockSource {
  public:
    explicit ScopedClockSource(ClockSource* source);
    ~ScopedClockSource();
    ScopedClockSource(const ScopedClockSource&) = delete;
    ScopedClockSource& operator=(const ScopedClockSource&) = delete;

  private:
    ClockSource* previous_;
};
