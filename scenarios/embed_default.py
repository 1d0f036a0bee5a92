#!/usr/bin/env python3
"""Writes src/platform/sim/sim_default.cpp from scenarios/xp-sample.json (the default machine)."""
import json, os
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
body = open(os.path.join(root, 'scenarios/xp-sample.json'), encoding='utf-8').read()
json.loads(body)
out = '''// The default simulated machine: the scenario scenarios/xp-sample.json, built in (regenerate with
// scenarios/embed_default.py; a test checks that the two agree).
#include "platform/sim/sim_machine.h"

namespace tv::sim {

namespace {
const char* const kDefaultScenario = R"json_text(''' + body + ''')json_text";
}  // namespace

std::unique_ptr<SimMachine> DefaultMachine() { return LoadScenarioText(kDefaultScenario); }

}  // namespace tv::sim
'''
open(os.path.join(root, 'src/platform/sim/sim_default.cpp'), 'w', encoding='utf-8').write(out)
