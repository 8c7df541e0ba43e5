// msgbox_demo: shows the message boxes named on its command line; the driver's own test subject.
//
// Usage:
//   msgbox_demo.exe [--sleep MS] CAPTION TEXT FLAGS [[--sleep MS] CAPTION TEXT FLAGS ...]
//
// Shows one MessageBoxA per CAPTION TEXT FLAGS triple, in order, and prints
// "pressed N" (N the value MessageBoxA returned, e.g. 6 for IDYES) after each. FLAGS is a
// number (decimal or 0x hex) of MB_ flags. "--sleep MS" waits before the next box.
// CAPTION and TEXT understand \n, \t, \\ and \xHH so tests can give exact code page 1252
// bytes whatever the shell's encoding. MB_USERICON shows the system's application icon,
// which is none of the standard message box icons.
// Exit code: the value the last box returned; 100 on a bad command line, 101 if a box
// could not be shown.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unescape(const char* in, std::string& out) {
    out.clear();
    for (const char* p = in; *p; ++p) {
        if (*p != '\\') {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            int hi = hex_digit(p[1]), lo = hi < 0 ? -1 : hex_digit(p[2]);
            if (lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            p += 2;
            break;
        }
        default: return false;
        }
    }
    return true;
}

// Raw bytes: the C runtime's text mode would add "\r" before "\n".
void say(const std::string& line) {
    std::string out = line + "\n";
    DWORD written = 0;
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!h || h == INVALID_HANDLE_VALUE ||
        !WriteFile(h, out.data(), static_cast<DWORD>(out.size()), &written, nullptr)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
    }
}

int usage(const char* why) {
    std::fprintf(stderr, "msgbox_demo: %s\nusage: msgbox_demo [--sleep MS] CAPTION TEXT FLAGS ...\n", why);
    return 100;
}

}  // namespace

int main(int argc, char** argv) {
    int result = 0;
    bool shown = false;
    for (int i = 1; i < argc;) {
        if (std::strcmp(argv[i], "--sleep") == 0) {
            if (i + 1 >= argc) return usage("--sleep needs a number of milliseconds");
            char* end = nullptr;
            unsigned long ms = std::strtoul(argv[i + 1], &end, 10);
            if (!*argv[i + 1] || *end) return usage("--sleep needs a number of milliseconds");
            Sleep(static_cast<DWORD>(ms));
            i += 2;
            continue;
        }
        if (i + 2 >= argc) return usage("incomplete CAPTION TEXT FLAGS");
        std::string caption, text;
        if (!unescape(argv[i], caption) || !unescape(argv[i + 1], text))
            return usage("bad escape in caption or text");
        char* end = nullptr;
        unsigned long flags = std::strtoul(argv[i + 2], &end, 0);
        if (!*argv[i + 2] || *end) return usage("FLAGS must be a number");
        i += 3;

        if (flags & MB_USERICON) {
            MSGBOXPARAMSA p = {};
            p.cbSize = sizeof p;
            p.lpszText = text.c_str();
            p.lpszCaption = caption.c_str();
            p.dwStyle = static_cast<DWORD>(flags);
            p.lpszIcon = IDI_APPLICATION;  // with no module: the system's icon
            result = MessageBoxIndirectA(&p);
        } else {
            result = MessageBoxA(nullptr, text.c_str(), caption.c_str(), static_cast<UINT>(flags));
        }
        if (result == 0) {
            std::fprintf(stderr, "msgbox_demo: MessageBoxA failed, error %lu\n", GetLastError());
            return 101;
        }
        shown = true;
        say("pressed " + std::to_string(result));
    }
    if (!shown) return usage("no box given");
    return result;
}
