// 16-bit to 8-bit image conversion.
#include "exports/export.h"
#include "image/convert16to8.h"

FPM_EXPORT int32_t FPM_CALL Trans16To8Img(const unsigned char *image16, unsigned char *image8, int32_t width,
                                          int32_t height)
{
    FPM_TRACED;
    return fpm::image::trans16To8(image16, image8, width, height);
}
