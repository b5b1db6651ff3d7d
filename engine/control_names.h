#pragma once
// The controls the engine addresses in each window, by name (widgets, menu
// actions, tab pages, timers). The window checks its layouts against these
// lists once at start-up, and the tests' window double refuses any name
// outside them, so the engine and the layouts cannot drift apart unseen.
#include <string>
#include <string_view>
#include <vector>

namespace kd36 {

enum class WindowKind { Main, Link, Packet };

// Every name the engine may address in `w`.
const std::vector<std::string>& controlNames(WindowKind w);
bool isControlName(WindowKind w, std::string_view name);

} // namespace kd36
