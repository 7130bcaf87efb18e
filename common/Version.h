#pragma once

// The program's build number as other people, the universe and the feedback mail see it.
inline constexpr int kGabblerBuild = 35;
