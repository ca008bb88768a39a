// cadcons-host: a minimal host. It loads libcadconsumidor.so as the point-of-sale application does,
// opens the registration screen and prints what each call hands back as one JSON line.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kUsageError = 64;
constexpr int kNoDisplay = 2;

const char* const kUsage =
    R"(Usage: cadcons-host [--code C] [--name N] [--customer K] [--mode M] [--loop]

Opens the consumer registration screen through libcadconsumidor.so, as the point-of-sale host does, and
prints one JSON line per call: {"saved":false,"code":"...","name":"...","customer":"..."}
(with "error" added when the call failed).

  --code C      consumer code to open (default: empty)
  --name N      consumer name (default: empty)
  --customer K  customer code (default: empty, the host parameter file's customer)
  --mode M      call mode; "B" types the consumer code on the screen (default: empty)
  --loop        call again with the strings handed back, until the operator leaves twice in a row
  --help        this text

The library is $CADCONS_LIBRARY when set, else libcadconsumidor.so beside this program, in the build
tree's ../src/module/, or in the installed library directory. The host directory is $CADCONS_HOST_DIR,
else this program's directory.
A display is needed: DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM.
Exit status: 0 done, 1 failure, 2 no display, 64 wrong arguments.
)";

void noDisplayHint() {
    std::fputs("The registration screen needs a display. Run it under a virtual X server:\n"
               "    xvfb-run -a scripts/run\n"
               "or with no screen at all (nothing is shown, the screen waits for input that cannot come):\n"
               "    QT_QPA_PLATFORM=offscreen scripts/run\n",
               stderr);
}

bool envSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

std::string programDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return ".";
    std::string path(buffer.data(), size_t(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The library: CADCONS_LIBRARY, or the first of the usual places that exists.
void* loadLibrary() {
    std::vector<std::string> candidates;
    if (const char* given = std::getenv("CADCONS_LIBRARY"); given && *given) {
        candidates.emplace_back(given);
    } else {
        const std::string dir = programDirectory();
        candidates = {dir + "/libcadconsumidor.so", dir + "/../src/module/libcadconsumidor.so"};
#ifdef CADCONS_BIN_TO_LIB
        // Installed: the library directory beside the programs' one.
        candidates.push_back(dir + "/" CADCONS_BIN_TO_LIB "/libcadconsumidor.so.0");
#endif
    }
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0)
            continue;
        if (void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return library;
        std::fprintf(stderr, "cadcons-host: cannot load %s: %s\n", path.c_str(), dlerror());
        return nullptr;
    }
    std::fputs("cadcons-host: libcadconsumidor.so not found; looked for:\n", stderr);
    for (const std::string& path : candidates)
        std::fprintf(stderr, "    %s\n", path.c_str());
    std::fputs("Set CADCONS_LIBRARY to the library's path.\n", stderr);
    return nullptr;
}

// Length of the valid UTF-8 sequence at `s` (at most `n` bytes), 0 when it is not one.
size_t utf8Length(const unsigned char* s, size_t n) {
    if (s[0] < 0x80)
        return 1;
    size_t len;
    unsigned min;
    unsigned cp;
    if ((s[0] & 0xE0) == 0xC0)
        len = 2, min = 0x80, cp = s[0] & 0x1F;
    else if ((s[0] & 0xF0) == 0xE0)
        len = 3, min = 0x800, cp = s[0] & 0x0F;
    else if ((s[0] & 0xF8) == 0xF0)
        len = 4, min = 0x10000, cp = s[0] & 0x07;
    else
        return 0;
    if (len > n)
        return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// A JSON string; bytes that are not UTF-8 become U+FFFD, so the line stays valid JSON.
std::string json(const std::string& text) {
    std::string out = "\"";
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = s[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            ++i;
        } else if (const size_t len = utf8Length(s + i, text.size() - i); len > 0) {
            out.append(text, i, len);
            i += len;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + '"';
}

// Takes a string the module handed back: copies it and gives it back to the module to free.
bool takeBack(char* from, std::string& into, void (*release)(char*)) {
    if (!from)
        return false;
    into = from;
    release(from);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string code, name, customer, mode;
    bool loop = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* target = arg == "--code"       ? &code
                              : arg == "--name"     ? &name
                              : arg == "--customer" ? &customer
                              : arg == "--mode"     ? &mode
                                                    : nullptr;
        if (target) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "cadcons-host: %s needs a value\n%s", arg.c_str(), kUsage);
                return kUsageError;
            }
            *target = argv[++i];
        } else if (arg == "--loop") {
            loop = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "cadcons-host: unknown argument %s\n%s", arg.c_str(), kUsage);
            return kUsageError;
        }
    }

    if (!envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY") && !envSet("QT_QPA_PLATFORM")) {
        std::fputs("cadcons-host: no display (none of DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM is set)\n", stderr);
        noDisplayHint();
        return kNoDisplay;
    }

    void* library = loadLibrary();
    if (!library)
        return 1;
    using Cria = int (*)(char**, char**, char**, const char*);
    using Free = void (*)(char*);
    using LastError = const char* (*)();
    const auto cria = reinterpret_cast<Cria>(dlsym(library, "CriaCadConsumidor"));
    const auto release = reinterpret_cast<Free>(dlsym(library, "CadConsumidorFree"));
    const auto lastError = reinterpret_cast<LastError>(dlsym(library, "CadConsumidorLastError"));
    if (!cria || !release || !lastError) {
        std::fputs("cadcons-host: the library lacks CriaCadConsumidor, CadConsumidorFree or CadConsumidorLastError\n",
                   stderr);
        return 1;
    }

    for (int leftInARow = 0;;) {
        // The module only reads our strings and hands back new ones of its own.
        char* c = code.data();
        char* n = name.data();
        char* k = customer.data();
        const bool saved = cria(&c, &n, &k, mode.c_str()) == 1;
        std::string error = lastError();
        const bool complete = takeBack(c, code, release) & takeBack(n, name, release) & takeBack(k, customer, release);
        if (!complete && error.empty())
            error = "the module handed back no string (out of memory)";

        std::string line = "{\"saved\":" + std::string(saved ? "true" : "false") + ",\"code\":" + json(code) +
                           ",\"name\":" + json(name) + ",\"customer\":" + json(customer);
        if (!error.empty())
            line += ",\"error\":" + json(error);
        std::printf("%s}\n", line.c_str());
        std::fflush(stdout);

        if (!error.empty()) {
            std::fprintf(stderr, "cadcons-host: %s\n", error.c_str());
            if (error.rfind("no display", 0) == 0) {
                noDisplayHint();
                return kNoDisplay;
            }
            return 1;
        }
        leftInARow = saved ? 0 : leftInARow + 1;
        if (!loop || leftInARow == 2)
            return 0;
    }
}
