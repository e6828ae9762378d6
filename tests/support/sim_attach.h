#pragma once
// Puts the instrument simulator on the far end of a FakePort: every request
// the link writes is answered in virtual time, as an instrument on a real
// line would, but only when the port's line settings match the instrument's.
#include <vector>

#include "sim/instrument_model.h"
#include "support/fake_port.h"

namespace lork::test {

struct SimAttachOptions {
    // Slave's delay between the end of a request and its reply, beyond the
    // end-of-frame silence; 0 gives the fastest plausible instrument.
    int64_t extra_turnaround_us = 0;
};

// Replaces port.onWrite. The model must outlive the port's use.
void attachToFakePort(FakePort& port, sim::InstrumentModel& model, SimAttachOptions opt = {});
// Several instruments on one line, each answering at its own address.
void attachToFakePort(FakePort& port, std::vector<sim::InstrumentModel*> models, SimAttachOptions opt = {});

}  // namespace lork::test
