#pragma once

typedef struct _XDisplay Display;

namespace larkspill {

// The DPMS requests the saver makes of one X display: the seam under the monitor's power, so that
// what is asked of the display can be followed without a server that has DPMS.
class Dpms {
 public:
  virtual ~Dpms() = default;
  // Whether the display has DPMS and its monitors take its commands.
  virtual bool Capable() = 0;
  // Whether DPMS's own power-down time-outs are in force.
  virtual bool Enabled() = 0;
  // Puts the time-outs in force or out of it; the time-outs themselves are left as they are.
  virtual void SetEnabled(bool enabled) = 0;
  // Turns a powered-down monitor back on.
  virtual void ForceOn() = 0;
};

// DPMS on the display DISPLAY names, over a connection of its own, opened at the first request.
class XlibDpms : public Dpms {
 public:
  XlibDpms() = default;
  ~XlibDpms() override;
  XlibDpms(const XlibDpms&) = delete;
  XlibDpms& operator=(const XlibDpms&) = delete;

  bool Capable() override;
  bool Enabled() override;
  void SetEnabled(bool enabled) override;
  void ForceOn() override;

 private:
  Display* display_ = nullptr;
  bool tried_ = false;
};

}  // namespace larkspill
