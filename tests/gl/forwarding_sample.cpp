// Per-vertex calls as the frame drawing makes them; check-forwarding.sh
// reads the code the compiler makes of them.
#include "gl_driver.h"

// Sends one vertex through the entry table.
extern "C" void ForwardVertex(GLfloat x, GLfloat y, GLfloat z)
{
    DriverGl::glVertex3f(x, y, z);
}

// Sends one texture coordinate through the entry table.
extern "C" void ForwardTexCoord(GLfloat s, GLfloat t)
{
    DriverGl::glTexCoord2f(s, t);
}
