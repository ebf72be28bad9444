#include "platform_calls.h"

#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <stdarg.h>
#include <stdio.h>

namespace {

// One logged platform call and how many recorder lines preceded it.
struct LoggedCall {
    int recorderPosition;
    std::string text;
};

// The platform functions the stand-ins pass their calls on to.
struct PlatformFunctions {
    void(APIENTRY* glLightfv)(GLenum, GLenum, const GLfloat*);
    void(APIENTRY* glGenTextures)(GLsizei, GLuint*);
    void(APIENTRY* glTexParameteri)(GLenum, GLenum, GLint);
    int(APIENTRY* gluBuild2DMipmaps)(GLenum, GLint, GLint, GLint, GLenum, GLenum, const void*);
};

struct CallLogState {
    PlatformFunctions platform;
    bool redirected;
    bool logging;
    const RecorderApi* recorder;
    std::vector<LoggedCall> calls;
};
CallLogState callLog;

// Appends one line to the log.
void Log(const char* format, ...)
{
    if (!callLog.logging)
        return;
    char line[400];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    int position = callLog.recorder ? callLog.recorder->count() : 0;
    callLog.calls.push_back({position, line});
}

// Number of floats glLightfv reads for a parameter.
int LightValueCount(GLenum name)
{
    switch (name) {
    case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_POSITION: return 4;
    case GL_SPOT_DIRECTION: return 3;
    default: return 1;
    }
}

// Text of a list: "[a, b, c]", each value printed with format.
template <typename Value>
std::string ListText(const Value* values, int count, const char* format)
{
    std::string text = "[";
    char item[40];
    for (int i = 0; i < count; ++i) {
        snprintf(item, sizeof item, format, values[i]);
        text += (i ? ", " : "") + std::string(item);
    }
    return text + "]";
}

void APIENTRY LoggedLightfv(GLenum light, GLenum name, const GLfloat* values)
{
    Log("glLightfv(0x%04X, 0x%04X, %s)", light, name,
        ListText(values, LightValueCount(name), "%.9g").c_str());
    callLog.platform.glLightfv(light, name, values);
}

void APIENTRY LoggedGenTextures(GLsizei count, GLuint* names)
{
    callLog.platform.glGenTextures(count, names);
    Log("glGenTextures(%d) -> %s", count, ListText(names, count, "%u").c_str());
}

void APIENTRY LoggedTexParameteri(GLenum target, GLenum name, GLint value)
{
    Log("glTexParameteri(0x%04X, 0x%04X, 0x%04X)", target, name, value);
    callLog.platform.glTexParameteri(target, name, value);
}

// The pixels as the recording driver logs glTexImage2D's: the hash of each
// row in turn, rows laid out by the current unpack alignment (3 bytes a pixel).
std::string RgbRowsHash(GLint width, GLint height, const void* pixels)
{
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    size_t rowSize = static_cast<size_t>(width) * 3;
    size_t stride = (rowSize + alignment - 1) / alignment * alignment;
    unsigned hash = PixelHash(nullptr, 0);
    for (GLint row = 0; row < height; ++row)
        hash = PixelHash(static_cast<const char*>(pixels) + row * stride, rowSize, hash);
    char text[12];
    snprintf(text, sizeof text, "#%08X", hash);
    return text;
}

int APIENTRY LoggedBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height,
                                  GLenum format, GLenum type, const void* pixels)
{
    bool rgbBytes = callLog.logging && format == GL_RGB && type == GL_UNSIGNED_BYTE && pixels && width > 0 &&
                    height > 0;
    Log("gluBuild2DMipmaps(0x%04X, %d, %d, %d, 0x%04X, 0x%04X, %s)", target, components, width,
        height, format, type, rgbBytes ? RgbRowsHash(width, height, pixels).c_str() : "?");
    return callLog.platform.gluBuild2DMipmaps(target, components, width, height, format, type,
                                              pixels);
}

// Redirects one import and keeps its old address in slot.
template <typename Function>
bool Redirect(const char* library, const char* name, Function replacement, Function& slot)
{
    void* old = RedirectImport(library, name, reinterpret_cast<void*>(replacement));
    slot = reinterpret_cast<Function>(old);
    return old != nullptr;
}

}  // namespace

void* RedirectImport(const char* library, const char* function, void* replacement)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; directory.VirtualAddress && import->Name; ++import) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + import->Name), library) != 0 ||
            !import->OriginalFirstThunk)
            continue;
        auto lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; lookup->u1.AddressOfData; ++lookup, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal))
                continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) != 0)
                continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                                &protection))
                return nullptr;
            void* old = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return old;
        }
    }
    return nullptr;
}

bool StartPlatformCallLog(const RecorderApi* recorder)
{
    if (!callLog.redirected) {
        PlatformFunctions& platform = callLog.platform;
        bool all = Redirect("opengl32.dll", "glLightfv", LoggedLightfv, platform.glLightfv);
        all = Redirect("opengl32.dll", "glGenTextures", LoggedGenTextures, platform.glGenTextures) && all;
        all = Redirect("opengl32.dll", "glTexParameteri", LoggedTexParameteri,
                       platform.glTexParameteri) && all;
        all = Redirect("glu32.dll", "gluBuild2DMipmaps", LoggedBuild2DMipmaps,
                       platform.gluBuild2DMipmaps) && all;
        if (!all)
            return false;
        callLog.redirected = true;
    }
    callLog.recorder = recorder;
    callLog.calls.clear();
    callLog.logging = true;
    return true;
}

void StopPlatformCallLog()
{
    callLog.logging = false;
    callLog.recorder = nullptr;
}

std::vector<std::string> PlatformCalls()
{
    std::vector<std::string> lines;
    for (const LoggedCall& call : callLog.calls)
        lines.push_back(call.text);
    return lines;
}

std::vector<std::string> CallsInOrder()
{
    std::vector<std::string> recorded;
    if (callLog.recorder)
        recorded = RecordedCalls(*callLog.recorder);
    std::vector<std::string> merged;
    size_t next = 0;
    for (size_t line = 0; line <= recorded.size(); ++line) {
        while (next < callLog.calls.size() &&
               callLog.calls[next].recorderPosition <= static_cast<int>(line))
            merged.push_back(callLog.calls[next++].text);
        if (line < recorded.size())
            merged.push_back(recorded[line]);
    }
    while (next < callLog.calls.size())
        merged.push_back(callLog.calls[next++].text);
    return merged;
}
