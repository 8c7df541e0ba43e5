// Tessarin.exe: the update run, from the checks against the installation record through
// unpacking the payload to the Start-menu link, as one straight sequence on one thread.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "api.h"
#include "main_form.h"
#include "record.h"
#include "unzip.h"
#include "win32_files.h"
#include "windows_support.h"

#include <mmsystem.h>  // after <windows.h>, which it needs

namespace tessarin {

namespace {

constexpr const char* kApplicationTitle = "Orvandel V1.29 Update";
constexpr const char* kRestingCaption = "Veltmark";

void Pause(int times) {
    for (int i = 0; i < times; ++i) {
        Sleep(50);
        ProcessMessages();
    }
}

void SetNormalAttributes(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }

// The update itself (steps after the three checks).
void Update(TMainForm& form, Win32FileSystem& fs, const std::string& installDir) {
    form.ShowStatus("Extracting archive ...");
    std::string archivePath = TempFolder();
    EnsureFolder(fs, archivePath);
    archivePath += "update.zip";
    WritePayload(archivePath);

    // The old game executable goes before anything is unpacked; a missing one is fine.
    std::string oldGame = installDir + "\\TIRMOLD.EXE";
    SetNormalAttributes(oldGame);
    DeleteFileA(oldGame.c_str());

    form.ShowStatus("Opening archive ...");
    TUnZIP unzip(fs);
    unzip.SetArchiveFile(archivePath);
    unzip.SetExtractDir(installDir);
    unzip.FileSpec.clear();
    unzip.FileSpec.push_back("*.*");
    unzip.OnProgress = [&](uint8_t byFile, uint8_t byArchive) {
        form.UnZIPProgress(unzip, byFile, byArchive);
    };

    form.Enlarge();
    form.ShowProgress(true);
    form.PaintNow();
    form.ShowStatus("Copying files ...");
    form.StartAnimation();
    unzip.Extract();  // what was or was not unpacked does not change the run
    form.StopAnimation();

    form.ShowStatus("Updating game information ...");
    form.ShowProgress(false);
    form.PaintNow();
    form.Shrink();
    form.PaintNow();
    WriteVersion(kUpdateVersion);

    form.ShowStatus("Creating shortcuts ...");
    CreateShortcut(installDir + "\\clans.url", "Clan-Verwaltung");

    form.ShowStatus("Deleting any temporary files used ...");
    SetNormalAttributes(archivePath);
    DeleteMatchingFiles(archivePath);
}

int Run(HINSTANCE instance) {
    TAppWindow application(instance, kApplicationTitle);
    TMainForm form(instance, kRestingCaption, application.Handle());
    Win32FileSystem fs(form.Handle(), kApplicationTitle);
    form.Show();
    form.PaintNow();
    ProcessMessages();
    Pause(21);
    form.OpeningAnimation();
    form.ShowStatusLine(true);
    form.PaintNow();
    form.SetCaption(kApplicationTitle);
    form.Show();
    form.PaintNow();

    auto checksPass = [&]() -> bool {
        form.ShowStatus("Checking for the game presence ...");
        if (!GameRecordExists()) {
            MessageBoxA(form.Handle(), "Unable to find the game!\r\nPlease install the game before updating",
                        "Error", MB_ICONSTOP | MB_OK);
            return false;
        }
        std::string installDir = ReadInstallDir();
        form.ShowStatus("Checking for the game locale ...");
        std::string language = ReadLanguage();
        if (!IsGermanEdition(language)) {
            MessageBoxA(form.Handle(), WrongEditionText(language).c_str(), "Error", MB_ICONSTOP | MB_OK);
            return false;
        }
        form.ShowStatus("Checking for the game version ...");
        if (!OrdersBeforeUpdate(ReadVersion()) &&
            MessageBoxA(form.Handle(),
                        "You already have this update installed!\r\nInstall the update anyway?", "Warning",
                        MB_ICONEXCLAMATION | MB_YESNO) == IDNO)
            return false;
        Update(form, fs, installDir);
        return true;
    };
    checksPass();

    form.ShowStatus("Finalizing ...");
    form.SetCaption(kRestingCaption);
    form.ShowStatusLine(false);
    form.PaintNow();
    form.ClosingAnimation();
    Pause(21);
    form.Hide();
    return 0;
}

std::string ModuleName() {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(p.find_last_of("\\/") + 1);
}

// The top-level error box for an error the run does not handle; the process then ends with 1.
int ShowApplicationError(const char* className, const void* address, const std::string& message) {
    char addr[32];
    std::snprintf(addr, sizeof addr, "%0*llX", static_cast<int>(sizeof(void*) * 2),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    std::string text = ApplicationErrorText(className, ModuleName(), addr, message);
    MessageBoxA(nullptr, text.c_str(), "Application Error", MB_ICONSTOP | MB_OK | MB_TASKMODAL);
    return 1;
}

// Sleeps of the system's timer tick (15.6 ms by default on Windows) would stretch every 10 ms
// animation step and every 50 ms wait; a 1 ms resolution holds for the run, at every exit.
class FineTimerResolution {
public:
    FineTimerResolution() : granted_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~FineTimerResolution() {
        if (granted_) timeEndPeriod(1);
    }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    bool granted_;
};

}  // namespace

}  // namespace tessarin

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tessarin;
    FineTimerResolution timerResolution;
    try {
        return Run(instance);
    } catch (const EKitError& e) {
        return ShowApplicationError(e.ClassName(), e.Address(), e.what());
    } catch (const EUnZipError& e) {
        return ShowApplicationError("EUnZipError", reinterpret_cast<const void*>(&WinMain), e.what());
    } catch (const std::bad_alloc&) {
        // Out of memory anywhere in the run, the extraction included.
        return ShowApplicationError("EOutOfMemory", reinterpret_cast<const void*>(&WinMain), "Out of memory");
    } catch (const std::exception& e) {
        return ShowApplicationError("Exception", reinterpret_cast<const void*>(&WinMain), e.what());
    }
}
