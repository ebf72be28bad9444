#pragma once
// Redirects a function that this program imports from a DLL, by rewriting
// its slot in the program's import address table. Code linked into the
// program (the scene library included) then calls the replacement; the DLL
// itself and other modules are untouched.

// Puts replacement in the slot of library!function and returns what the slot
// held before, or null when the program does not import that function.
void* ReplaceImport(const char* library, const char* function, void* replacement);

// Calls of a replaced import go to Replacement for as long as this lives;
// the old slot value is put back at the end.
class ImportHook {
public:
    ImportHook(const char* library, const char* function, void* replacement)
        : library_(library), function_(function),
          original_(ReplaceImport(library, function, replacement))
    {
    }
    ~ImportHook()
    {
        if (original_)
            ReplaceImport(library_, function_, original_);
    }
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    // The function the slot held before: call it to pass a call on.
    void* original() const { return original_; }

private:
    const char* library_;
    const char* function_;
    void* original_;
};
