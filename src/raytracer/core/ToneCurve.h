#pragma once

// How the film turns scene light into display values.

namespace yafaray {

enum class toneMapping_t {
    clip,    // each channel as it is; the output clips it at 1
    filmic,  // a highlight shoulder on the brightest channel, hue and saturation kept
};

// The film's filmic curve on one value: the identity up to kFilmicKnee, then an exponential
// shoulder that meets the identity with the same slope and approaches 1 without reaching it.
// Monotone; 0 stays 0.
float filmicCurve(float x);

// Maps rgb (non-negative) in place: the three channels are scaled together so that the
// brightest follows filmicCurve, which keeps their hue and never leaves a channel above 1, and
// the more the shoulder squeezes a colour the more it moves towards its luminance's grey (a sky
// just above white stays blue, the sun's glare turns white). Mid-tones below the knee are left
// as they are.
void filmicToneMap(float rgb[3]);

}  // namespace yafaray
