// Win32 only: start-up of nelkar.exe and its two modes.
#include <exception>
#include <string>
#include <vector>

#include "helper_run.h"
#include "inet_conn.h"
#include "message_pump.h"
#include "resource.h"
#include "setup_form.h"
#include "win_files.h"
#include "win_registry.h"
#include "winsock_backend.h"

#ifndef NELKAR_UPDATE_HOST
#define NELKAR_UPDATE_HOST "www.talvorek.de"
#endif

namespace nelkar {
namespace {

const char kAppClass[] = "NelkarApplication";

// The folder of the executable, with its trailing separator.
std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    size_t pos = p.find_last_of("\\:");
    return pos == std::string::npos ? std::string() : p.substr(0, pos + 1);
}

// The hidden application window: it carries the title "NELKAR" and owns the question asked
// before the dialog is shown; the dialog's own message boxes belong to the dialog.
HWND CreateApplicationWindow() {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(IDI_NELKAR));
    wc.lpszClassName = kAppClass;
    RegisterClassA(&wc);
    return CreateWindowExA(WS_EX_TOOLWINDOW, kAppClass, "NELKAR", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           inst, nullptr);
}

void RunSetupMode(HWND app, Settings& settings, TInetConn& conn, WinsockBackend& backend) {
    TSetupForm form(settings, conn);
    backend.dialog = form.Handle();
    // A quit message taken by a socket wait (during a connection test) closes the dialog, which
    // cancels the test; the dialog's end then quits this loop.
    backend.onQuit = [&form] { PostMessageA(form.Handle(), WM_CLOSE, 0, 0); };
    RegValue browser = ReadRegistryValue(HKEY_CLASSES_ROOT, kHttpHandlerKey, "");
    if (DefaultBrowserFrom(browser) == "IExplore") {
        int answer = MessageBoxA(app,
                                 "Internet Explorer ist als Standard-Browser konfiguriert. M\xF6"
                                 "chten sie dessen Einstellungen verwenden?",
                                 "Best\xE4tigung", MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES) {
            RegValue server = ReadRegistryValue(HKEY_CURRENT_USER, kIESettingsKey, "ProxyServer");
            settings.UseProxy =
                IEProxyUsedFrom(ReadRegistryValue(HKEY_CURRENT_USER, kIESettingsKey, "ProxyEnable"), server);
            settings.ProxyAddr = IEProxyHostFrom(server);
            settings.ProxyPort = IEProxyPortFrom(server);
        }
    }
    form.UpdateSetupControls();
    form.Show();
    RunMessageLoop(form.Handle());
    backend.dialog = nullptr;
    backend.onQuit = nullptr;
}

int Main() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    Settings settings;
    {
        WinRegistryKey key(HKEY_CURRENT_USER, kSettingsKey);
        settings = LoadSettings(key);
    }
    HWND app = CreateApplicationWindow();
    const std::string folder = ProgramFolder();
    WinsockBackend backend;
    WinFileSys files;
    TInetConn conn(backend, files, settings, folder + "INTERNET\\header.dat");
    // The pause between two attempts to replace a file that another program holds.
    conn.placing.wait = [](uint32_t ms) { Sleep(ms); };

    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    if (IsSetupMode(args)) {
        RunSetupMode(app, settings, conn, backend);
        return 0;
    }

    RunStages(ConnectedRunEnv(conn, files, folder + "INTERNET", NELKAR_UPDATE_HOST,
                              [] { return static_cast<uint32_t>(GetTickCount()); }));
    return 0;
}

}  // namespace
}  // namespace nelkar

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Every failure ends the program silently; the exit code is always 0.
    try {
        nelkar::Main();
    } catch (...) {
    }
    return 0;
}
