#include "glrecorder.h"

#include <GL/gl.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace glrecorder {
namespace {

bool recording = false;
std::vector<Call> calls;

void Note(const char* name, std::vector<double> args) {
    if (recording)
        calls.push_back({name, std::move(args)});
}

template <typename F>
F Real(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (!symbol) {
        std::fprintf(stderr, "glrecorder: %s not found in libGL\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(symbol);
}

} // namespace

void Start() {
    calls.clear();
    recording = true;
}

std::vector<Call> Stop() {
    recording = false;
    return std::move(calls);
}

std::vector<Call> Only(const std::vector<Call>& all, const std::string& name) {
    std::vector<Call> result;
    for (const Call& call : all)
        if (call.name == name)
            result.push_back(call);
    return result;
}

} // namespace glrecorder

// Each definition notes its call and forwards it. The list holds what geometry, lights, display
// lists and the effects use; add an entry point here when a test needs it.
#define RECORD(name, params, args, ...)                                                                                \
    extern "C" void name params {                                                                                      \
        glrecorder::Note(#name, {__VA_ARGS__});                                                                        \
        static auto real = glrecorder::Real<void(*) params>(#name);                                                    \
        real args;                                                                                                     \
    }

RECORD(glBegin, (GLenum mode), (mode), double(mode))
RECORD(glEnd, (void), ())
RECORD(glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORD(glNormal3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORD(glTexCoord2f, (GLfloat s, GLfloat t), (s, t), s, t)
RECORD(glEnable, (GLenum cap), (cap), double(cap))
RECORD(glDisable, (GLenum cap), (cap), double(cap))
RECORD(glTexGenf, (GLenum coord, GLenum pname, GLfloat param), (coord, pname, param), double(coord), double(pname),
       param)
RECORD(glTexGeni, (GLenum coord, GLenum pname, GLint param), (coord, pname, param), double(coord), double(pname),
       double(param))
RECORD(glCullFace, (GLenum mode), (mode), double(mode))
RECORD(glCallList, (GLuint list), (list), double(list))
RECORD(glNewList, (GLuint list, GLenum mode), (list, mode), double(list), double(mode))
RECORD(glEndList, (void), ())
RECORD(glPointSize, (GLfloat size), (size), size)
RECORD(glBindTexture, (GLenum target, GLuint texture), (target, texture), double(target), double(texture))
RECORD(glPushMatrix, (void), ())
RECORD(glPopMatrix, (void), ())
RECORD(glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORD(glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor), double(sfactor), double(dfactor))
RECORD(glTexEnvi, (GLenum target, GLenum pname, GLint param), (target, pname, param), double(target), double(pname),
       double(param))
RECORD(glColor3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b), r, g, b)
RECORD(glLineWidth, (GLfloat width), (width), width)
RECORD(glPolygonMode, (GLenum face, GLenum mode), (face, mode), double(face), double(mode))
RECORD(glShadeModel, (GLenum mode), (mode), double(mode))
RECORD(glFlush, (void), ())
