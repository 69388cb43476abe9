// How much of a textured sprite can add anything to the picture: a sprite
// drawn additively with a clamped texture adds nothing where every texel the
// lookup blends has alpha 0, so its quad may be cut down to the rest.
#pragma once

#include <GL/gl.h>

// The radius about the texture's centre (in texture coordinates) beyond which
// every lookup of the image finds only texels of alpha 0, whether it takes
// the nearest texel or blends four. Negative when no radius below one half
// exists: no alpha channel, no such image, or lit texels near the edge, where
// clamped lookups reach them from outside.
double transparentBeyond(const unsigned char* pixels);

// Whether, under the texture state now bound to target, a lookup that finds
// only texels of alpha 0 leaves a fragment of alpha 0: clamped to a
// transparent border, without mipmaps, and an environment that passes the
// texture's alpha on (modulate or replace).
bool clearTexelsAddNothing(GLenum target);
