// The story's routes as fuzz inputs: the seeds that play the story through are the
// routes the tests and benchmarks play.
#pragma once

#include "fuzz/player.h"
#include "routes/routes.h"

namespace fuzz {

// Appends a route's steps. A walk becomes one move to each corner of its way: the
// fuzzer's pointer jumps, every corner lies in a free passage, and so the input
// plays the same while it stays well within the fuzzer's input length.
Script& follow(Script& s, const routes::Route& route);
// A whole route as an input of its own, from the route's start.
Script scriptOf(const routes::Route& route);

} // namespace fuzz
