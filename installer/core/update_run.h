// The update run: the checks against the installation record, unpacking the payload over the
// game folder, the new update level and the Start-menu link, as one straight sequence; and the
// error box that ends it when a step fails. The run reaches the system only through the small
// interfaces below, which the Win32 layer implements.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "file_system.h"

namespace tessarin {

class TUnZIP;

// Task-bar text, and the window caption while the run is under way.
inline constexpr const char* kApplicationTitle = "Orvandel V1.29 Update";
// Window caption at the start and again while finishing.
inline constexpr const char* kRestingCaption = "Veltmark";

// An error that the run does not handle, with the class name the error box shows and the
// code address where it was raised.
class EKitError : public std::runtime_error {
public:
    EKitError(const char* className, const std::string& message)
        : std::runtime_error(message), className_(className), address_(__builtin_return_address(0)) {}
    const char* ClassName() const { return className_; }
    const void* Address() const { return address_; }

private:
    const char* className_;
    const void* address_;
};

// The progress window (TMainForm) as the run drives it. Every wait of the run's pacing lives
// behind it: ShowStatus waits 700 ms, each animation step 10 ms, each progress report 50 ms.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Paints the window and its controls at once.
    virtual void PaintNow() = 0;
    // Handles the window messages that have queued up.
    virtual void ProcessMessages() = 0;
    // Sleeps; nothing is painted meanwhile.
    virtual void Wait(unsigned milliseconds) = 0;

    // The status line: waits 700 ms, then shows text in the Message label.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowStatusLine(bool visible) = 0;  // Status and Message
    virtual void ShowProgress(bool visible) = 0;    // TotalBar, ProgressBar and the copy animation
    virtual void StartAnimation() = 0;
    virtual void StopAnimation() = 0;

    // Size animations: widen to the status line and back, unfold to the bars and back.
    virtual void OpeningAnimation() = 0;
    virtual void ClosingAnimation() = 0;
    virtual void Enlarge() = 0;
    virtual void Shrink() = 0;

    // The extractor's progress event.
    virtual void UnZIPProgress(const TUnZIP& sender, uint8_t byFile, uint8_t byArchive) = 0;
};

// The game's installation record in the current user's registry. Reads give the empty text
// for an absent value; a value of another type than text, and a refused write, throw.
class InstallationRecord {
public:
    virtual ~InstallationRecord() = default;
    virtual bool GameRecordExists() = 0;
    virtual std::string ReadInstallDir() = 0;
    virtual std::string ReadLanguage() = 0;
    virtual std::string ReadVersion() = 0;
    virtual void WriteVersion(const std::string& text) = 0;
};

enum class BoxIcon { kStop, kExclamation };
enum class BoxButtons { kOk, kYesNo, kRetryCancel };
enum class BoxAnswer { kOk, kYes, kNo, kRetry, kCancel };

// The process's exit codes, for a script or launcher that starts the installer.
inline constexpr int kExitDone = 0;              // updated, or a check ended the run with its box
inline constexpr int kExitApplicationError = 1;  // an error that no step handles ("Application Error")
inline constexpr int kExitNotApplied = 2;        // the update was not (fully) applied, and not recorded

// Modal message boxes: the run's questions and reports, and the top-level error box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns the button pressed.
    virtual BoxAnswer Show(const std::string& text, const std::string& caption, BoxIcon icon,
                           BoxButtons buttons) = 0;
};

// The archive the installer carries.
class Payload {
public:
    virtual ~Payload() = default;
    // Writes the whole archive to file; throws when it cannot.
    virtual void WriteTo(HeldFile& file) = 0;
};

// Start-menu shortcuts in the game's program group.
class Shortcuts {
public:
    virtual ~Shortcuts() = default;
    // Makes the shortcut name.lnk to target, with target's first icon; a failed save throws.
    virtual void CreateShortcut(const std::string& target, const std::string& name) = 0;
};

// One update run over the given window, record, boxes, payload, shortcuts and files.
class UpdateRun {
public:
    UpdateRun(ProgressWindow& window, InstallationRecord& record, MessageBoxes& boxes, Payload& payload,
              Shortcuts& shortcuts, FileSystem& files)
        : window_(window),
          record_(record),
          boxes_(boxes),
          payload_(payload),
          shortcuts_(shortcuts),
          files_(files) {}

    // From the shown window to its last fold, whatever the checks find; an error that no step
    // handles leaves it at once. Returns the exit code: kExitDone, or kExitNotApplied when
    // files of the game could not be written.
    int Run();

private:
    struct Failures;

    // The three checks; false when one of them ends the run.
    bool ChecksPass(std::string& installDir);
    // False when the update could not be applied whole; it is then not recorded.
    bool Update(const std::string& installDir);
    // The payload written to archivePath and held there until the run removes it; a file that
    // cannot be created throws "Cannot create file PATH".
    std::unique_ptr<HeldFile> WriteArchive(const std::string& archivePath);
    // Until every file of the update can be written and its drive has room for them, names
    // what stands in the way and asks to retry; false when the user cancels or the archive is
    // damaged.
    bool AskUntilUpdateFits(TUnZIP& unzip);
    // The members unpacked with the bars shown; what could not be written is in failures.
    void Unpack(TUnZIP& unzip, Failures& failures);
    // The bars hidden and the window shrunk back.
    void CloseProgress();
    // "Deleting any temporary files used ...", and the temporary archive goes.
    void RemoveArchive(HeldFile& archive);
    // The copy that a virtualised program (the game, the helper) may have left of the written
    // file in the user's VirtualStore, which such a program would read instead; one that
    // cannot go is a failure.
    void RemoveVirtualStoreCopy(const std::string& localAppData, const std::string& writtenPath,
                                Failures& failures);
    void Finish();
    // 21 times 50 ms, the window's messages handled after each.
    void Pause();

    ProgressWindow& window_;
    InstallationRecord& record_;
    MessageBoxes& boxes_;
    Payload& payload_;
    Shortcuts& shortcuts_;
    FileSystem& files_;
};

// Runs run and returns the process's exit code: run's own, or kExitApplicationError after an
// error that run does not handle, which the "Application Error" box then shows through boxes
// (boxes that no window owns: run's window is gone by then), naming moduleName (the
// program's file name).
int RunWithErrorBox(const std::function<int()>& run, MessageBoxes& boxes, const std::string& moduleName);

}  // namespace tessarin
