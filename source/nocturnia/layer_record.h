// The prepared, typed form of one star layer: filled once per render from the
// node's parameters, then only read by the sampling threads.
#pragma once

#include "c4d.h"

struct LayerRecord {
    bool enabled = false;
    double density = 0.0;
    double scale = 0.01;          // raised to 0.01 when smaller
    double rotate = 0.0;          // radians; turns the point at which the mask is sampled
    Int32 showFlares = 2;         // 0 size dependent, 1 always, 2 never
    double glow = 0.0;
    Int32 colorMode = 0;          // 0 random, 1 size dependent
    double starSize = 0.5;
    Int32 mode = 0;               // 0 star field, 1 single star
    bool noSizeVariation = false;
    double positionX = 0.0;
    double positionY = 0.0;
    double brightness = 1.0;
    BaseShader* mask = nullptr;   // not owned
    Int32 maskInitCount = 0;
    Vector color;
    double seed = 0.0;
    double sunspotScale = 1.0;    // raised to 0.01 when smaller
    double sunspotExtent = 0.0;
    Int32 sunspotSeed = 0;
    double flareRotation = 0.0;
    Int32 flareType = 1;          // 0 two crosses, 1 one cross, 2 single
    double flareWidthComplement = 0.25;   // 1 - Flare Width
    double flareLengthComplement = 0.75;  // 1 - Flare Length
    double hueShift = 0.0;                // turns
    Vector sunspotOffset;
    const Gradient* colorGradient = nullptr;  // borrowed from the container
    C4DNoise* sunspotNoise = nullptr;         // owned; freed at release
};
