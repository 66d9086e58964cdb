#include "colour/display_profile.h"

#include "text/user_error.h"

#ifdef NOCTURNIA_HAVE_LCMS
#include <lcms2.h>
#endif

namespace nocturnia::cli {

#ifdef NOCTURNIA_HAVE_LCMS

std::vector<unsigned char> DisplayP3Profile()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    // IEC 61966-2-1's curve as ICC parametric type 4:
    // Y = (aX + b)^g for X >= d, else cX.
    const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = curve != nullptr ? cmsCreateRGBProfile(&white, &primaries, curves) : nullptr;
    std::vector<unsigned char> bytes;
    cmsUInt32Number size = 0;
    if (profile != nullptr) {
        cmsMLU* description = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(description, "en", "US", "Display P3");
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
        cmsMLUfree(description);
        if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
            bytes.resize(size);
            if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) {
                bytes.clear();
            }
        }
        cmsCloseProfile(profile);
    }
    if (curve != nullptr) {
        cmsFreeToneCurve(curve);
    }
    if (bytes.empty()) {
        throw UserError(ErrorKind::kWork, "cannot build the Display P3 colour profile");
    }
    return bytes;
}

#else

std::vector<unsigned char> DisplayP3Profile()
{
    throw UserError(ErrorKind::kUsage, "Display P3 images need Little CMS, which this build was made without");
}

#endif

}  // namespace nocturnia::cli
