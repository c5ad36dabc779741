// SPDX-License-Identifier: MIT
// The benchmark groups of javtrg_bench, registered in this order by main.
#ifndef JAVTRG_BENCH_REGISTRY_H
#define JAVTRG_BENCH_REGISTRY_H

// format/*: integers through snprintf, std::to_chars and the driver.
void registerFormatBenchmarks();
// driver/*, ceiling/* and cairo/*: the scenes.
void registerSceneBenchmarks();
// fold/*: the highlighting pass's baseline.
void registerHighlightBenchmarks();

#endif
