// Conversions between RGB and HSV with the hue in turns (0 red, 1/3 green,
// 2/3 blue). Neither clamps. They are the plug-in's sampling kernel's own,
// on one colour (source/nocturnia/kernels/hsv_lanes.h, compiled with the
// one-lane target): one implementation for sampling and everything else.
#pragma once

#include "c4d.h"

// (r, g, b) -> (hue in [0, 1), saturation, value).
Vector RgbToHsv(const Vector& c);

// (hue in turns, saturation, value) -> (r, g, b). A hue outside [0, 1] falls
// into the last row of the sector table (v, t, p), like sector 0; a hue that
// is not a finite number does so too, with f = 0, so it is never converted to
// an integer.
Vector HsvToRgb(const Vector& hsv);
