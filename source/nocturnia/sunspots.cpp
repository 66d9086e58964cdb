#include "nocturnia/sunspots.h"

#include "seeded_random.h"

namespace nocturnia {

Vector SunspotOffset(Int32 sunspotSeed, bool macOSOrder)
{
    SeededRandom random;
    random.SetSeed(sunspotSeed);
    const double first = random.Get01();
    const double second = random.Get01();
    return macOSOrder ? Vector(first, second, 0.0) : Vector(second, first, 0.0);
}

void SetUpSunspots(LayerRecord& record)
{
    record.sunspotOffset = SunspotOffset(record.sunspotSeed);
    record.sunspotNoise = C4DNoise::Alloc(record.sunspotSeed);
    if (record.sunspotNoise != nullptr) {
        record.sunspotNoise->InitFbm(10, 2.1, 0.5);  // its result does not matter: the noise is used as it is
    }
}

void ReleaseSunspots(LayerRecord& record)
{
    if (record.sunspotNoise != nullptr) C4DNoise::Free(record.sunspotNoise);
    record.sunspotNoise = nullptr;
}

double SunspotNoiseAt(const void* noise, const double point[3])
{
    const Vector p(point[0], point[1], point[2]);
    return static_cast<const C4DNoise*>(noise)->Noise(NOISE_TYPE_32, true, p, 0.0, 8.0, true, 0.25, 0.25, 0);
}

}  // namespace nocturnia
