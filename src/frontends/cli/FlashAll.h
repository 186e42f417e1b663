#pragma once
// flash --all: every camera present that answers identify is flashed with
// one image at once, each by a copy of this program of its own (flash --json
// --device PORT), so that what a download keeps process-wide stays one
// camera's. This program judges the image, lists the cameras, asks once,
// follows each copy's events and ends in a summary table.

#include <functional>
#include <iosfwd>
#include <string>

#include "Simulation.h"

class InterruptGuard;

struct LineFlash {
  std::string image;
  bool json = false;
  bool yes = false;
  bool eightByteTransfers = false;
  SimulationOptions simulation;
};

// The exit status: 0 when every camera passed, 1 when any failed (or none
// was found: then `withoutCamera` runs, as flash does with no camera), 2
// for a camera that can't be told apart after its reset, 130/143 after an
// interrupt.
int RunFlashAll(const LineFlash& request, InterruptGuard& interrupts, const std::function<int()>& withoutCamera,
                std::ostream& out, std::ostream& err);
