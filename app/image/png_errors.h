// How the PNG writer and reader hear from libpng: it reports an error by
// calling back and then longjmp-ing out of the call, so the message is kept
// for the error value the caller returns; warnings are not errors and are
// dropped. Included only where libpng is.
#pragma once

#include <png.h>

#include <cstdio>

namespace nocturnia::cli {

// The message of libpng's last error, kept by KeepPngError.
struct PngErrorText {
    char text[256] = "";
};

// The error callback: the PngErrorText given to libpng as the error pointer
// keeps the message, then libpng's longjmp returns to its setjmp.
inline void KeepPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

inline void IgnorePngWarning(png_structp, png_const_charp) {}

}  // namespace nocturnia::cli
