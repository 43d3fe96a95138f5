#pragma once

#include <cstdint>

#include "document/clip.h"

namespace quillon {

// The editing primitives. They rewrite Segment chains only, never samples, and cost time in
// proportion to the number of Segments. Positions and counts are frames; [a, b) is half-open.

// Removes [max(a, 0), b); a range reaching past the end removes to the end. Nothing when
// b < a or b < 0.
void deleteRange(Clip& clip, int32_t a, int32_t b);
// Keeps only [a, b) (a ≤ 0 counts as 0).
void keepRange(Clip& clip, int32_t a, int32_t b);
// Removes [0, a) when a > 0.
void deleteBefore(Clip& clip, int32_t a);
// Removes [a, end).
void deleteFrom(Clip& clip, int32_t a);

// Inserts copies of other's Segments so that the first starts at frame `at`. Beyond the end a
// silent Segment fills the gap first; a negative `at` puts them at the very start, followed by
// −at frames of silence.
void insertClip(Clip& clip, int32_t at, const Clip& other);
// Inserts n frames of silence at `at`. A negative `at` drops the first −at frames of the
// silence; beyond the end the silence is lengthened to reach from the end.
void insertSilence(Clip& clip, int32_t at, int32_t frames);

// Makes `out` a copy of [a, b) of `source` with its format; what lies before 0 or past the end
// is silence, so `out` is exactly b − a frames long. Nothing when b < a.
void copyRange(const Clip& source, int32_t a, int32_t b, Clip& out);
// copyRange, then deleteRange.
void cutRange(Clip& source, int32_t a, int32_t b, Clip& out);
// deleteRange (a, b), then insertClip (a, other).
void replaceRange(Clip& clip, int32_t a, int32_t b, const Clip& other);
// deleteRange (a, b), then insertSilence (a, b − a).
void silenceRange(Clip& clip, int32_t a, int32_t b);

// Multiplies the gain of [a, b) by percent / 100 without touching samples. The range is
// limited to the audio (amplifying never changes the length). Nothing when b < a or percent is
// 100.
void scaleRange(Clip& clip, int32_t a, int32_t b, int32_t percent);
// A Segment gain scaled by percent / 100 as scaleRange does it: the division by 100 comes
// first, so gains lose up to 99 units of 2^-24; the result never exceeds 0x7FFFFFFF.
// Lowering a gain (percent ≤ 100) always lowers it, also from the largest gain.
int32_t scaledGain(int32_t gain, int32_t percent);

}  // namespace quillon
