#pragma once

namespace corvane {

// The screen the wizard shows, in declaration order.
enum class Screen { Welcome, NoNode, Questions, Installing, Launched, Failed };

} // namespace corvane
