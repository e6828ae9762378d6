#include "device/address_sweep.h"

namespace lork {

int sweepAddresses(Core& core, const SweepPlan& plan, const SweepSteps& steps) {
    LineSettings& ls = core.st.ls;
    for (int a = plan.from; a <= plan.to; ++a) {
        ls.adr = uint8_t(a);
        if (steps.asking) steps.asking(a);
        uint8_t code = 0;
        if (!plan.codes.empty()) {
            for (int c : plan.codes) {
                ls.scor = scor_table[size_t(c)];
                ls.scor_code = uint8_t(c);
                if ((code = core.dev.Check_scor()) != 0) break;
            }
        } else {
            code = plan.allRates ? core.dev.Find_scor() : core.dev.Check_scor();
        }
        if (steps.done && !steps.done(a, code)) return a;
    }
    return plan.to;
}

}  // namespace lork
