#pragma once
// Which scroll bars a control shows.

namespace toolkit {

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

}  // namespace toolkit
