// Text: one small textured label per timeline entry (a group's name or the
// greetings heading), placed and moved as the entry's packed parameter says.
#pragma once

#include "effect.h"

class Text : public Effect {
public:
    static constexpr int labelCount = 11;
    enum Mode { flicker, slideRight, slideLeft, spinIn };

    // The parameter p packs four numbers; with n the integer part of p:
    // slot n mod 100, y (n mod 10000) / 100 - 50, x n / 10000 - 50, and the
    // first decimal digit of p as the mode.
    struct Label {
        int slot;
        int x;
        int y;
        int mode;
        // Whether the slot names one of the eleven labels.
        bool valid() const { return slot >= 0 && slot < labelCount; }
    };
    static Label decode(float value);

    explicit Text(const char* name);
    ~Text() override;
    void draw(int elapsedMs, float progress, float value) override;

    int lastFlash = 0;
    float labelWidth = 50;
    float labelHeight = 25;
    GLuint labelList = 0;

private:
    void drawLabelAt(float x, float y);
    void drawFlicker(const Label& label, int elapsedMs, float progress);
};
