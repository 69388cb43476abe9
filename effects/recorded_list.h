// Fixed geometry drawn every frame from a display list, so that the vertices
// that GLU and immediate mode send one call at a time are sent once.
#pragma once

#include <GL/gl.h>

class RecordedList {
public:
    RecordedList() = default;
    RecordedList(const RecordedList&) = delete;
    RecordedList& operator=(const RecordedList&) = delete;
    ~RecordedList()
    {
        if (list != 0)
            glDeleteLists(list, 1);
    }

    // Draws what record draws. The first call records it (a context is
    // current whenever an effect draws); without a list it draws directly.
    template <typename Record>
    void draw(Record record)
    {
        if (list == 0 && !failed) {
            list = glGenLists(1);
            failed = list == 0;
            if (list != 0) {
                glNewList(list, GL_COMPILE);
                record();
                glEndList();
            }
        }
        if (list != 0)
            glCallList(list);
        else
            record();
    }

private:
    GLuint list = 0;
    bool failed = false;
};
