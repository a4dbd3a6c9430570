// The sound of a demonstration clip: a sine tone of the clip's own pitch at a third of
// full scale, and at the start of every second a tick (a short burst at 3 kHz that fades
// out over 30 ms) mixed over it. Samples are a pure function of their index, so a clip
// can be written in pieces of any length with the same result.
#pragma once

#include <cstdint>
#include <span>

namespace clipgen {

// Mono 16-bit PCM at this rate; 22050 is a multiple of the usual frame rates (15, 25,
// 30 ...), so each frame has a whole number of samples there.
inline constexpr int ClipSampleRate = 22050;
inline constexpr int TickHz = 3000;
inline constexpr int TickSamples = ClipSampleRate * 30 / 1000;

// Fills `out` with the samples first .. first + out.size() - 1.
void ToneSamples(int toneHz, std::int64_t first, std::span<std::int16_t> out);

// The index of the first sample that belongs to frame `frame` (the end of the sound is
// the first sample of frame Frames).
std::int64_t FirstSampleOfFrame(std::int64_t frame, int framesPerSecond);

} // namespace clipgen
