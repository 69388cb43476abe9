#include "text.h"

#include "entry_progress.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

Text::Text(const char* name)
{
    registerAs(name);
    for (const char* file :
         {"tx_grp01.png", "tx_grp02.png", "tx_grp03.png", "tx_greets.png", "tx_grp04.png", "tx_grp05.png",
          "tx_grp06.png", "tx_grp07.png", "tx_grp08.png", "tx_grp09.png", "tx_grp10.png"})
        addTexture(file);

    // The label, recorded once (and drawn once now): a 50 x 25 rectangle,
    // alpha-blended, its texture coordinates inset so that the picture's
    // border texels do not bleed in.
    float w = labelWidth, h = labelHeight;
    labelList = glGenLists(1);
    glNewList(labelList, GL_COMPILE_AND_EXECUTE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0.001f, 0.001f);
    glVertex2f(w / 2 - w, h / 2);
    glTexCoord2f(0.999f, 0.999f);
    glVertex2f(w / 2, h / 2 - h);
    glTexCoord2f(0.001f, 0.999f);
    glVertex2f(w / 2 - w, h / 2 - h);
    glTexCoord2f(0.001f, 0.001f);
    glVertex2f(w / 2 - w, h / 2);
    glTexCoord2f(0.999f, 0.001f);
    glVertex2f(w / 2, h / 2);
    glTexCoord2f(0.999f, 0.999f);
    glVertex2f(w / 2, h / 2 - h);
    glEnd();
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glEndList();

    // Fixes the flicker's random bits from here on.
    std::srand(2134);
    lastFlash = 0;
}

Text::~Text()
{
    glDeleteLists(labelList, 1);
}

Text::Label Text::decode(float value)
{
    // Values that are no 32-bit integer name no label.
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return {-1, 0, 0, -1};
    int n = static_cast<int>(value);
    Label label;
    label.slot = n % 100;
    label.y = (n % 10000) / 100 - 50;
    label.x = n / 10000 - 50;
    // In single precision: large values keep few decimal bits, so a digit
    // may round down (500000.2 is held as 500000.1875).
    label.mode = static_cast<int>((value - static_cast<float>(n)) * 10.0f);
    return label;
}

void Text::drawLabelAt(float x, float y)
{
    glPushMatrix();
    glTranslatef(x, y, -10);
    glCallList(labelList);
    glPopMatrix();
}

// Flickers for the first and the last 500 ms of the entry, steady between.
void Text::drawFlicker(const Label& label, int elapsedMs, float progress)
{
    if (lastFlash > elapsedMs)
        lastFlash = 0; // a new entry has begun
    float t = static_cast<float>(elapsedMs);
    // The entry's length; none yet at progress 0.
    float length = progress > 0 ? t / progress : std::numeric_limits<float>::infinity();
    float x = static_cast<float>(label.x), y = static_cast<float>(label.y);
    if (500.0f <= t && t <= length - 500.0f) {
        drawLabelAt(x, y);
    } else if (elapsedMs > lastFlash + 100) {
        // Single-frame flashes, at most one every 100 ms.
        if (std::rand() % 2 == 0) {
            drawLabelAt(x, y);
            lastFlash = elapsedMs;
        }
    }
}

void Text::draw(int elapsedMs, float progress, float value)
{
    progress = entryProgress(progress);
    Label label = decode(value);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    if (label.valid()) {
        glBindTexture(textureTarget(label.slot), textureId(label.slot));
        float t = static_cast<float>(elapsedMs);
        switch (label.mode) {
        case flicker: drawFlicker(label, elapsedMs, progress); break;
        case slideRight:
        case slideLeft: {
            float side = label.mode == slideRight ? -1.0f : 1.0f;
            glPushMatrix();
            glTranslatef(static_cast<float>(side * 140 * std::cos(progress * std::numbers::pi)),
                         static_cast<float>(label.y), -10);
            glCallList(labelList);
            glPopMatrix();
            break;
        }
        case spinIn: {
            // At progress 0 the flip has no defined angle (0 times 0 / 0):
            // the label starts unflipped.
            float flip = progress > 0 ? progress * 360.0f * (t / progress / 2000.0f) : 0.0f;
            if (!std::isfinite(flip))
                flip = 0;
            glPushMatrix();
            glRotatef(progress * 360.0f, 0, 0, 1);
            glTranslatef(0, (1 - progress) * 100.0f, 0);
            glRotatef(flip, 1, 0, 0);
            glCallList(labelList);
            glPopMatrix();
            break;
        }
        default: break; // no such mode: nothing is drawn
        }
    }
    glDisable(GL_TEXTURE_2D);
}
