// Environment variables for tests, the same on POSIX and Windows. A variable set here is seen by
// getenv in the test program and in the libraries it loads (on Windows both read the C runtime's
// environment, which _putenv_s keeps in step with the process's own).
#pragma once

#include <cstdlib>
#include <string>

namespace testenv {

inline void set(const char* name, const char* value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void unset(const char* name) {
#if defined(_WIN32)
    _putenv_s(name, "");  // an empty value removes the variable
#else
    unsetenv(name);
#endif
}

// Sets a variable for the lifetime of the object.
class Scoped {
  public:
    Scoped(const char* name, const char* value) : name_(name) { set(name, value); }
    ~Scoped() { unset(name_.c_str()); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

  private:
    std::string name_;
};

}  // namespace testenv
