#include "sprite_footprint.h"

#include "images.h"

#include <algorithm>
#include <cmath>

double transparentBeyond(const unsigned char* pixels)
{
    const ImageRecord* record = findImageByPixels(pixels);
    if (!record || record->channels != 4 || record->width == 0 || record->height == 0)
        return -1;
    double lit = 0;
    for (uint32_t y = 0; y < record->height; ++y) {
        for (uint32_t x = 0; x < record->width; ++x) {
            if (pixels[4 * (static_cast<size_t>(y) * record->width + x) + 3] == 0)
                continue;
            double dx = (x + 0.5) / record->width - 0.5, dy = (y + 0.5) / record->height - 0.5;
            lit = std::max(lit, std::hypot(dx, dy));
        }
    }
    // A lookup blends the texels up to one texel away in each direction.
    double radius = lit + std::hypot(1.0 / record->width, 1.0 / record->height);
    return radius < 0.5 ? radius : -1;
}

bool clearTexelsAddNothing(GLenum target)
{
    GLint env = 0, wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
    GLfloat border[4] = {1, 1, 1, 1};
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetTexParameteriv(target, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(target, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexParameteriv(target, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(target, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, border);
    auto single = [](GLint filter) { return filter == GL_NEAREST || filter == GL_LINEAR; };
    return (env == GL_MODULATE || env == GL_REPLACE) && wrapS == GL_CLAMP && wrapT == GL_CLAMP && single(minFilter) &&
           single(magFilter) && border[3] == 0;
}
