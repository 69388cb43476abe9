// Prepares the renderer for the timeline before the demo's clock starts.
#pragma once

// Draws every timeline entry at moments spread over its length into a single
// pixel of the back buffer, so that a renderer which builds its shading code
// on the first draw of each state does so now, not in the middle of the show.
// Clears the back buffer afterwards, consumes no random numbers, and leaves
// the OpenGL state as it found it.
void warmUpTimeline();
