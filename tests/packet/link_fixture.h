#pragma once
// The main engine's test rig with both modeless dialogs wired the way the
// real dialogs wire them (show/hide events, the dialog timer), port open.
#include <string>
#include <vector>

#include "tests/engine/engine_fixture.h"

namespace kd36::test {

class DialogEngineTest : public EngineTest {
protected:
    DialogEngineTest()
    {
        wireDialogViews(engine, link, packet);
        engine.packetForm().Construct();
        engine.mnuCommOpenClick();
    }

    std::vector<std::string> log() const { return link.memoLines(Monitor::AnswerBackLog); }
    int count(const std::string& written) const
    {
        int k = 0;
        for (auto& w : port.writes)
            k += w == written;
        return k;
    }
};

} // namespace kd36::test
