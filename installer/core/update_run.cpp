// The update run, step by step, and the error box that ends it when a step fails.
#include "update_run.h"

#include <cstdio>
#include <new>

#include "record.h"
#include "unzip.h"

namespace tessarin {

namespace {

constexpr int kPauseSteps = 21;
constexpr unsigned kPauseStepMilliseconds = 50;

// What the player can do about a file the update cannot write, by the system's reason.
const char* Advice(WriteRefusal refusal) {
    return refusal == WriteRefusal::kInUse ? "Please close the game and try again"
                                           : "Please run the update as administrator";
}

// The first file that could not be written while unpacking, and how many could not.
struct UnpackFailures {
    int count = 0;
    std::string first;
    std::string message;  // the extractor's, for a member that was not refused by the system
    WriteRefusal refusal = WriteRefusal::kNone;

    std::string Text() const {
        std::string text = "Unable to update " + first;
        if (count == 2) text += " and 1 other file";
        if (count > 2) text += " and " + std::to_string(count - 1) + " other files";
        return text + "!\r\n" + (refusal == WriteRefusal::kNone ? message : std::string(Advice(refusal)));
    }
};

}  // namespace

int UpdateRun::Run() {
    window_.Show();
    window_.PaintNow();
    window_.ProcessMessages();
    Pause();
    window_.OpeningAnimation();
    window_.ShowStatusLine(true);
    window_.PaintNow();
    window_.SetCaption(kApplicationTitle);
    window_.Show();
    window_.PaintNow();

    int exitCode = kExitDone;
    std::string installDir;
    if (ChecksPass(installDir) && !Update(installDir)) exitCode = kExitNotApplied;
    Finish();
    return exitCode;
}

bool UpdateRun::ChecksPass(std::string& installDir) {
    window_.ShowStatus("Checking for the game presence ...");
    if (!record_.GameRecordExists()) {
        boxes_.Show("Unable to find the game!\r\nPlease install the game before updating", "Error",
                    BoxIcon::kStop, BoxButtons::kOk);
        return false;
    }
    installDir = record_.ReadInstallDir();

    window_.ShowStatus("Checking for the game locale ...");
    std::string language = record_.ReadLanguage();
    if (!IsGermanEdition(language)) {
        boxes_.Show(WrongEditionText(language), "Error", BoxIcon::kStop, BoxButtons::kOk);
        return false;
    }

    // A level of "2.2" or above asks first; only No ends the run.
    window_.ShowStatus("Checking for the game version ...");
    return OrdersBeforeUpdate(record_.ReadVersion()) ||
           boxes_.Show("You already have this update installed!\r\nInstall the update anyway?", "Warning",
                       BoxIcon::kExclamation, BoxButtons::kYesNo) != BoxAnswer::kNo;
}

bool UpdateRun::Update(const std::string& installDir) {
    window_.ShowStatus("Extracting archive ...");
    std::string archivePath = files_.TempFolder();
    EnsureFolder(files_, archivePath);
    archivePath += "update.zip";
    payload_.WriteTo(archivePath);

    TUnZIP unzip(files_);
    unzip.SetArchiveFile(archivePath);
    unzip.SetExtractDir(installDir);
    unzip.FileSpec.clear();
    unzip.FileSpec.push_back("*.*");
    // Nothing of the game is touched while one of its files is held or refused: a game left
    // half updated would be worse than one left as it was.
    if (!DestinationsWritable(unzip)) {
        window_.ShowStatus("Deleting any temporary files used ...");
        RemoveArchive(archivePath);
        return false;
    }

    // The old game executable goes before anything is unpacked, read-only or not; a missing
    // one is fine.
    std::string oldGame = installDir + "\\TIRMOLD.EXE";
    files_.SetAttributes(oldGame, kPlainFile);
    files_.RemoveFile(oldGame);

    window_.ShowStatus("Opening archive ...");
    unzip.OnProgress = [&](uint8_t byFile, uint8_t byArchive) {
        window_.UnZIPProgress(unzip, byFile, byArchive);
    };
    UnpackFailures failures;
    unzip.OnError = [&](const std::string& name, const std::string& message, WriteRefusal refusal) {
        if (failures.count++ > 0) return;
        failures.first = unzip.OutputPath().empty() ? name : unzip.OutputPath();
        failures.message = message;
        failures.refusal = refusal;
    };
    const std::string localAppData = files_.LocalAppDataFolder();
    unzip.OnWritten = [&](const std::string& path) { RemoveVirtualStoreCopy(localAppData, path); };

    window_.Enlarge();
    window_.ShowProgress(true);
    window_.PaintNow();
    window_.ShowStatus("Copying files ...");
    window_.StartAnimation();
    unzip.Extract();
    window_.StopAnimation();

    // A file that could not be written (a scanner held it, the disk is full, the member is
    // damaged) leaves the update unrecorded, so that the next run does not take it as done.
    if (failures.count > 0) {
        window_.ShowProgress(false);
        window_.PaintNow();
        window_.Shrink();
        window_.PaintNow();
        boxes_.Show(failures.Text(), "Error", BoxIcon::kStop, BoxButtons::kOk);
        window_.ShowStatus("Deleting any temporary files used ...");
        RemoveArchive(archivePath);
        return false;
    }

    window_.ShowStatus("Updating game information ...");
    window_.ShowProgress(false);
    window_.PaintNow();
    window_.Shrink();
    window_.PaintNow();
    // The level is recorded before the shortcut and the clean-up, which may still fail.
    record_.WriteVersion(kUpdateVersion);

    window_.ShowStatus("Creating shortcuts ...");
    shortcuts_.CreateShortcut(installDir + "\\clans.url", "Clan-Verwaltung");

    window_.ShowStatus("Deleting any temporary files used ...");
    RemoveArchive(archivePath);
    return true;
}

bool UpdateRun::DestinationsWritable(TUnZIP& unzip) {
    for (;;) {
        std::string first;
        WriteRefusal refusal = WriteRefusal::kNone;
        unzip.ForEachDestination([&](const std::string& path) {
            refusal = files_.CheckWritable(path);
            first = path;
            return refusal == WriteRefusal::kNone;
        });
        if (refusal == WriteRefusal::kNone) return true;
        if (boxes_.Show("Unable to update " + first + "!\r\n" + Advice(refusal), "Error", BoxIcon::kStop,
                        BoxButtons::kRetryCancel) != BoxAnswer::kRetry)
            return false;
    }
}

void UpdateRun::RemoveArchive(const std::string& archivePath) {
    files_.SetAttributes(archivePath, kPlainFile);
    files_.DeleteMatchingFiles(archivePath);
}

void UpdateRun::RemoveVirtualStoreCopy(const std::string& localAppData, const std::string& path) {
    std::string copy = VirtualStoreCopy(localAppData, path);
    if (copy.empty()) return;
    if (files_.HasReadOnlyHiddenOrSystem(copy)) files_.ClearReadOnlyHiddenSystem(copy);
    files_.RemoveFile(copy);
}

void UpdateRun::Finish() {
    window_.ShowStatus("Finalizing ...");
    window_.SetCaption(kRestingCaption);
    window_.ShowStatusLine(false);
    window_.PaintNow();
    window_.ClosingAnimation();
    Pause();
    window_.Hide();
}

void UpdateRun::Pause() {
    for (int i = 0; i < kPauseSteps; ++i) {
        window_.Wait(kPauseStepMilliseconds);
        window_.ProcessMessages();
    }
}

namespace {

int ShowApplicationError(MessageBoxes& boxes, const std::string& moduleName, const char* className,
                         const void* address, const std::string& message) {
    char addressText[32];
    std::snprintf(addressText, sizeof addressText, "%0*llX", static_cast<int>(sizeof(void*) * 2),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    boxes.Show(ApplicationErrorText(className, moduleName, addressText, message), "Application Error",
               BoxIcon::kStop, BoxButtons::kOk);
    return kExitApplicationError;
}

}  // namespace

int RunWithErrorBox(const std::function<int()>& run, MessageBoxes& boxes, const std::string& moduleName) {
    // Errors without an address of their own are placed here.
    const void* here = reinterpret_cast<const void*>(&RunWithErrorBox);
    try {
        return run();
    } catch (const EKitError& e) {
        return ShowApplicationError(boxes, moduleName, e.ClassName(), e.Address(), e.what());
    } catch (const EUnZipError& e) {
        return ShowApplicationError(boxes, moduleName, "EUnZipError", here, e.what());
    } catch (const std::bad_alloc&) {
        // Out of memory anywhere in the run, the extraction included.
        return ShowApplicationError(boxes, moduleName, "EOutOfMemory", here, "Out of memory");
    } catch (const std::exception& e) {
        return ShowApplicationError(boxes, moduleName, "Exception", here, e.what());
    }
}

}  // namespace tessarin
